// The run control end to end: the real window, driven by mouse events, its
// message boxes closed from a timer.
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <app/snake_measures.h>
#include <app/snake_run.h>
#include <app/tessaly.h>
#include <app/tessaly_snake.h>
#include <qvwr/qvwr_viewer.h>
#include <test_data.h>
#include "support/dialog_closer.h"
#include "support/file_bytes.h"
#include "support/shown_window.h"
#include "support/tessaly_snake_cli.h"
#include <vil/vil_load.h>
#include <vil/vil_save.h>

namespace
{
using point = vgl_point_2d<double>;
using point_list = std::vector<point>;

// Distance from the outline of the start image's disc (centre (170, 125),
// radius 40).
double off_disc(const point& p)
{
  return std::fabs(std::hypot(p.x() - 170.0, p.y() - 125.0) - 40.0);
}

bool is_red(QRgb c) { return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0; }

int count_colour(const QImage& im, const std::function<bool(QRgb)>& pred)
{
  int n = 0;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      n += pred(im.pixel(x, y)) ? 1 : 0;
  return n;
}

// What one press of "Run Snake" computes from `start` on the window's cost.
point_list reference_run(point_list start, const tessaly& w)
{
  point_list pts;
  for (int pass = 0; pass < 10; ++pass) {
    resample_curve(pts, start, 5.0, 50);
    for (int step = 0; step < 10; ++step)
      one_snake_iteration(pts, w.cost_image(), w.max_cost(), 5.0, w.image_wt(), 1, 0.9);
    start = pts;
  }
  return pts;
}

// The shape figure draws exactly the snake at its world position.
void expect_shape_shows_snake(tessaly& w)
{
  ASSERT_EQ(w.parts().nParts(), 1);
  const std::vector<vgl_point_2d<int>>& shown = w.fg_shape().partPoints(0);
  ASSERT_EQ(shown.size(), w.snake_pts().size());
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const QPoint d = to_display(w, w.snake_pts()[k]);
    EXPECT_EQ(shown[k].x(), d.x());
    EXPECT_EQ(shown[k].y(), d.y());
  }
}

// A 320 x 200 image with a disc of the given colour centred at (200, 90).
vil_image_view<vxl_byte> disc_image(unsigned nplanes, const vxl_byte* colour)
{
  vil_image_view<vxl_byte> im(320, 200, nplanes);
  for (unsigned p = 0; p < nplanes; ++p)
    for (unsigned j = 0; j < 200; ++j)
      for (unsigned i = 0; i < 320; ++i) {
        const bool in = (i - 200.0) * (i - 200.0) + (j - 90.0) * (j - 90.0) < 900;
        im(i, j, p) = in ? colour[p] : (p == 3 ? 255 : 20);
      }
  return im;
}

QImage to_qimage(const vil_image_view<vxl_byte>& im)
{
  QImage q(int(im.ni()), int(im.nj()), QImage::Format_RGB32);
  for (unsigned j = 0; j < im.nj(); ++j)
    for (unsigned i = 0; i < im.ni(); ++i)
      q.setPixel(int(i), int(j), qRgb(im(i, j, 0), im(i, j, 1), im(i, j, 2)));
  return q;
}

}  // namespace

TEST(TessalyRun, ThreeClicksAroundTheDiscEndOnItsOutline)
{
  auto w = shown_window();
  click_around_disc(*w);
  ASSERT_EQ(w->edit_points().points().size(), 3u);
  EXPECT_LT((w->edit_points().points()[1] - point(230, 160)).length(), 1.0);

  dialog_closer closer;
  press_run(*w);
  EXPECT_TRUE(closer.titles.isEmpty());

  const point_list& snake = w->snake_pts();
  // About perimeter / 5 points, capped near 50, with the repeated head point.
  EXPECT_GE(snake.size(), 40u);
  EXPECT_LE(snake.size(), 60u);
  EXPECT_EQ(w->edit_points().points(), snake);
  for (const point& p : snake)
    EXPECT_LE(off_disc(p), 2.5) << p.x() << ", " << p.y();
  expect_shape_shows_snake(*w);
  EXPECT_EQ(w->fg_shape().color(), QColor(Qt::red));
  EXPECT_EQ(w->parts()(0).form(), vsml_part::ClosedBoundary);

  // Red pixels on screen, and only along the outline.  At 300 x 300 the
  // green points (drawn above the curve) nearly cover it, so look larger.
  w->resize(700, 700);
  QCoreApplication::processEvents();
  const QImage shot = grab(*w);
  const vimt_transform_2d d2w = w->q_viewer()->displayToWorld();
  int red = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (is_red(shot.pixel(x, y))) {
        ++red;
        EXPECT_LE(off_disc(d2w(point(x, y))), 2.5 + 1.0) << x << ", " << y;
      }
  EXPECT_GE(red, 100);
}

// tessaly-snake with the sliders' settings, weight and smoothing from
// around the disc and the growing pressure from inside it.
TEST(TessalyRun, TessalySnakeEndsOnTheWindowsPointsAndPicture)
{
  const struct
  {
    const char* name;
    std::vector<std::pair<const char*, int>> sliders;
    QStringList settings;
    point_list clicks;
  } rows[] = {
      {"weight and smoothing", {{"image_wt_slider", 70}, {"smooth_k_slider", 30}}, {"--weight", "70", "--smooth", "30"},
       {point(170, 70), point(230, 160), point(120, 170)}},
      {"growing from inside", {{"pressure_slider", 80}}, {"--pressure", "80"}, {point(160, 115), point(180, 115), point(170, 135)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto w = shown_window();
    for (const auto& [name, value] : row.sliders) w->findChild<QSlider*>(name)->setValue(value);
    for (const point& p : row.clicks) click(*w, p);
    const point_list clicked = w->edit_points().points();
    press_run(*w);
    for (const point& p : w->snake_pts()) EXPECT_LE(off_disc(p), 2.5) << p.x() << ", " << p.y();

    QTemporaryDir dir;
    const QString start = dir.filePath("start.png"), csv = dir.filePath("end.csv"), overlay = dir.filePath("end.png");
    ASSERT_TRUE(vil_save(w->image().image(), QFile::encodeName(start).constData()));
    const tessaly_snake_ran r =
        run_tessaly_snake(row.settings + QStringList{"--points", points_arg(clicked), "-o", csv, "--overlay", overlay, start});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(read_points_csv(csv), w->snake_pts());
    // The status line shows the curve's area and perimeter.
    const snake_measures m = measure_snake(w->snake_pts());
    const QString status = w->findChild<QLabel*>("status_line")->text();
    EXPECT_TRUE(status.contains(QStringLiteral("area %1 px\u00b2, perimeter %2 px").arg(m.area, 0, 'f', 0).arg(m.perimeter, 0, 'f', 1)))
        << status.toStdString();

    // At zoom 1 the window shows what the overlay holds, pixel for pixel (its
    // image starts half a pixel in, so row and column 0 show the background).
    w->q_viewer()->setUseIdentityMapping(true);
    w->resize(400, 500);
    QCoreApplication::processEvents();
    const QImage shot = grab(*w);
    const vil_image_view<vxl_byte> pic = vil_load(QFile::encodeName(overlay).constData());
    ASSERT_EQ(pic.nplanes(), 3u);
    ASSERT_GE(std::min(shot.width(), shot.height()), 250);
    int differ = 0;
    for (unsigned j = 1; j < 250; ++j)
      for (unsigned i = 1; i < 250; ++i)
        differ += shot.pixel(int(i), int(j)) != qRgb(pic(i, j, 0), pic(i, j, 1), pic(i, j, 2));
    EXPECT_EQ(differ, 0);
    EXPECT_GT(count_colour(shot, is_red), 10);
  }
}

TEST(TessalyRun, PlayedRunKeepsTheWindowLiveAndEndsOnTheInstantRunsPoints)
{
  auto w = shown_window();
  w->set_step_delay_ms(15);
  click_around_disc(*w);
  const point_list clicked = w->edit_points().points();
  qvwr_viewer* v = w->q_viewer();
  auto* wt = w->findChild<QSlider*>("image_wt_slider");

  // Armed before the click, so it fires only if the run leaves the event
  // loop free.  Then the wheel still zooms; a click and a slider key do not
  // reach the points or the weight.
  bool fired_running = false;
  std::size_t points_before = 0, points_after = 0;
  double zoom_before = 0, zoom_after = 0;
  QTimer::singleShot(300, w.get(), [&] {
    fired_running = w->running();
    points_before = w->edit_points().points().size();
    click(*w, point(20, 20));
    points_after = w->edit_points().points().size();
    QTest::keyClick(wt, Qt::Key_End);
    zoom_before = v->worldToDisplay().xx();
    const QPointF at(v->width() / 2.0, v->height() / 2.0);
    QWheelEvent e(at, v->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(v, &e);
    zoom_after = v->worldToDisplay().xx();
  });
  QSignalSpy finished(w.get(), &tessaly::run_finished);
  QElapsedTimer clock;
  clock.start();
  press_run(*w);
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_EQ(finished.size(), 1);
  EXPECT_TRUE(fired_running);
  EXPECT_EQ(points_after, points_before);
  EXPECT_EQ(wt->value(), 50);
  EXPECT_NEAR(zoom_after, zoom_before * 1.25, 1e-9);

  // One undo step back to the clicks; the same run at Instant has ended when
  // the click returns, on the same points, bit for bit.
  const point_list played = w->snake_pts();
  EXPECT_EQ(w->edit_points().points(), played);
  w->undo_stack()->undo();
  EXPECT_EQ(w->edit_points().points(), clicked);
  w->set_step_delay_ms(0);
  QTest::mouseClick(w->findChild<QPushButton*>("run_button"), Qt::LeftButton);
  EXPECT_EQ(finished.size(), 2);
  EXPECT_EQ(w->snake_pts(), played);
}

TEST(TessalyRun, StoppedRunKeepsAStepOfTheRunAndIsOneUndoStep)
{
  auto w = shown_window();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  click_around_disc(*w);
  const point_list clicked = w->edit_points().points();
  auto* run = w->findChild<QPushButton*>("run_button");
  QAction* undo = w->findChild<QMenuBar*>()->actions()[1]->menu()->actions().value(0);
  ASSERT_TRUE(run && undo);
  QSignalSpy finished(w.get(), &tessaly::run_finished);
  // The cost the runs start on; the last stop changes it.
  vimt_image_2d_of<float> cost;
  cost.image().deep_copy(w->cost_image().image());
  const float max_cost = w->max_cost();

  // Stopped after 300 ms by the button, Esc, Undo (which then undoes the
  // run), a key it drops, Clear, closing the window and a new cost image.
  const struct
  {
    const char* name;
    std::function<void()> stop;
    bool undone, cleared;
  } stops[] = {{"button", [&] { QTest::mouseClick(run, Qt::LeftButton); }, false, false},
               {"Esc", [&] { QTest::keyClick(w->q_viewer(), Qt::Key_Escape); }, false, false},
               {"Undo", [&] { undo->trigger(); }, true, false},
               {"Clear", [&] { w->clear(); }, false, true},
               {"close", [&] { w->close(); }, false, false},
               {"smoothing", [&] { w->set_smooth_k(80); }, false, false}};
  for (const auto& s : stops) {
    SCOPED_TRACE(s.name);
    if (!w->isVisible()) {
      w->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    const int steps = w->undo_stack()->index();
    QTest::mouseClick(run, Qt::LeftButton);
    ASSERT_TRUE(w->running());
    QTimer::singleShot(300, w.get(), [&] {
      QTest::keyClick(w->q_viewer(), Qt::Key_Delete);  // the run owns its points
      s.stop();
    });
    finished.clear();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(w->running());
    if (s.undone) {
      EXPECT_EQ(w->edit_points().points(), clicked);
      w->undo_stack()->redo();
    }
    if (s.cleared)
      w->undo_stack()->undo();
    EXPECT_EQ(w->undo_stack()->index(), steps + 1);
    // Some unit of the same run, short of its end.
    const point_list stopped = w->snake_pts();
    snake_run ref(clicked, cost, max_cost, snake_run_settings());
    while (!ref.done() && ref.points() != stopped)
      ref.advance();
    EXPECT_FALSE(ref.done());
    EXPECT_GE(ref.pass(), 0);
    EXPECT_EQ(w->edit_points().points(), stopped);
    undo->trigger();
    EXPECT_EQ(w->edit_points().points(), clicked);
    EXPECT_TRUE(w->snake_pts().empty());
  }

  // A window destroyed while its run plays takes no tick after.
  w->set_step_delay_ms(4);
  QTest::mouseClick(run, Qt::LeftButton);
  ASSERT_TRUE(w->running());
  w.reset();
  QTest::qWait(50);
}

TEST(TessalyRun, TwoClicksGiveTheBoxAndNothingElse)
{
  auto w = shown_window();
  click(*w, point(170, 70));
  click(*w, point(230, 160));
  const window_state before(*w);
  dialog_closer closer;
  press_run(*w);
  EXPECT_EQ(closer.titles, QStringList{"tessaly"});
  EXPECT_EQ(closer.texts, QStringList{"Click at least 3 points to define the snake start."});
  EXPECT_EQ(closer.parents, std::vector<QWidget*>{w.get()});
  expect_unchanged(*w, before);
  EXPECT_TRUE(w->snake_pts().empty());
}

TEST(TessalyRun, ClearRemovesCurveAndPointsThenRunShowsTheBox)
{
  auto w = shown_window();
  // Large enough for the red curve to show between the green points.
  w->resize(500, 500);
  QCoreApplication::processEvents();
  const QImage empty = grab(*w);
  click_around_disc(*w);
  press_run(*w);
  ASSERT_GT(count_colour(grab(*w), is_red), 0);

  auto* clear = w->findChild<QPushButton*>("clear_button");
  ASSERT_NE(clear, nullptr);
  QTest::mouseClick(clear, Qt::LeftButton);
  EXPECT_TRUE(w->edit_points().points().empty());
  EXPECT_TRUE(w->snake_pts().empty());
  EXPECT_EQ(w->parts().nParts(), 1);
  EXPECT_EQ(w->parts()(0).nPoints(), 0);
  // No red curve, no green points: the start image as it was.
  EXPECT_TRUE(grab(*w) == empty);
  EXPECT_EQ(w->image().ni(), 250u);

  dialog_closer closer;
  press_run(*w);
  EXPECT_EQ(closer.texts, QStringList{"Click at least 3 points to define the snake start."});

  // A click after clearing starts a new list.
  click(*w, point(20, 20));
  ASSERT_EQ(w->edit_points().points().size(), 1u);
}

TEST(TessalyRun, DraggedPointIsWhereTheNextRunStarts)
{
  auto w = shown_window();
  click_around_disc(*w);
  press_run(*w);
  const point_list after_first = w->edit_points().points();
  ASSERT_GT(after_first.size(), 10u);

  // Drag the point nearest (210, 125) well out to the right.
  std::size_t k = 0;
  for (std::size_t i = 1; i < after_first.size(); ++i)
    if ((after_first[i] - point(210, 125)).length() < (after_first[k] - point(210, 125)).length())
      k = i;
  const point target(240, 125);
  drag(*w, after_first[k], target);
  const point_list dragged = w->edit_points().points();
  ASSERT_EQ(dragged.size(), after_first.size());
  EXPECT_LT((dragged[k] - target).length(), 1.5);
  for (std::size_t i = 0; i < dragged.size(); ++i)
    if (i != k) {
      EXPECT_EQ(dragged[i], after_first[i]);
    }

  press_run(*w);
  const point_list expected = reference_run(dragged, *w);
  const point_list undragged = reference_run(after_first, *w);
  ASSERT_EQ(w->snake_pts().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(w->snake_pts()[i].x(), expected[i].x(), 1e-9);
    EXPECT_NEAR(w->snake_pts()[i].y(), expected[i].y(), 1e-9);
  }
  // The drag made a difference.
  EXPECT_FALSE(undragged == expected);
  expect_shape_shows_snake(*w);
}

TEST(TessalyRun, ZoomedInClicksAndRunKeepTheirWorldPositions)
{
  auto w = shown_window();
  qvwr_viewer* v = w->q_viewer();
  const double fitted = v->worldToDisplay().xx();
  const QPointF at = to_display(*w, point(170, 125));
  for (int k = 0; k < 3; ++k) {
    QWheelEvent e(at, v->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(v, &e);
  }
  const double s = v->worldToDisplay().xx();
  EXPECT_NEAR(s, fitted * 1.25 * 1.25 * 1.25, 1e-9);

  click_around_disc(*w);
  const point_list clicked = w->edit_points().points();
  const point_list aimed{point(170, 70), point(230, 160), point(120, 170)};
  ASSERT_EQ(clicked.size(), aimed.size());
  for (std::size_t k = 0; k < aimed.size(); ++k)
    EXPECT_LT((clicked[k] - aimed[k]).length(), 1.0 / s);  // within the click's rounding
  press_run(*w);
  const point_list expected = reference_run(clicked, *w);
  ASSERT_EQ(w->snake_pts().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(w->snake_pts()[i].x(), expected[i].x(), 1e-9);
    EXPECT_NEAR(w->snake_pts()[i].y(), expected[i].y(), 1e-9);
  }
  expect_shape_shows_snake(*w);
}

TEST(TessalyRun, AllInternalShrinksEveryPressUntilTheBox)
{
  auto w = shown_window();
  auto* wt = w->findChild<QSlider*>("image_wt_slider");
  ASSERT_NE(wt, nullptr);
  wt->setValue(0);
  click_around_disc(*w);
  dialog_closer closer;
  double last = measure_snake(w->edit_points().points()).perimeter;
  int presses = 0;
  while (closer.titles.isEmpty() && presses < 30) {
    press_run(*w);
    ++presses;
    if (!closer.titles.isEmpty())
      break;
    const double now = measure_snake(w->edit_points().points()).perimeter;
    EXPECT_LT(now, last) << "press " << presses;
    last = now;
  }
  EXPECT_EQ(closer.texts, QStringList{"Click at least 3 points to define the snake start."});
  EXPECT_GE(presses, 2);
  EXPECT_LT(w->edit_points().points().size(), 3u);
}

TEST(TessalyRun, FillInResamplesIntoTheSnakeTheShapeRefersTo)
{
  auto w = shown_window();
  // A 40 x 40 square: 32 edges of 5, plus the repeated head point.
  for (const point& p : {point(60, 40), point(100, 40), point(100, 80), point(60, 80)})
    click(*w, p);
  point_list expected;
  resample_curve(expected, w->edit_points().points(), 5.0, 50);
  w->fill_in_snake_points();
  EXPECT_EQ(w->snake_pts(), expected);
  EXPECT_EQ(w->edit_points().points(), expected);
  ASSERT_EQ(w->parts().nParts(), 1);
  EXPECT_EQ(w->parts()(0).nPoints(), int(expected.size()));
  // A new mapping makes the figure read the points again: they must still
  // be the snake's.
  w->resize(420, 380);
  QCoreApplication::processEvents();
  expect_shape_shows_snake(*w);
}

TEST(TessalyRun, ZoomModeDetachesThePointEditor)
{
  auto w = shown_window();
  ASSERT_TRUE(QMetaObject::invokeMethod(w.get(), "set_to_zoom"));
  click(*w, point(50, 50));
  EXPECT_TRUE(w->edit_points().points().empty());
  EXPECT_FALSE(w->edit_points().gotViewer());
  ASSERT_TRUE(QMetaObject::invokeMethod(w.get(), "set_to_select_points"));
  click(*w, point(50, 50));
  EXPECT_EQ(w->edit_points().points().size(), 1u);
  // Attaching twice keeps one entry: one click adds one point.
  w->set_to_select_points();
  click(*w, point(150, 50));
  EXPECT_EQ(w->edit_points().points().size(), 2u);
}

TEST(TessalyRun, LoadingImagesKeepsTheCurveAtItsWorldPosition)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString() + "/";
  const vxl_byte grey[] = {230}, red[] = {220, 40, 40}, rgba[] = {40, 40, 220, 255};
  struct file
  {
    std::string name;
    unsigned planes;
    QColor disc; // shown at the disc's centre
    int tolerance;
  };
  const vil_image_view<vxl_byte> colour = disc_image(3, red);
  ASSERT_TRUE(vil_save(disc_image(1, grey), (base + "grey.png").c_str()));
  ASSERT_TRUE(vil_save(disc_image(1, grey), (base + "grey.pgm").c_str()));
  ASSERT_TRUE(vil_save(disc_image(4, rgba), (base + "alpha.png").c_str()));
  ASSERT_TRUE(to_qimage(colour).save(QString::fromStdString(base + "colour.jpg"), "JPG", 95));
  ASSERT_TRUE(vil_save(colour, (base + "colour.tif").c_str()));
  const std::vector<file> files = {{"grey.png", 1, QColor(230, 230, 230), 0},
                                   {"colour.jpg", 3, QColor(220, 40, 40), 8},
                                   {"colour.tif", 3, QColor(220, 40, 40), 0},
                                   {"alpha.png", 4, QColor(40, 40, 220), 0},
                                   {"grey.pgm", 1, QColor(230, 230, 230), 0}};

  auto w = shown_window();
  click_around_disc(*w);
  press_run(*w);
  const point_list snake = w->snake_pts();
  const vimt_transform_2d start_map = w->q_viewer()->worldToDisplay();

  dialog_closer closer;
  for (const file& f : files) {
    SCOPED_TRACE(f.name);
    w->load_image((base + f.name).c_str());
    EXPECT_TRUE(closer.titles.isEmpty());
    EXPECT_EQ(w->image().ni(), 320u);
    EXPECT_EQ(w->image().nj(), 200u);
    EXPECT_EQ(w->image().nplanes(), f.planes);
    // The cost image follows the new image: its size, its edge at the disc.
    EXPECT_EQ(w->cost_image().ni(), 320u);
    EXPECT_EQ(w->cost_image().nj(), 200u);
    EXPECT_EQ(w->cost_display().ni(), 320u);
    EXPECT_GT(w->max_cost(), 0.0f);
    EXPECT_GT(w->cost_image().image()(230, 90), 10 * w->cost_image().image()(200, 90));
    EXPECT_EQ(w->q_viewer()->worldWindow().max_x(), 319.0);
    // The points and the snake stay where they were in the world.
    EXPECT_EQ(w->snake_pts(), snake);
    EXPECT_EQ(w->edit_points().points(), snake);
    expect_shape_shows_snake(*w);
    const QColor shown(grab(*w).pixel(to_display(*w, point(200, 90))));
    EXPECT_NEAR(shown.red(), f.disc.red(), f.tolerance);
    EXPECT_NEAR(shown.green(), f.disc.green(), f.tolerance);
    EXPECT_NEAR(shown.blue(), f.disc.blue(), f.tolerance);
  }
  EXPECT_FALSE(w->q_viewer()->worldToDisplay()(point(0, 0)) == start_map(point(0, 0)));

  // The next run works on the new image: the curve moves onto its disc.
  w->clear();
  for (const point& p : {point(200, 45), point(250, 125), point(150, 125)})
    click(*w, p);
  press_run(*w);
  for (const point& p : w->snake_pts())
    EXPECT_LE(std::fabs(std::hypot(p.x() - 200, p.y() - 90) - 30), 2.5) << p.x() << ", " << p.y();
}

TEST(TessalyRun, UnusableFilesGiveUnableToLoadImageAndChangeNothing)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString() + "/";
  // 16-bit files: a raw PGM with maxval 65535 and a 16-bit PNG.
  write_file(base + "deep.pgm", std::string("P5\n4 3\n65535\n") + std::string(24, '\x11'));
  vil_image_view<vxl_uint_16> deep(8, 8, 1);
  deep.fill(40000);
  ASSERT_TRUE(vil_save(deep, (base + "deep.png").c_str()));
  // A PNG cut in half.
  vil_image_view<vxl_byte> small(64, 64, 1);
  small.fill(7);
  small(10, 10) = 200;
  ASSERT_TRUE(vil_save(small, (base + "whole.png").c_str()));
  const std::string whole = read_file(base + "whole.png");
  ASSERT_GT(whole.size(), 60u);
  write_file(base + "cut.png", whole.substr(0, whole.size() / 2));
  write_file(base + "notes.txt", "This is not an image.\n");
  write_file(base + "empty.png", "");
  // Five samples a pixel: read, but more planes than can be shown.
  const vxl_byte five[] = {200, 100, 50, 25, 12};
  ASSERT_TRUE(vil_save(disc_image(5, five), (base + "five.tif").c_str()));
  vil_image_view_base_sptr five_read = vil_load((base + "five.tif").c_str());
  ASSERT_TRUE(five_read);
  EXPECT_EQ(five_read->nplanes(), 5u);

  auto w = shown_window();
  click_around_disc(*w);
  press_run(*w);
  const window_state before(*w);

  const std::vector<std::string> paths = {base + "deep.pgm", base + "deep.png",   base + "cut.png",
                                          base + "notes.txt", base + "empty.png", base + "missing.png",
                                          base + "five.tif", base};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    dialog_closer closer;
    w->load_image(path.c_str());
    EXPECT_EQ(closer.titles, QStringList{"Load Error"});
    EXPECT_EQ(closer.texts, QStringList{"Unable to load image"});
    EXPECT_EQ(closer.parents, std::vector<QWidget*>{nullptr});
    // The file and the reason, in plain words.
    const QString said = closer.infos.value(0), reason = said.mid(int(path.size()) + 2);
    EXPECT_TRUE(said.startsWith(QString::fromStdString(path) + ": ") && reason.size() > 6) << said.toStdString();
    // A 16-bit file: the reason, and where such images run.
    EXPECT_TRUE(path.find("deep") == std::string::npos ||
                (reason.startsWith("16-bit pixels") && reason.contains("tessaly-snake"))) << said.toStdString();
    expect_unchanged(*w, before);
  }

  {
    // Bigger than the loader accepts.
    const std::size_t old_max = vil_load_max_bytes();
    vil_load_set_max_bytes(1000);
    dialog_closer closer;
    w->load_image((base + "whole.png").c_str());
    vil_load_set_max_bytes(old_max);
    EXPECT_EQ(closer.texts, QStringList{"Unable to load image"});
    expect_unchanged(*w, before);
  }
  {
    // No name at all, and by name through the slot table.
    dialog_closer closer;
    w->load_image(static_cast<const char*>(nullptr));
    ASSERT_TRUE(QMetaObject::invokeMethod(w.get(), "load_image",
                                          Q_ARG(const char*, (base + "cut.png").c_str())));
    EXPECT_EQ(closer.texts, (QStringList{"Unable to load image", "Unable to load image"}));
    expect_unchanged(*w, before);
  }
  // The good file from the same folder loads.
  dialog_closer closer;
  w->load_image((base + "whole.png").c_str());
  EXPECT_TRUE(closer.titles.isEmpty());
  EXPECT_EQ(w->image().ni(), 64u);
}

TEST(TessalyRun, LoadImageDialogAndTitle)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A name outside Latin-1 must open too.
  const QString good = dir.filePath(QString::fromUtf8("\xd0\xb4\xd0\xb8\xd1\x81\xd0\xba.png"));
  ASSERT_TRUE(vil_save(disc_image(1, std::vector<vxl_byte>{200}.data()), QFile::encodeName(good).constData()));

  auto w = shown_window();
  EXPECT_EQ(w->windowTitle(), QString("tessaly"));
  click_around_disc(*w);
  const window_state before(*w);
  {
    dialog_closer closer;
    w->load_image();
    ASSERT_EQ(closer.titles.size(), 1);
    EXPECT_EQ(closer.parents, std::vector<QWidget*>{w.get()});
    // Images first, taking every name vil_save gives (in any case), then anything.
    ASSERT_EQ(closer.filters.size(), 2);
    EXPECT_EQ(closer.filters[1], QString("All files (*)"));
    const QStringList globs = closer.filters[0].section('(', 1).chopped(1).split(' ');
    for (const char* name : {"a.png", "a.jpg", "a.JPEG", "a.tif", "a.tiff", "a.bmp", "a.pbm", "a.pgm", "a.ppm", "a.pnm"})
      EXPECT_TRUE(QDir::match(globs, name)) << name;
    expect_unchanged(*w, before);
  }
  {
    dialog_closer closer(good);
    w->load_image();
    EXPECT_EQ(closer.titles.size(), 1); // the file dialog only, no error box
    EXPECT_EQ(w->image().ni(), 320u);
    EXPECT_EQ(w->edit_points().points(), before.points);
    EXPECT_EQ(w->windowTitle(), QFileInfo(good).fileName() + QString::fromUtf8(" \xe2\x80\x94 tessaly"));
  }
  // The next dialog starts in that image's folder.
  dialog_closer closer;
  w->load_image();
  EXPECT_EQ(closer.folders, QStringList{QDir(dir.path()).absolutePath()});
}

TEST(TessalyRun, EveryTestImageLoadsOrIsRefusedWithTheBox)
{
  TESSALY_REQUIRE_TESTDATA();
  auto w = shown_window();
  click_around_disc(*w);
  const point_list points = w->edit_points().points();
  const QDir images(QString::fromStdString(tessaly_testdata("images")));
  const QStringList names = images.entryList(QDir::Files, QDir::Name);
  ASSERT_FALSE(names.isEmpty());
  int loaded = 0;
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    const vxl_byte* old = w->image().image().top_left_ptr();
    dialog_closer closer;
    w->load_image(QFile::encodeName(images.filePath(name)).constData());
    const bool changed = w->image().image().top_left_ptr() != old;
    // Exactly one of: a new image, or the box.
    EXPECT_NE(changed, !closer.titles.isEmpty());
    if (changed) {
      ++loaded;
      EXPECT_EQ(w->cost_image().ni(), w->image().ni());
      EXPECT_EQ(w->cost_image().nj(), w->image().nj());
    } else {
      EXPECT_EQ(closer.texts, QStringList{"Unable to load image"});
    }
    EXPECT_EQ(w->edit_points().points(), points);
  }
  EXPECT_GT(loaded, 5);

  // Known cases: 8-bit files of each main format load, 16-bit ones do not.
  const struct
  {
    const char* name;
    unsigned ni, nj, planes;
  } good[] = {{"ff_grey8bit_raw.pgm", 5, 3, 1},
              {"ff_rgb8bit_compressed.png", 5, 3, 3},
              {"ff_grey8bit_compressed.jpg", 5, 3, 1},
              {"ff_rgb8bit_uncompressed.tif", 5, 3, 3},
              {"ff_rgba8bit_uncompressed.tif", 5, 3, 4}};
  for (const auto& g : good) {
    SCOPED_TRACE(g.name);
    dialog_closer closer;
    w->load_image(QFile::encodeName(images.filePath(g.name)).constData());
    EXPECT_TRUE(closer.titles.isEmpty());
    EXPECT_EQ(w->image().ni(), g.ni);
    EXPECT_EQ(w->image().nj(), g.nj);
    EXPECT_EQ(w->image().nplanes(), g.planes);
  }
  for (const char* bad : {"ff_grey16bit_raw.pgm", "ff_grey16bit_labview_bitdepth_true.png",
                          "ff_rgb16bit_uncompressed.tif", "ff_grey1bit.png"}) {
    SCOPED_TRACE(bad);
    dialog_closer closer;
    w->load_image(QFile::encodeName(images.filePath(bad)).constData());
    EXPECT_EQ(closer.texts, QStringList{"Unable to load image"});
  }
}

// The window as a tool that keeps the user's work: undo, keys, the status
// line, drops, the command line.  The real window, driven by events.
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>
#include <app/tessaly.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/vil_save.h>
#include "support/dialog_closer.h"
#include "support/shown_window.h"

namespace
{
using point = vgl_point_2d<double>;
using point_list = std::vector<point>;

// Shown and active, so that its keys reach their actions.
std::unique_ptr<tessaly> active_window()
{
  auto w = shown_window();
  w->resize(500, 500);
  w->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
  QCoreApplication::processEvents();
  return w;
}

void key(tessaly& w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
  QTest::keyClick(w.q_viewer(), k, m);
}

double zoom(tessaly& w)
{
  const vimt_transform_2d& t = w.q_viewer()->worldToDisplay();
  return t(1.0, 0.0).x() - t(0.0, 0.0).x();
}

point centre_world(tessaly& w)
{
  qvwr_viewer* v = w.q_viewer();
  return v->displayToWorld()(0.5 * v->width(), 0.5 * v->height());
}

std::string save_picture(const QTemporaryDir& dir, const char* name, unsigned ni, unsigned nj, unsigned np)
{
  vil_image_view<vxl_byte> im(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i)
        im(i, j, p) = vxl_byte(50 * p + i + j);
  const std::string path = dir.filePath(name).toStdString();
  EXPECT_TRUE(vil_save(im, path.c_str()));
  return path;
}
} // namespace

TEST(TessalyWork, UndoAndRedoWalkThroughEveryKindOfStep)
{
  auto w = active_window();
  QUndoStack* stack = w->undo_stack();
  std::vector<window_state> states{window_state(*w)};
  auto step = [&](const std::function<void()>& act) {
    act();
    states.emplace_back(*w);
  };
  step([&] { click(*w, point(170, 70)); });
  step([&] { click(*w, point(230, 160)); });
  step([&] { click(*w, point(120, 170)); });
  step([&] { drag(*w, point(120, 170), point(110, 180)); });
  step([&] { click(*w, point(40, 40)); });
  step([&] { key(*w, Qt::Key_Delete); });  // the stray point just added
  step([&] { click(*w, point(60, 220)); });
  step([&] {
    QTest::mouseClick(w->q_viewer(), Qt::RightButton, Qt::NoModifier, to_display(*w, point(61, 221)));
  });
  step([&] { press_run(*w); });
  step([&] { w->clear(); });
  // A press that changes nothing is no step.
  click(*w, point(100, 100));
  states.emplace_back(*w);
  click(*w, point(100, 100));
  ASSERT_EQ(stack->count(), 11);
  EXPECT_EQ(states[6].points.size(), 3u);
  EXPECT_EQ(states[8].points, states[6].points);
  EXPECT_FALSE(states[9].snake.empty());

  for (int k = int(states.size()) - 2; k >= 0; --k) {
    SCOPED_TRACE(k);
    stack->undo();
    expect_unchanged(*w, states[std::size_t(k)]);
  }
  EXPECT_FALSE(stack->canUndo());
  for (std::size_t k = 1; k < states.size(); ++k) {
    SCOPED_TRACE(k);
    stack->redo();
    expect_unchanged(*w, states[k]);
  }

  // Loading an image is no step and keeps the stack.
  QTemporaryDir dir;
  w->load_image(save_picture(dir, "small.png", 40, 30, 1).c_str());
  EXPECT_EQ(w->image().ni(), 40u);
  EXPECT_EQ(stack->count(), 11);
  stack->undo();
  EXPECT_EQ(w->edit_points().points(), states[10].points);
  EXPECT_EQ(w->snake_pts(), states[10].snake);
}

TEST(TessalyWork, KeysReachTheirActions)
{
  auto w = active_window();
  click_around_disc(*w);
  const point_list clicked = w->edit_points().points();
  key(*w, Qt::Key_R, Qt::ControlModifier);
  const point_list snake = w->snake_pts();
  ASSERT_GT(snake.size(), 10u);
  EXPECT_EQ(w->edit_points().points(), snake);
  key(*w, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w->edit_points().points(), clicked);
  EXPECT_TRUE(w->snake_pts().empty());
  key(*w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(w->snake_pts(), snake);
  key(*w, Qt::Key_Z, Qt::ControlModifier);
  key(*w, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(w->snake_pts(), snake);

  click(*w, point(20, 20));
  key(*w, Qt::Key_Backspace);
  EXPECT_EQ(w->edit_points().points(), snake);
  key(*w, Qt::Key_Backspace);  // nothing picked any more
  EXPECT_EQ(w->edit_points().points(), snake);

  // Zooming about the viewer's centre, by a wheel notch each.
  const double fitted = zoom(*w);
  const point centre = centre_world(*w);
  key(*w, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_NEAR(zoom(*w), 1.25 * fitted, 1e-9);
  EXPECT_NEAR((centre_world(*w) - centre).length(), 0.0, 1e-9);
  key(*w, Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_NEAR(zoom(*w), 1.25 * 1.25 * fitted, 1e-9);
  key(*w, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_NEAR(zoom(*w), 1.25 * fitted, 1e-9);
  key(*w, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(w->q_viewer()->viewWindow(), w->q_viewer()->worldWindow());

  {
    dialog_closer closer;
    key(*w, Qt::Key_F1);
    w->activateWindow();  // back from the boxes
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    key(*w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(closer.titles, (QStringList{"About tessaly", "qt1", "Load Image"}));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  }
  QTimer::singleShot(0, [&] { key(*w, Qt::Key_Q, Qt::ControlModifier); });
  QTimer guard;  // never wait forever if the key does nothing
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST(TessalyWork, StatusLineFollowsTheCursorWhileTheEditorSeesDragsOnly)
{
  auto w = active_window();
  auto* status = w->findChild<QLabel*>("status_line");
  ASSERT_NE(status, nullptr);
  qvwr_viewer* v = w->q_viewer();
  click(*w, point(60, 40));
  const point_list clicked = w->edit_points().points();
  auto hover = [&](const point& p) {
    QTest::mouseMove(v, to_display(*w, p));
    QCoreApplication::processEvents();
    return status->text();
  };
  const QString over_disc = hover(point(170, 125));
  EXPECT_TRUE(over_disc.startsWith("(170, 125) grey 250")) << over_disc.toStdString();
  EXPECT_TRUE(over_disc.contains(QString("zoom %1").arg(zoom(*w), 0, 'g', 3))) << over_disc.toStdString();
  EXPECT_TRUE(over_disc.contains(QString::fromUtf8("250 \xc3\x97 250")));
  EXPECT_TRUE(over_disc.endsWith("1 point"));
  EXPECT_TRUE(hover(point(20, 30)).startsWith("(20, 30) grey 30"));
  // The hovering moved no point.
  EXPECT_EQ(w->edit_points().points(), clicked);

  // Colour, a zoom and the count follow.
  QTemporaryDir dir;
  w->load_image(save_picture(dir, "colour.png", 40, 30, 3).c_str());
  key(*w, Qt::Key_Plus, Qt::ControlModifier);
  click(*w, point(5, 5));
  const QString colour = hover(point(10, 20));
  EXPECT_TRUE(colour.startsWith("(10, 20) RGB 30, 80, 130")) << colour.toStdString();
  EXPECT_TRUE(colour.contains(QString("zoom %1").arg(zoom(*w), 0, 'g', 3))) << colour.toStdString();
  EXPECT_TRUE(colour.endsWith("2 points"));
  // Off the picture, nothing about a pixel.
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(v, &leave);
  QCoreApplication::processEvents();
  EXPECT_TRUE(status->text().startsWith("zoom ")) << status->text().toStdString();
}

TEST(TessalyWork, DroppedLocalFileLoads)
{
  QTemporaryDir dir;
  const std::string first = save_picture(dir, "first.png", 40, 30, 1);
  const std::string second = save_picture(dir, "second.png", 50, 30, 1);
  auto w = shown_window();
  auto drop = [&](const QMimeData& data) {
    QDragEnterEvent enter(QPoint(150, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    if (!enter.isAccepted())
      return false;
    QDropEvent drop(QPointF(150, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    return true;
  };
  QMimeData text, remote, files;
  text.setText(QString::fromStdString(first));
  remote.setUrls({QUrl("https://example.org/first.png")});
  files.setUrls({QUrl("https://example.org/x.png"), QUrl::fromLocalFile(QString::fromStdString(first)),
                 QUrl::fromLocalFile(QString::fromStdString(second))});
  EXPECT_FALSE(drop(text));
  EXPECT_FALSE(drop(remote));
  EXPECT_EQ(w->image().ni(), 250u);
  EXPECT_TRUE(drop(files));
  EXPECT_EQ(w->image().ni(), 40u);
  EXPECT_TRUE(w->windowTitle().startsWith("first.png "));
}

TEST(TessalyWork, HelpAndVersionNeedNoDisplay)
{
  struct
  {
    QStringList args;
    const char* platform;
    int code;
    const char* out_starts;
    const char* err_has;
  } rows[] = {
      {{"--help"}, "xcb", 0, "Usage: tessaly [Qt options] [FILE]\n", ""},
      {{"-h"}, "xcb", 0, "Usage: tessaly", ""},
      {{"--version"}, "xcb", 0, "tessaly ", ""},
      {{"-platform", "offscreen", "--version"}, "xcb", 0, "tessaly ", ""},
      {{"--no-such-option"}, "offscreen", 2, "", "unknown option --no-such-option"},
      {{"a.png", "b.png"}, "offscreen", 2, "", "one image at most"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args.join(' ').toStdString());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", r.platform);
    p.setProcessEnvironment(env);
    p.start(TESSALY_EXE, r.args);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), r.code);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(out.left(int(std::strlen(r.out_starts))), QString(r.out_starts)) << out.toStdString();
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(r.err_has));
  }
}

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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>
#include <app/tessaly.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/vil_save.h>
#include "support/shown_window.h"

namespace
{
using point = vgl_point_2d<double>;

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

void key(tessaly& w, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(w.q_viewer(), k, m); }

// A picture whose sample (i, j, p) is 50 p + i + j.
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
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const std::function<void()> steps[] = {
      [&] { click(*w, point(170, 70)); },
      [&] { click(*w, point(230, 160)); },
      [&] { click(*w, point(120, 170)); },
      [&] { click(*w, point(40, 40)); },
      [&] { key(*w, Qt::Key_Delete); },  // the stray point just added
      [&] { click(*w, point(60, 220)); },
      [&] { QTest::mouseClick(w->q_viewer(), Qt::RightButton, Qt::NoModifier, to_display(*w, point(61, 221))); },
      [&] { drag(*w, point(120, 170), point(110, 180)); },
      [&] {
        QSignalSpy ended(w.get(), &tessaly::run_finished);
        key(*w, Qt::Key_R, ctrl);
        key(*w, Qt::Key_Backspace);  // the run owns the points: no step
        EXPECT_TRUE(ended.wait(20000));
        key(*w, Qt::Key_Backspace);  // the pick went with the run's new points: no step
      },
      [&] { w->clear(); },
      [&] {
        click(*w, point(100, 100));
        click(*w, point(100, 100));  // picks the point and moves it nowhere: no step
      },
  };
  std::vector<window_state> states{window_state(*w)};
  for (const auto& act : steps) {
    act();
    states.emplace_back(*w);
  }
  ASSERT_EQ(w->undo_stack()->count(), 11);
  EXPECT_EQ(states[5].points.size(), 3u);
  EXPECT_EQ(states[7].points, states[5].points);
  EXPECT_GT(states[9].snake.size(), 10u);

  // Back with Ctrl+Z, forth with Ctrl+Shift+Z and Ctrl+Y in turn.
  for (int k = int(states.size()) - 2; k >= 0; --k) {
    SCOPED_TRACE(k);
    key(*w, Qt::Key_Z, ctrl);
    expect_unchanged(*w, states[std::size_t(k)]);
  }
  EXPECT_FALSE(w->undo_stack()->canUndo());
  for (std::size_t k = 1; k < states.size(); ++k) {
    SCOPED_TRACE(k);
    key(*w, k % 2 ? Qt::Key_Z : Qt::Key_Y, k % 2 ? ctrl | Qt::ShiftModifier : ctrl);
    expect_unchanged(*w, states[k]);
  }

  // Loading an image is no step and keeps the stack.
  QTemporaryDir dir;
  w->load_image(save_picture(dir, "small.png", 40, 30, 1).c_str());
  EXPECT_EQ(w->image().ni(), 40u);
  EXPECT_EQ(w->undo_stack()->count(), 11);
  w->undo_stack()->undo();
  EXPECT_EQ(w->edit_points().points(), states[10].points);
  EXPECT_EQ(w->snake_pts(), states[10].snake);
}

TEST(TessalyWork, ZoomAndQuitKeys)
{
  auto w = active_window();
  qvwr_viewer* v = w->q_viewer();
  const QPointF middle(0.5 * v->width(), 0.5 * v->height());
  const point centre = v->displayToWorld()(middle.x(), middle.y());
  const double fitted = v->worldToDisplay().xx();
  // A wheel notch each; Ctrl+0 shows the whole image again.
  const struct { Qt::Key k; double zoom; } rows[] = {
      {Qt::Key_Plus, 1.25}, {Qt::Key_Equal, 1.5625}, {Qt::Key_Minus, 1.25}, {Qt::Key_0, 1}};
  for (const auto& r : rows) {
    key(*w, r.k, Qt::ControlModifier);
    SCOPED_TRACE(int(r.k));
    EXPECT_NEAR(v->worldToDisplay().xx(), r.zoom * fitted, 1e-9);
    EXPECT_NEAR((v->displayToWorld()(middle.x(), middle.y()) - centre).length(), 0.0, 1e-9);
  }

  QTimer::singleShot(0, [&] { key(*w, Qt::Key_Q, Qt::ControlModifier); });
  QTimer::singleShot(10000, w.get(), [] { QCoreApplication::exit(99); });  // should the key do nothing
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST(TessalyWork, StatusLineShowsThePixelUnderTheCursor)
{
  auto w = active_window();
  auto* status = w->findChild<QLabel*>("status_line");
  ASSERT_NE(status, nullptr);
  auto hover = [&](const point& p) {
    QTest::mouseMove(w->q_viewer(), to_display(*w, p));
    QCoreApplication::processEvents();
    return status->text();
  };
  EXPECT_TRUE(hover(point(170, 125)).startsWith("(170, 125) grey 250")) << status->text().toStdString();
  QTemporaryDir dir;
  w->load_image(save_picture(dir, "colour.png", 40, 30, 3).c_str());
  EXPECT_TRUE(hover(point(10, 20)).startsWith("(10, 20) RGB 30, 80, 130")) << status->text().toStdString();
}

TEST(TessalyWork, DroppedLocalFileLoads)
{
  QTemporaryDir dir;
  const QString first = QString::fromStdString(save_picture(dir, "first.png", 40, 30, 1)),
                second = QString::fromStdString(save_picture(dir, "second.png", 50, 30, 1));
  auto w = shown_window();
  // A name as text and a remote file are refused; of several, the first local file loads.
  const QList<QUrl> remote{QUrl("https://example.org/first.png")},
    files{QUrl("https://example.org/x.png"), QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)};
  for (const QList<QUrl>& urls : {QList<QUrl>(), remote, files}) {
    QMimeData data;
    data.setText(first);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(150, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &enter);
    EXPECT_EQ(enter.isAccepted(), urls == files);
    QDropEvent drop(QPointF(150, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    EXPECT_EQ(w->image().ni(), urls == files ? 40u : 250u);
  }
  EXPECT_TRUE(w->windowTitle().startsWith("first.png "));
}

TEST(TessalyWork, HelpAndVersionNeedNoDisplay)
{
  const struct { QStringList args; const char* platform; int code; const char* out_starts, *err_has; } rows[] = {
      {{"--help"}, "xcb", 0, "Usage: tessaly [Qt options] [FILE]\n", ""},
      {{"--version"}, "xcb", 0, "tessaly ", ""},
      {{"-platform", "offscreen", "--version"}, "xcb", 0, "tessaly ", ""},
      {{"--no-such-option"}, "offscreen", 2, "", "unknown option --no-such-option"},
      {{"a.png", "b.png"}, "offscreen", 2, "", "one image at most"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args.join(' ').toStdString());
    QProcess p;
    p.start("env", QStringList{"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", QString("QT_QPA_PLATFORM=") + r.platform,
                               TESSALY_EXE} + r.args);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), r.code);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(out.left(int(std::strlen(r.out_starts))), QString(r.out_starts)) << out.toStdString();
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(r.err_has));
  }
}

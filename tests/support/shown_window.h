#ifndef tessaly_tests_support_shown_window_h_
#define tessaly_tests_support_shown_window_h_
// The main window built, placed and shown as main() does; its menu items;
// clicks and drags on its viewer at world positions; what it shows, to
// compare before and after.
#include <cmath>
#include <memory>
#include <vector>
#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <app/tessaly.h>
#include <qvwr/qvwr_viewer.h>

inline std::unique_ptr<tessaly> shown_window()
{
  auto w = std::make_unique<tessaly>(nullptr, nullptr);
  w->setGeometry(100, 100, 300, 300);
  w->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  QCoreApplication::processEvents();
  return w;
}

// The item of that text in the menu of that text, or null.
inline QAction* menu_item(tessaly& w, const QString& menu, const QString& item)
{
  for (QAction* m : w.findChild<QMenuBar*>()->actions())
    if (m->text() == menu && m->menu())
      for (QAction* a : m->menu()->actions())
        if (a->text() == item)
          return a;
  return nullptr;
}

inline QPoint to_display(tessaly& w, const vgl_point_2d<double>& p)
{
  const vgl_point_2d<double> d = w.q_viewer()->worldToDisplay()(p);
  return QPoint(int(std::lround(d.x())), int(std::lround(d.y())));
}

inline void click(tessaly& w, const vgl_point_2d<double>& p)
{
  QTest::mouseClick(w.q_viewer(), Qt::LeftButton, Qt::NoModifier, to_display(w, p));
}

inline void drag(tessaly& w, const vgl_point_2d<double>& from, const vgl_point_2d<double>& to)
{
  qvwr_viewer* v = w.q_viewer();
  QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, to_display(w, from));
  const QPoint at = to_display(w, to);
  QTest::mouseMove(v, at);
  QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, at);
}

// Clicks "Run Snake" and returns when the run has ended, played or not.
inline void press_run(tessaly& w)
{
  auto* run = w.findChild<QPushButton*>("run_button");
  ASSERT_NE(run, nullptr);
  QSignalSpy finished(&w, &tessaly::run_finished);
  QTest::mouseClick(run, Qt::LeftButton);
  if (w.running()) {
    ASSERT_TRUE(finished.wait(20000)) << "the run did not end";
  }
}

// Three points around the disc of the start image.
inline void click_around_disc(tessaly& w)
{
  click(w, vgl_point_2d<double>(170, 70));
  click(w, vgl_point_2d<double>(230, 160));
  click(w, vgl_point_2d<double>(120, 170));
}

inline QImage grab(tessaly& w)
{
  return w.q_viewer()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The image, the points, the snake and the picture on the screen.
struct window_state
{
  explicit window_state(tessaly& w)
    : pixels(w.image().image().top_left_ptr()), ni(w.image().ni()), max_cost(w.max_cost()),
      points(w.edit_points().points()), snake(w.snake_pts()), shot(grab(w))
  {
  }
  const vxl_byte* pixels;
  unsigned ni;
  float max_cost;
  std::vector<vgl_point_2d<double>> points, snake;
  QImage shot;
};

inline void expect_unchanged(tessaly& w, const window_state& s)
{
  EXPECT_EQ(w.image().image().top_left_ptr(), s.pixels);
  EXPECT_EQ(w.image().ni(), s.ni);
  EXPECT_EQ(w.max_cost(), s.max_cost);
  EXPECT_EQ(w.edit_points().points(), s.points);
  EXPECT_EQ(w.snake_pts(), s.snake);
  EXPECT_TRUE(grab(w) == s.shot);
}

#endif

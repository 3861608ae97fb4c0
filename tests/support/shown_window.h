#ifndef tessaly_tests_support_shown_window_h_
#define tessaly_tests_support_shown_window_h_
// The main window built, placed and shown as main() does, and clicks on its
// viewer at world positions.
#include <cmath>
#include <memory>
#include <QCoreApplication>
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

inline QPoint to_display(tessaly& w, const vgl_point_2d<double>& p)
{
  const vgl_point_2d<double> d = w.q_viewer()->worldToDisplay()(p);
  return QPoint(int(std::lround(d.x())), int(std::lround(d.y())));
}

inline void click(tessaly& w, const vgl_point_2d<double>& p)
{
  QTest::mouseClick(w.q_viewer(), Qt::LeftButton, Qt::NoModifier, to_display(w, p));
}

#endif

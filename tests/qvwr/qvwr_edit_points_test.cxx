#include <memory>
#include <vector>
#include <gtest/gtest.h>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <qvwr/qvwr_edit_points.h>
#include <qvwr/qvwr_viewer.h>
#include "qvwr/qvwr_test_helpers.h"

namespace
{
typedef vgl_point_2d<double> pt;


void press(qvwr_viewer& v, int x, int y)
{
  QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
  QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

// A move with the left button held, delivered as Qt delivers a drag.
void drag_to(qvwr_viewer& v, int x, int y)
{
  const QPointF p(x, y);
  QMouseEvent e(QEvent::MouseMove, p, v.mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&v, &e);
}

bool green(const QImage& im, int x, int y)
{
  return QColor(im.pixel(x, y)) == QColor(0, 255, 0);
}

int green_count(const QImage& im)
{
  int n = 0;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (green(im, x, y)) ++n;
  return n;
}
} // namespace

TEST(QvwrEditPoints, Defaults)
{
  qvwr_edit_points e;
  EXPECT_EQ(e.is_a(), "qvwr_interaction");
  EXPECT_STREQ(e.metaObject()->className(), "qvwr_edit_points");
  EXPECT_EQ(e.maxRadius(), 5.0);
  EXPECT_EQ(e.pointsFigure().radius(), 2);
  EXPECT_EQ(e.pointsFigure().color(), QColor(0, 255, 0));
  EXPECT_FALSE(e.pointsFigure().gotViewer());
  EXPECT_EQ(e.currentIndex(), -1);
  EXPECT_FALSE(e.isVisible());
  e.setMaxRadius(0.3);
  EXPECT_EQ(e.maxRadius(), 1.0);
  e.setMaxRadius(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(e.maxRadius(), 1.0);
  e.setMaxRadius(7.5);
  EXPECT_EQ(e.maxRadius(), 7.5);
}

TEST(QvwrEditPoints, PressPicksWithinFivePixelsOrAppends)
{
  auto v = black_viewer_256();
  qvwr_edit_points e;
  v->append(e);
  QSignalSpy pressed(&e, &qvwr_edit_points::mousePressed);
  QSignalSpy released(&e, &qvwr_edit_points::mouseReleased);

  press(*v, 10, 10);
  ASSERT_EQ(e.points().size(), 1u);
  EXPECT_EQ(e.points()[0], pt(10, 10));
  EXPECT_EQ(e.currentIndex(), 0);
  press(*v, 14, 10);  // 4 pixels: picked
  EXPECT_EQ(e.points().size(), 1u);
  EXPECT_EQ(e.currentIndex(), 0);
  press(*v, 13, 14);  // exactly 5 pixels (3-4-5): a new point
  ASSERT_EQ(e.points().size(), 2u);
  EXPECT_EQ(e.points()[1], pt(13, 14));
  EXPECT_EQ(e.currentIndex(), 1);
  EXPECT_EQ(pressed.count(), 3);
  EXPECT_EQ(released.count(), 3);

  // Nearest wins; on a tie the point added first.
  e.set_points(std::vector<pt>{pt(10, 10), pt(16, 10), pt(14, 10)});
  EXPECT_EQ(e.closestPointIndex(pt(13, 10), 5), 2);
  e.set_points(std::vector<pt>{pt(10, 10), pt(16, 10)});
  EXPECT_EQ(e.closestPointIndex(pt(13, 10), 5), 0);
  EXPECT_EQ(e.closestPointIndex(pt(13, 10), 3), -1);
  EXPECT_EQ(e.closestPointIndex(pt(13, 10), 3.01), 0);

  // Any button picks too.
  QTest::mousePress(v.get(), Qt::RightButton, Qt::ShiftModifier, QPoint(17, 11));
  QTest::mouseRelease(v.get(), Qt::RightButton, Qt::ShiftModifier, QPoint(17, 11));
  EXPECT_EQ(e.currentIndex(), 1);
  EXPECT_EQ(e.points().size(), 2u);
}

TEST(QvwrEditPoints, PickRadiusIsInDisplayPixelsAtAnyZoom)
{
  auto v = black_viewer_256();
  // A zoom of 2: world (x, y) is display (2x, 2y).
  v->viewWindow(vgl_box_2d<double>(pt(0, 0), pt(128, 128)));
  qvwr_edit_points e;
  v->append(e);
  e.set_points(std::vector<pt>{pt(10, 10)});
  EXPECT_EQ(e.closestPointIndex(pt(24, 20), 5), 0);   // 2 world units
  EXPECT_EQ(e.closestPointIndex(pt(25, 20), 5), -1);  // 2.5 world units
  press(*v, 24, 20);
  EXPECT_EQ(e.points().size(), 1u);
  press(*v, 25, 20);
  ASSERT_EQ(e.points().size(), 2u);
  EXPECT_EQ(e.points()[1], pt(12.5, 10));
  // The figure shows the world point at its display position.
  EXPECT_EQ(e.pointsFigure().boundBox(), QRect(QPoint(18, 18), QPoint(27, 22)));
}

TEST(QvwrEditPoints, SetPointsShowsNothingUntilTheFirstPress)
{
  auto v = black_viewer_256();
  qvwr_edit_points e;
  v->append(e);
  e.set_points(std::vector<pt>{pt(50, 50), pt(100, 60)});
  EXPECT_EQ(e.points().size(), 2u);
  EXPECT_FALSE(e.pointsFigure().gotViewer());
  EXPECT_TRUE(v->figures().empty());
  EXPECT_EQ(green_count(v->grab().toImage()), 0);

  press(*v, 200, 200);
  EXPECT_TRUE(e.pointsFigure().gotViewer());
  ASSERT_EQ(v->figures().size(), 1u);
  const QImage im = v->grab().toImage();
  EXPECT_TRUE(green(im, 50, 50));
  EXPECT_TRUE(green(im, 100, 60));
  EXPECT_TRUE(green(im, 200, 200));
  EXPECT_EQ(e.points().size(), 3u);

  // Once attached, set_points and clear repaint at once, without signals.
  QSignalSpy pressed(&e, &qvwr_edit_points::mousePressed);
  e.set_points(std::vector<pt>{pt(30, 30)});
  QImage after = v->grab().toImage();
  EXPECT_TRUE(green(after, 30, 30));
  EXPECT_FALSE(green(after, 50, 50));
  e.clear();
  EXPECT_EQ(green_count(v->grab().toImage()), 0);
  EXPECT_EQ(pressed.count(), 0);

  press(*v, 70, 80);
  ASSERT_EQ(e.points().size(), 1u);
  EXPECT_EQ(e.currentIndex(), 0);
  EXPECT_EQ(e.points()[0], pt(70, 80));
}

TEST(QvwrEditPoints, DragMovesThePickedPoint)
{
  auto v = black_viewer_256();
  qvwr_edit_points e;
  v->append(e);
  QSignalSpy moved(&e, &qvwr_edit_points::mouseMoved);
  press(*v, 40, 40);
  press(*v, 80, 40);

  QTest::mousePress(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(42, 41));
  EXPECT_EQ(e.currentIndex(), 0);
  QTest::mouseMove(v.get(), QPoint(60, 90));
  QTest::mouseMove(v.get(), QPoint(120, 100));
  QTest::mouseRelease(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 100));
  EXPECT_EQ(moved.count(), 2);
  ASSERT_EQ(e.points().size(), 2u);
  EXPECT_EQ(e.points()[0], pt(120, 100));
  EXPECT_EQ(e.points()[1], pt(80, 40));

  const QImage im = v->grab().toImage();
  EXPECT_TRUE(green(im, 120, 100));
  EXPECT_TRUE(green(im, 80, 40));
  EXPECT_FALSE(green(im, 40, 40));
  EXPECT_FALSE(green(im, 60, 90));
  EXPECT_EQ(green_count(im), 2 * green_count([] {
              // one disc of radius 2 on its own
              QImage one(16, 16, QImage::Format_RGB32);
              one.fill(Qt::black);
              QPainter p(&one);
              p.setPen(Qt::NoPen);
              p.setBrush(QColor(0, 255, 0));
              p.drawEllipse(6, 6, 5, 5);
              return one;
            }()));
}

TEST(QvwrEditPoints, MoveWithoutValidIndexIsIgnored)
{
  auto v = black_viewer_256();
  qvwr_edit_points e;
  v->append(e);
  QSignalSpy moved(&e, &qvwr_edit_points::mouseMoved);
  drag_to(*v, 30, 30);  // nothing was ever pressed
  EXPECT_TRUE(e.points().empty());
  EXPECT_EQ(moved.count(), 0);

  press(*v, 10, 10);
  press(*v, 50, 10);
  EXPECT_EQ(e.currentIndex(), 1);
  e.set_points(std::vector<pt>{pt(0, 0)});  // the index now lies past the end
  drag_to(*v, 30, 30);
  EXPECT_EQ(e.points(), std::vector<pt>{pt(0, 0)});
  EXPECT_EQ(moved.count(), 0);
}

TEST(QvwrEditPoints, RemoveButtonIsAnOptIn)
{
  auto v = black_viewer_256();
  qvwr_edit_points e;
  v->append(e);
  e.set_points(std::vector<pt>{pt(10, 10), pt(40, 10), pt(70, 10)});
  auto right = [&](int x, int y) {
    QTest::mousePress(v.get(), Qt::RightButton, Qt::NoModifier, QPoint(x, y));
    drag_to(*v, x + 30, y + 30);  // nothing follows a removing press
    QTest::mouseRelease(v.get(), Qt::RightButton, Qt::NoModifier, QPoint(x + 30, y + 30));
  };
  // Off: the right button picks and drags like any other.
  right(41, 11);
  const std::vector<pt> dragged{pt(10, 10), pt(71, 41), pt(70, 10)};
  EXPECT_EQ(e.points(), dragged);
  e.setRemoveButton(Qt::RightButton);
  QSignalSpy pressed(&e, &qvwr_edit_points::mousePressed);
  right(150, 150);  // away from every point: nothing
  EXPECT_EQ(e.points(), dragged);
  EXPECT_EQ(pressed.count(), 0);
  right(73, 43);
  EXPECT_EQ(e.points(), (std::vector<pt>{pt(10, 10), pt(70, 10)}));
  EXPECT_EQ(pressed.count(), 1);
  EXPECT_FALSE(green(v->grab().toImage(), 71, 41));
  // Other buttons still add.
  press(*v, 100, 100);
  EXPECT_EQ(e.points().size(), 3u);
}

TEST(QvwrEditPoints, DestructionTakesTheFigureOut)
{
  auto v = black_viewer_256();
  {
    qvwr_edit_points e;
    v->append(e);
    press(*v, 20, 20);
    EXPECT_EQ(v->figures().size(), 1u);
    EXPECT_TRUE(green(v->grab().toImage(), 20, 20));
  }
  EXPECT_TRUE(v->figures().empty());
  EXPECT_EQ(green_count(v->grab().toImage()), 0);
}

TEST(QvwrEditPointsDeathTest, HandlersNeedAViewer)
{
  qvwr_edit_points e;
  QMouseEvent ev(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                 Qt::NoModifier);
  EXPECT_DEATH(e.mousePressEvent(&ev), "viewer_!=0");
  EXPECT_DEATH(e.closestPointIndex(pt(0, 0), 5), "viewer_!=0");
  EXPECT_DEATH(e.mouseReleaseEvent(&ev), "viewer_!=0");
  // Without a viewer the list still changes; nothing is shown.
  e.set_points(std::vector<pt>{pt(1, 2)});
  e.clear();
  EXPECT_TRUE(e.points().empty());
}

#include <memory>
#include <vector>
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <qvwr/qvwr_fg_points.h>
#include <qvwr/qvwr_viewer.h>
#include <shape_data/vsml_g_point.h>
#include <shape_data/vsml_points_2d.h>
#include "qvwr/qvwr_recording_device.h"
#include "qvwr/qvwr_test_helpers.h"

namespace
{
typedef vgl_point_2d<double> pt;


// Smallest rectangle holding every non-black pixel (null when none).
QRect painted_rect(const QImage& im)
{
  QRect r;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (QColor(im.pixel(x, y)) != QColor(Qt::black)) r = r.united(QRect(x, y, 1, 1));
  return r;
}

std::vector<recorded_op> record(qvwr_figure& f, const QRect& area = QRect(-100, -100, 600, 600))
{
  recording_device dev;
  {
    QPainter p(&dev);
    f.draw(p, area);
  }
  return dev.ops();
}
} // namespace

TEST(QvwrFgPoints, DiscOfRadiusTwoAndItsBox)
{
  auto v = black_viewer_256();
  qvwr_fg_points f;
  EXPECT_EQ(f.is_a(), "qvwr_fg_points");
  EXPECT_TRUE(f.boundBox().isNull());
  f.setRadius(2);
  f.setColor(Qt::green);
  v->append(f);
  f.set(std::vector<pt>{pt(10, 20)});
  EXPECT_EQ(f.boundBox(), QRect(QPoint(8, 18), QPoint(12, 22)));

  const std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].what, recorded_op::ellipse);
  EXPECT_EQ(ops[0].rect, QRect(8, 18, 5, 5));
  EXPECT_EQ(ops[0].pen.style(), Qt::NoPen);
  EXPECT_EQ(ops[0].brush.style(), Qt::SolidPattern);
  EXPECT_EQ(ops[0].brush.color(), QColor(Qt::green));

  // The raster engine fills a disc centred on the point, inside the box.
  const QImage im = v->grab().toImage();
  EXPECT_EQ(QColor(im.pixel(10, 20)), QColor(Qt::green));
  EXPECT_EQ(QColor(im.pixel(12, 20)), QColor(Qt::green));
  EXPECT_EQ(QColor(im.pixel(8, 20)), QColor(Qt::green));
  EXPECT_EQ(QColor(im.pixel(10, 22)), QColor(Qt::green));
  EXPECT_EQ(QColor(im.pixel(10, 19)), QColor(Qt::green));
  // Qt 6 fills the 5 x 5 request as a disc 5 wide and 4 or 5 high; either
  // way it stays inside the box.
  const QRect painted = painted_rect(im);
  EXPECT_TRUE(f.boundBox().contains(painted));
  EXPECT_EQ(painted.left(), 8);
  EXPECT_EQ(painted.right(), 12);
  EXPECT_EQ(painted.bottom(), 22);
}

TEST(QvwrFgPoints, RoundingHalfAwayFromZero)
{
  auto v = black_viewer_256();
  qvwr_fg_points f;
  v->append(f);
  EXPECT_EQ(f.displayPos(pt(-2.5, 2.5)), QPoint(-3, 3));
  EXPECT_EQ(f.displayPos(pt(2.4999, -2.4999)), QPoint(2, -2));
  EXPECT_EQ(f.displayPos(pt(0.5, -0.5)), QPoint(1, -1));
  f.set(std::vector<pt>{pt(-2.5, 2.5), pt(2.5, -2.5)});
  EXPECT_EQ(f.boundBox(), QRect(QPoint(-3, -3), QPoint(3, 3)));

  // A zoom of 2 (no shift): world 0.25 lands on display 0.5.
  v->viewWindow(vgl_box_2d<double>(pt(0, 0), pt(128, 128)));
  EXPECT_EQ(f.displayPos(pt(0.25, -0.25)), QPoint(1, -1));
  EXPECT_EQ(f.boundBox(), QRect(QPoint(-5, -5), QPoint(5, 5)));

  // Coordinates far off any screen stay finite and ordered.
  f.set(std::vector<pt>{pt(1e300, -1e300), pt(0, 0)});
  EXPECT_EQ(f.boundBox().left(), 0);
  EXPECT_LT(f.boundBox().top(), -1000000);
  EXPECT_GT(f.boundBox().right(), 1000000);
  EXPECT_EQ(f.boundBox().bottom(), 0);
}

TEST(QvwrFgPoints, RadiusZeroPaintsSinglePixels)
{
  auto v = black_viewer_256();
  qvwr_fg_points f;
  f.setColor(Qt::yellow);
  v->append(f);
  f.set(std::vector<pt>{pt(10, 20), pt(30, 5)});
  EXPECT_EQ(f.boundBox(), QRect(QPoint(10, 5), QPoint(30, 20)));

  const std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].what, recorded_op::points);
  EXPECT_EQ(ops[0].pts, QPolygon() << QPoint(10, 20));
  EXPECT_EQ(ops[0].pen.color(), QColor(Qt::yellow));
  EXPECT_EQ(ops[1].pts, QPolygon() << QPoint(30, 5));

  const QImage im = v->grab().toImage();
  int lit = 0;
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x)
      if (QColor(im.pixel(x, y)) != QColor(Qt::black)) ++lit;
  EXPECT_EQ(lit, 2);
  EXPECT_EQ(QColor(im.pixel(10, 20)), QColor(Qt::yellow));
  EXPECT_EQ(QColor(im.pixel(30, 5)), QColor(Qt::yellow));
}

TEST(QvwrFgPoints, BoxCoversEveryPaintedPixel)
{
  auto v = black_viewer_256();
  qvwr_fg_points f;
  f.setColor(Qt::white);
  v->append(f);
  for (int r = 0; r <= 7; ++r) {
    f.setRadius(r);
    // Fractions on either side of the rounding step.
    f.set(std::vector<pt>{pt(40.5, 60.49), pt(100.2, 30.7)});
    const QRect painted = painted_rect(v->grab().toImage());
    EXPECT_TRUE(f.boundBox().contains(painted)) << "radius " << r;
    // Full width; Qt 6 may leave out the top row of a disc.
    EXPECT_EQ(painted.left(), f.boundBox().left()) << "radius " << r;
    EXPECT_EQ(painted.right(), f.boundBox().right()) << "radius " << r;
    EXPECT_EQ(painted.bottom(), f.boundBox().bottom()) << "radius " << r;
  }
}

TEST(QvwrFgPoints, SetRadiusGrowsTheBoxAndRepaintsOnce)
{
  auto v = black_viewer_256();
  count_figure spy;
  v->append(spy);
  qvwr_fg_points f;
  f.setRadius(-3);
  EXPECT_EQ(f.radius(), 0);
  v->append(f);
  f.set(std::vector<pt>{pt(10, 20)});
  EXPECT_EQ(f.boundBox(), QRect(10, 20, 1, 1));

  spy.reset();
  f.setRadius(0);
  EXPECT_TRUE(spy.areas.empty());
  f.setRadius(3);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(7, 17), QPoint(13, 23)));
  ASSERT_EQ(spy.areas.size(), 1u);  // old and new box in one repaint
  EXPECT_EQ(spy.areas[0], QRect(QPoint(7, 17), QPoint(13, 23)));
  f.setRadius(-1);
  EXPECT_EQ(f.radius(), 0);
  EXPECT_EQ(f.boundBox(), QRect(10, 20, 1, 1));

  // No points: the box stays null whatever the radius.
  f.set(std::vector<pt>());
  EXPECT_TRUE(f.boundBox().isNull());
  f.setRadius(5);
  EXPECT_TRUE(f.boundBox().isNull());
  EXPECT_TRUE(record(f).empty());
}

TEST(QvwrFgPoints, PerPointColours)
{
  auto v = black_viewer_256();
  qvwr_fg_points f;
  f.setColor(Qt::green);
  f.setRadius(1);
  v->append(f);
  f.set(std::vector<pt>{pt(10, 10), pt(20, 10)});
  f.setColors(std::vector<QColor>{Qt::red, Qt::blue});

  std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].brush.color(), QColor(Qt::red));
  EXPECT_EQ(ops[1].brush.color(), QColor(Qt::blue));
  EXPECT_EQ(ops[1].pen.style(), Qt::NoPen);
  QImage im = v->grab().toImage();
  EXPECT_EQ(QColor(im.pixel(10, 10)), QColor(Qt::red));
  EXPECT_EQ(QColor(im.pixel(20, 10)), QColor(Qt::blue));

  // Same count: the colours stay with the points.
  f.set(std::vector<pt>{pt(12, 10), pt(22, 10)});
  EXPECT_EQ(f.colors().size(), 2u);

  // Radius 0: one pen per pixel.
  f.setRadius(0);
  ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].pen.color(), QColor(Qt::red));
  EXPECT_EQ(ops[1].pen.color(), QColor(Qt::blue));

  // An empty list returns to the single colour.
  const QColor none[1];
  f.setColors(none, 0);
  EXPECT_TRUE(f.colors().empty());
  ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[1].pen.color(), QColor(Qt::green));

  // A new number of points drops colours that no longer match.
  const QColor two[2] = {Qt::red, Qt::blue};
  f.setColors(two, 2);
  f.set(std::vector<pt>{pt(1, 1), pt(2, 2), pt(3, 3)});
  EXPECT_TRUE(f.colors().empty());
  ops = record(f);
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[2].pen.color(), QColor(Qt::green));
}

TEST(QvwrFgPointsDeathTest, ColourCountAndDetachedUse)
{
  qvwr_viewer v(nullptr, "v");
  qvwr_fg_points f;
  v.append(f);
  f.set(std::vector<pt>{pt(1, 1), pt(2, 2)});
  const QColor three[3] = {Qt::red, Qt::green, Qt::blue};
  EXPECT_DEATH(f.setColors(three, 3), "n==0 \\|\\| n==pts_.size\\(\\)");
  EXPECT_DEATH(f.setColors(three, -1), "n==0 \\|\\| n==pts_.size\\(\\)");
  EXPECT_DEATH(f.setColors(std::vector<QColor>{Qt::red}),
               "colors.size\\(\\)==0 \\|\\| colors.size\\(\\)==pts_.size\\(\\)");

  qvwr_fg_points detached;
  EXPECT_DEATH(detached.set(std::vector<pt>{pt(1, 1)}), "viewer_!=0");
  // Colour and radius changes need no viewer.
  detached.setColor(Qt::red);
  detached.setRadius(4);
  EXPECT_EQ(detached.radius(), 4);
}

TEST(QvwrFgPoints, PointSetSources)
{
  qvwr_viewer v(nullptr, "v");
  qvwr_fg_points f;
  v.append(f);

  vsml_points_2d set2d;
  set2d.setPoints2D(std::vector<pt>{pt(1, 2), pt(3, 4), pt(5, 6)});
  f.set(set2d);
  EXPECT_EQ(f.points(), (std::vector<pt>{pt(1, 2), pt(3, 4), pt(5, 6)}));

  // Through the base: read in the blocked 2-D layout.
  const vsml_points& base = set2d;
  f.set(std::vector<pt>());
  f.set(base);
  EXPECT_EQ(f.points(), (std::vector<pt>{pt(1, 2), pt(3, 4), pt(5, 6)}));
  EXPECT_EQ(f.boundBox(), QRect(QPoint(1, 2), QPoint(5, 6)));

  const vsml_g_point g[2] = {vsml_g_point(7, 8, 9, 10), vsml_g_point(-1, -2)};
  f.set(g, 2);
  EXPECT_EQ(f.points(), (std::vector<pt>{pt(7, 8), pt(-1, -2)}));

  const pt raw[2] = {pt(4, 4), pt(6, 6)};
  f.set(raw, 2);
  EXPECT_EQ(f.points(), (std::vector<pt>{pt(4, 4), pt(6, 6)}));
  f.set(raw, -4);  // a negative count is no points
  EXPECT_TRUE(f.points().empty());
  EXPECT_TRUE(f.boundBox().isNull());
}

TEST(QvwrFgPoints, HiddenOrOutsideAreaDrawsNothing)
{
  qvwr_viewer v(nullptr, "v");
  qvwr_fg_points f;
  f.setRadius(2);
  v.append(f);
  f.set(std::vector<pt>{pt(10, 20)});
  EXPECT_TRUE(record(f, QRect(13, 0, 50, 50)).empty());
  EXPECT_EQ(record(f, QRect(12, 22, 1, 1)).size(), 1u);
  f.setVisible(false);
  EXPECT_TRUE(record(f).empty());
}

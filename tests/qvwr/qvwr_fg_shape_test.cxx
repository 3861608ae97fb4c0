#include <memory>
#include <vector>
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <qvwr/qvwr_fg_shape.h>
#include <qvwr/qvwr_viewer.h>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>
#include "qvwr/qvwr_recording_device.h"
#include "qvwr/qvwr_test_helpers.h"

namespace
{
typedef vgl_point_2d<double> pt;


vsml_part make_part(vsml_part::CurveForm form, const std::vector<int>& idx)
{
  vsml_part p;
  p.setIndices(idx);
  p.setForm(form);
  return p;
}

vsml_parts make_parts(const std::vector<vsml_part>& list)
{
  vsml_parts parts;
  parts.parts() = list;
  return parts;
}

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

// The end point pairs of the segments of a polyline through pts.
QPolygon chain(std::initializer_list<QPoint> pts)
{
  QPolygon p;
  const std::vector<QPoint> v(pts);
  for (std::size_t k = 0; k + 1 < v.size(); ++k) p << v[k] << v[k + 1];
  return p;
}

// The polyline back from end point pairs that join up.
QPolygon unchain(const QPolygon& pairs)
{
  QPolygon p;
  for (int k = 0; k + 1 < pairs.size(); k += 2) {
    EXPECT_TRUE(k == 0 || pairs[k] == pairs[k - 1]) << "segment " << k / 2 << " does not join";
    p << pairs[k];
  }
  if (!pairs.isEmpty()) p << pairs.back();
  return p;
}

// The five-point horizontal line used by the repaint tests.
std::vector<pt> line5()
{
  return {pt(0, 0), pt(10, 0), pt(20, 0), pt(30, 0), pt(40, 0)};
}
} // namespace

TEST(QvwrFgShape, ClosedSquare)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  EXPECT_EQ(f.is_a(), "qvwr_fg_shape");
  f.setColor(Qt::red);
  v->append(f);
  const std::vector<pt> pts{pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)};
  const vsml_parts parts = make_parts({make_part(vsml_part::ClosedBoundary, {0, 1, 2, 3})});
  f.set(pts, parts);
  EXPECT_EQ(&f.parts(), &parts);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(10, 10)));

  const std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].what, recorded_op::lines);
  EXPECT_EQ(ops[0].pts, chain({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}));
  EXPECT_EQ(ops[0].pen.color(), QColor(Qt::red));
  EXPECT_EQ(ops[0].pen.width(), 0);

  const QImage im = v->grab().toImage();
  EXPECT_EQ(painted_rect(im), f.boundBox());
  EXPECT_EQ(QColor(im.pixel(5, 0)), QColor(Qt::red));
  EXPECT_EQ(QColor(im.pixel(0, 5)), QColor(Qt::red));
  EXPECT_EQ(QColor(im.pixel(10, 5)), QColor(Qt::red));
  EXPECT_EQ(QColor(im.pixel(5, 10)), QColor(Qt::red));
  EXPECT_EQ(QColor(im.pixel(5, 5)), QColor(Qt::black));  // outline only

  // The same part open: no closing segment.
  const vsml_parts open = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2, 3})});
  f.set(pts, open);
  EXPECT_EQ(record(f)[0].pts, chain({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
  EXPECT_EQ(QColor(v->grab().toImage().pixel(0, 5)), QColor(Qt::black));
}

TEST(QvwrFgShape, MovingOnePointRepaintsOnlyAroundIt)
{
  auto v = black_viewer_256();
  count_figure spy;
  v->append(spy);
  qvwr_fg_shape f;
  f.setColor(Qt::white);
  v->append(f);
  std::vector<pt> pts = line5();
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2, 3, 4})});
  f.set(pts, parts);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(40, 0)));

  spy.reset();
  pts[2] = pt(20, 5);
  f.set(pts, parts);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(10, 0), QPoint(30, 5)));
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(40, 5)));

  // What was repainted shows the new line; outside nothing was touched.
  const QImage im = v->grab().toImage();
  EXPECT_EQ(QColor(im.pixel(20, 5)), QColor(Qt::white));
  EXPECT_EQ(QColor(im.pixel(20, 0)), QColor(Qt::black));

  // Nothing moved: nothing repainted.
  spy.reset();
  f.set(pts, parts);
  EXPECT_TRUE(spy.areas.empty());

  // The first point of a closed part also redraws the closing segment.
  const vsml_parts closed = make_parts({make_part(vsml_part::ClosedBoundary, {0, 1, 2, 3, 4})});
  f.set(pts, closed);
  spy.reset();
  pts[0] = pt(0, 3);
  f.set(pts, closed);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(40, 3)));

  // Loose points repaint only the moved point itself.
  const vsml_parts loose = make_parts({make_part(vsml_part::SetOfPoints, {0, 1, 2, 3, 4})});
  f.set(pts, loose);
  spy.reset();
  pts[3] = pt(31, 2);
  f.set(pts, loose);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(30, 0), QPoint(31, 2)));
}

TEST(QvwrFgShape, StructureChangeRepaintsWholeBoxes)
{
  auto v = black_viewer_256();
  count_figure spy;
  v->append(spy);
  qvwr_fg_shape f;
  v->append(f);
  std::vector<pt> pts = line5();
  pts.push_back(pt(100, 100));
  const vsml_parts one = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2})});
  f.set(pts, one);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(20, 0)));

  // A part added: old and new box repainted together.
  spy.reset();
  const vsml_parts two = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2}),
                                     make_part(vsml_part::SetOfPoints, {5})});
  f.set(pts, two);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(100, 100)));
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(100, 100)));

  // Open to closed: the whole box again, although no point moved.
  spy.reset();
  const vsml_parts closed = make_parts({make_part(vsml_part::ClosedBoundary, {0, 1, 2}),
                                        make_part(vsml_part::SetOfPoints, {5})});
  f.set(pts, closed);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(100, 100)));

  // A part with one point more.
  spy.reset();
  const vsml_parts longer = make_parts({make_part(vsml_part::ClosedBoundary, {0, 1, 2, 3}),
                                        make_part(vsml_part::SetOfPoints, {5})});
  f.set(pts, longer);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(100, 100)));

  // Taken out and put back unchanged: the whole box is shown again.
  f.remove();
  spy.reset();
  v->append(f);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(100, 100)));

  // No parts at all: the old box is cleared and the new one is empty.
  spy.reset();
  const vsml_parts none;
  f.set(pts, none);
  EXPECT_TRUE(f.boundBox().isNull());
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_EQ(spy.areas[0], QRect(QPoint(0, 0), QPoint(100, 100)));
  EXPECT_TRUE(record(f).empty());
}

TEST(QvwrFgShape, LineWidthAndRadiusMargins)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  f.setColor(Qt::white);
  v->append(f);
  std::vector<pt> pts{pt(50, 50), pt(80, 50), pt(80, 90)};
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2})});
  f.set(pts, parts);
  const QRect base(QPoint(50, 50), QPoint(80, 90));
  const QRect base2(QPoint(50, 50), QPoint(80, 91));
  EXPECT_EQ(f.boundBox(), base);

  f.setLineWidth(3);
  EXPECT_EQ(f.boundBox(), base.adjusted(-1, -1, 1, 1));
  EXPECT_TRUE(f.boundBox().contains(painted_rect(v->grab().toImage())));
  EXPECT_EQ(record(f)[0].pen.width(), 3);
  // The next change uses the margin (3 + 1) / 2.
  pts[2] = pt(80, 91);
  f.set(pts, parts);
  EXPECT_EQ(f.boundBox(), base2.adjusted(-2, -2, 2, 2));
  f.setLineWidth(-4);
  EXPECT_EQ(f.lineWidth(), 0);
  EXPECT_EQ(f.boundBox(), base2.adjusted(-1, -1, 1, 1));

  f.setRadius(2);
  EXPECT_EQ(f.boundBox(), base2.adjusted(-3, -3, 3, 3));
  pts[2] = pt(80, 90);
  f.set(pts, parts);
  EXPECT_EQ(f.boundBox(), base.adjusted(-2, -2, 2, 2));
  f.setRadius(-1);
  EXPECT_EQ(f.radius(), 0);
  EXPECT_EQ(f.boundBox(), base);

  // Discs of loose points: the request and the pixels, inside the box.
  const vsml_parts loose = make_parts({make_part(vsml_part::SetOfPoints, {0, 1, 2})});
  f.set(pts, loose);
  f.setRadius(3);
  EXPECT_EQ(f.boundBox(), base.adjusted(-3, -3, 3, 3));
  const std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].what, recorded_op::ellipse);
  EXPECT_EQ(ops[0].rect, QRect(47, 47, 7, 7));
  EXPECT_EQ(ops[0].brush.color(), QColor(Qt::white));
  EXPECT_EQ(ops[0].brush.style(), Qt::SolidPattern);
  EXPECT_EQ(ops[0].pen.style(), Qt::NoPen);
  QRect painted = painted_rect(v->grab().toImage());
  EXPECT_TRUE(f.boundBox().contains(painted));
  EXPECT_EQ(painted.left(), 47);
  EXPECT_EQ(painted.right(), 83);

  // Shrinking the line width after the line margin was in force must not
  // uncover the discs, which still need the radius.
  f.setLineWidth(5);
  pts[0] = pt(50, 49);
  f.set(pts, loose);
  const QRect base3(QPoint(50, 49), QPoint(80, 90));
  EXPECT_EQ(f.boundBox(), base3.adjusted(-3, -3, 3, 3));
  f.setLineWidth(0);
  EXPECT_EQ(f.boundBox(), base3.adjusted(-3, -3, 3, 3));
  painted = painted_rect(v->grab().toImage());
  EXPECT_TRUE(f.boundBox().contains(painted));
  EXPECT_EQ(painted.left(), 47);
}

TEST(QvwrFgShape, ThickLinesStayInsideTheBox)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  f.setColor(Qt::white);
  v->append(f);
  // Sharp angles and diagonals, where caps and joins reach furthest.
  std::vector<pt> pts{pt(60, 60), pt(140, 70), pt(70, 80), pt(120, 150), pt(100, 60)};
  const vsml_parts parts = make_parts({make_part(vsml_part::ClosedBoundary, {0, 1, 2, 3, 4})});
  f.set(pts, parts);
  for (int w = 0; w <= 9; ++w) {
    f.setLineWidth(w);
    EXPECT_TRUE(f.boundBox().contains(painted_rect(v->grab().toImage()))) << "width " << w;
    // A moved point brings in the margin of the new width.
    pts[1] = pt(140, 70 + (w % 2));
    f.set(pts, parts);
    EXPECT_TRUE(f.boundBox().contains(painted_rect(v->grab().toImage()))) << "width " << w;
  }
}

TEST(QvwrFgShape, PerPartColours)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  f.setColor(Qt::red);
  v->append(f);
  const std::vector<pt> pts{pt(10, 10), pt(20, 10), pt(30, 30)};
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1}),
                                       make_part(vsml_part::SetOfPoints, {2})});
  f.set(pts, parts, std::vector<QColor>{Qt::green, Qt::blue});
  std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].pen.color(), QColor(Qt::green));
  EXPECT_EQ(ops[1].what, recorded_op::points);
  EXPECT_EQ(ops[1].pen.color(), QColor(Qt::blue));
  QImage im = v->grab().toImage();
  EXPECT_EQ(QColor(im.pixel(15, 10)), QColor(Qt::green));
  EXPECT_EQ(QColor(im.pixel(30, 30)), QColor(Qt::blue));

  // An empty list goes back to the single colour.
  f.set(pts, parts, std::vector<QColor>());
  ops = record(f);
  EXPECT_EQ(ops[0].pen.color(), QColor(Qt::red));
  EXPECT_EQ(ops[1].pen.color(), QColor(Qt::red));
  f.setColor(std::vector<QColor>{Qt::yellow, Qt::cyan});
  im = v->grab().toImage();
  EXPECT_EQ(QColor(im.pixel(15, 10)), QColor(Qt::yellow));
  f.setColor(Qt::magenta);
  EXPECT_EQ(QColor(v->grab().toImage().pixel(30, 30)), QColor(Qt::magenta));
}

TEST(QvwrFgShapeDeathTest, ColourCountStops)
{
  qvwr_viewer v(nullptr, "v");
  qvwr_fg_shape f;
  v.append(f);
  const std::vector<pt> pts{pt(1, 1), pt(5, 5)};
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1}),
                                       make_part(vsml_part::SetOfPoints, {1})});
  const std::vector<QColor> three{Qt::red, Qt::green, Qt::blue};
  EXPECT_DEATH(f.set(pts, parts, three),
               "qvwr_fg_shape::redraw : Number of colours = 3\nNumber of parts = 2\n");

  f.set(pts, parts);
  recording_device dev;
  QPainter p(&dev);
  EXPECT_DEATH(
      {
        f.setColor(three);
        f.draw(p, QRect(0, 0, 10, 10));
      },
      "qvwr_fg_shape::draw : Wrong number of colours defined.\nGiven 3 require 2\n");
  p.end();

  qvwr_fg_shape detached;
  EXPECT_DEATH(detached.parts(), "parts_!=0");
  EXPECT_DEATH(detached.set(pts, parts), "viewer_!=0");
  EXPECT_DEATH(detached.setLineWidth(2), "viewer_!=0");
  // These only store without a viewer.
  detached.setRadius(3);
  detached.setColor(Qt::red);
  detached.set_draw_bezier(true);
  EXPECT_EQ(detached.radius(), 3);
  EXPECT_TRUE(detached.draw_bezier());
}

TEST(QvwrFgShape, BezierDrawsOpenPartsClosed)
{
  auto v = black_viewer_256();
  count_figure spy;
  v->append(spy);
  qvwr_fg_shape f;
  f.setColor(Qt::white);
  v->append(f);
  std::vector<pt> pts{pt(60, 60), pt(120, 60), pt(120, 120), pt(60, 120)};
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2, 3})});
  f.set(pts, parts);
  f.set_draw_bezier(true);
  EXPECT_TRUE(f.draw_bezier());

  std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 1u);
  ASSERT_EQ(ops[0].what, recorded_op::lines);
  const QPolygon curve = unchain(ops[0].pts);
  ASSERT_EQ(curve.size(), 1 + 4 * 20);  // 20 samples per segment, ends included
  EXPECT_EQ(curve.front(), QPoint(60, 60));
  EXPECT_EQ(curve.back(), QPoint(60, 60));  // closed although the part is open
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(curve[1 + 20 * s], QPoint(int(pts[s].x()), int(pts[s].y())));
    EXPECT_EQ(curve[20 * (s + 1)], QPoint(int(pts[(s + 1) % 4].x()), int(pts[(s + 1) % 4].y())));
  }

  // The spline swings outside the points; the box follows it.
  QImage im = v->grab().toImage();
  EXPECT_FALSE(QRect(QPoint(60, 60), QPoint(120, 120)).contains(painted_rect(im)));
  EXPECT_TRUE(f.boundBox().contains(painted_rect(im)));
  EXPECT_EQ(QColor(im.pixel(60, 60)), QColor(Qt::white));

  // Moving a node reshapes the whole curve; what is repainted covers it all.
  spy.reset();
  pts[1] = pt(140, 40);
  const QRect before = f.boundBox();
  f.set(pts, parts);
  ASSERT_EQ(spy.areas.size(), 1u);
  EXPECT_TRUE(spy.areas[0].contains(before));
  EXPECT_TRUE(spy.areas[0].contains(f.boundBox()));
  im = v->grab().toImage();
  EXPECT_TRUE(f.boundBox().contains(painted_rect(im)));

  // Loose points are not curves.
  const vsml_parts loose = make_parts({make_part(vsml_part::SetOfPoints, {0, 1})});
  f.set(pts, loose);
  ops = record(f);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].what, recorded_op::points);
  EXPECT_EQ(ops[1].what, recorded_op::points);

  // Back to lines: the box shrinks back to the points.
  f.set(pts, parts);
  f.set_draw_bezier(false);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(60, 40), QPoint(140, 120)));
}

TEST(QvwrFgShape, OutOfRangeIndicesAndEmptyPartsAreSkipped)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  v->append(f);
  const std::vector<pt> pts{pt(10, 10), pt(20, 20)};
  const vsml_parts parts = make_parts({make_part(vsml_part::ClosedBoundary, {0, 7, -1, 1}),
                                       make_part(vsml_part::OpenBoundary, {}),
                                       make_part(vsml_part::SetOfPoints, {99})});
  f.set(pts, parts);
  EXPECT_EQ(f.boundBox(), QRect(QPoint(10, 10), QPoint(20, 20)));
  std::vector<recorded_op> ops = record(f);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].pts, chain({{10, 10}, {20, 20}, {10, 10}}));
  f.set_draw_bezier(true);
  EXPECT_EQ(record(f).size(), 1u);

  // No points at all (a null array with a count): nothing is read or drawn.
  f.set(nullptr, 5, parts);
  EXPECT_TRUE(f.boundBox().isNull());
  EXPECT_TRUE(record(f).empty());
  f.set(std::vector<pt>(), parts);
  EXPECT_TRUE(f.boundBox().isNull());

  // Parts given after their points shrank: the missing ones are skipped.
  f.set_draw_bezier(false);
  f.set(pts.data(), 1, parts);
  EXPECT_EQ(f.boundBox(), QRect(10, 10, 1, 1));
}

TEST(QvwrFgShape, TransformChangeMovesEverything)
{
  auto v = black_viewer_256();
  qvwr_fg_shape f;
  f.setColor(Qt::white);
  v->append(f);
  const std::vector<pt> pts{pt(10, 10), pt(20, 10), pt(20, 20)};
  const vsml_parts parts = make_parts({make_part(vsml_part::OpenBoundary, {0, 1, 2})});
  f.set(pts, parts);
  // A zoom of 2.
  v->viewWindow(vgl_box_2d<double>(pt(0, 0), pt(128, 128)));
  EXPECT_EQ(f.boundBox(), QRect(QPoint(20, 20), QPoint(40, 40)));
  EXPECT_EQ(record(f)[0].pts, chain({{20, 20}, {40, 20}, {40, 40}}));
  const QImage im = v->grab().toImage();
  EXPECT_EQ(painted_rect(im), f.boundBox());
  // The old drawing at zoom 1 is gone.
  EXPECT_EQ(QColor(im.pixel(15, 10)), QColor(Qt::black));
}

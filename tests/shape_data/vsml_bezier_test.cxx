#include <cmath>
#include <limits>
#include <sstream>
#include <gtest/gtest.h>
#include <shape_data/vsml_bezier.h>

namespace
{
typedef vgl_point_2d<double> pt;

void expect_near(const pt& a, const pt& b, double tol = 1e-12)
{
  EXPECT_NEAR(a.x(), b.x(), tol) << a << " vs " << b;
  EXPECT_NEAR(a.y(), b.y(), tol) << a << " vs " << b;
}

void expect_nodes_near(const vsml_bezier& a, const vsml_bezier& b, double tol = 1e-12)
{
  ASSERT_EQ(a.size(), b.size());
  for (int i = 0; i < int(a.size()); ++i) {
    SCOPED_TRACE(i);
    expect_near(a.node(i).point(), b.node(i).point(), tol);
    expect_near(a.node(i).c1(), b.node(i).c1(), tol);
    expect_near(a.node(i).c2(), b.node(i).c2(), tol);
  }
}

// A wobbly closed curve of five nodes.
vsml_bezier five_nodes()
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(10, 1), pt(12, 9), pt(5, 14), pt(-3, 6)});
  return b;
}

// Arc length of segments i..j-1 by dense sampling.
double sampled_length(const vsml_bezier& b, int i, int j)
{
  double len = 0;
  for (int s = i; s < j; ++s) {
    const int k = s % int(b.size());
    pt prev = b.value(k, 0.0);
    for (int q = 1; q <= 4000; ++q) {
      const pt p = b.value(k, q / 4000.0);
      len += (p - prev).length();
      prev = p;
    }
  }
  return len;
}
}  // namespace

TEST(VsmlBezier, SplineThroughThreePoints)
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(1, 0), pt(1, 1)});
  ASSERT_EQ(b.size(), 3u);
  expect_near(b.node(0).c1(), pt(5.0 / 12, -1.0 / 12));
  expect_near(b.node(0).c2(), pt(5.0 / 6, -1.0 / 6));
  expect_near(b.node(1).c1(), pt(7.0 / 6, 1.0 / 6));
  expect_near(b.node(1).c2(), pt(13.0 / 12, 7.0 / 12));
  expect_near(b.node(2).c1(), pt(11.0 / 12, 17.0 / 12));
  expect_near(b.node(2).c2(), pt(-5.0 / 12, 1.0 / 12));
  // Equal handles on both sides of (1,0): the curve is smooth there.
  const vgl_vector_2d<double> out = b.node(1).c1() - b.node(1).point();
  const vgl_vector_2d<double> in = b.node(1).point() - b.node(0).c2();
  EXPECT_NEAR(out.x(), 1.0 / 6, 1e-12);
  EXPECT_NEAR(out.y(), 1.0 / 6, 1e-12);
  EXPECT_NEAR(in.x(), 1.0 / 6, 1e-12);
  EXPECT_NEAR(in.y(), 1.0 / 6, 1e-12);
  // The points themselves are kept.
  EXPECT_EQ(b.node(2).point(), pt(1, 1));
}

TEST(VsmlBezier, SplineIsSecondOrderContinuousInside)
{
  const vsml_bezier b = five_nodes();
  // At inner nodes 1..3 the first and second derivatives agree across the node.
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    const vgl_vector_2d<double> t_in = b.tangent(k - 1, 1.0), t_out = b.tangent(k, 0.0);
    EXPECT_NEAR(t_in.x(), t_out.x(), 1e-9);
    EXPECT_NEAR(t_in.y(), t_out.y(), 1e-9);
    // B''(1) of the incoming = 6 (P - 2 C2 + C1); B''(0) of the outgoing = 6 (P - 2 C1 + C2).
    const vsml_bezier_node& a = b.node(k - 1);
    const vsml_bezier_node& c = b.node(k);
    const double ax = 6 * (c.point().x() - 2 * a.c2().x() + a.c1().x());
    const double cx = 6 * (c.point().x() - 2 * c.c1().x() + c.c2().x());
    EXPECT_NEAR(ax, cx, 1e-9);
  }
  // Free ends: zero second derivative at the first node of segment 0.
  const vsml_bezier_node& n0 = b.node(0);
  EXPECT_NEAR(n0.point().x() - 2 * n0.c1().x() + n0.c2().x(), 0.0, 1e-9);
  EXPECT_NEAR(n0.point().y() - 2 * n0.c1().y() + n0.c2().y(), 0.0, 1e-9);
}

TEST(VsmlBezier, SetDegenerateInputs)
{
  vsml_bezier b;
  b.set({});
  EXPECT_TRUE(b.empty());
  b.set({pt(3, 4)});
  ASSERT_EQ(b.size(), 1u);
  // A lone node's control points rest on its point.
  EXPECT_EQ(b.node(0), vsml_bezier_node(pt(3, 4), pt(3, 4), pt(3, 4)));
  b.set({pt(1, 1), pt(2, 2)});
  b.set({});
  EXPECT_TRUE(b.empty());
}

TEST(VsmlBezier, ValueTangentNormalSurround)
{
  const vsml_bezier b = five_nodes();
  const int n = int(b.size());
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    const vsml_bezier_node& nd = b.node(i);
    const pt next = b.node((i + 1) % n).point();
    expect_near(b.value(i, 0.0), nd.point());
    expect_near(b.value(i, 1.0), next);
    const vgl_vector_2d<double> t0 = b.tangent(i, 0.0), t1 = b.tangent(i, 1.0);
    EXPECT_NEAR(t0.x(), 3 * (nd.c1().x() - nd.point().x()), 1e-12);
    EXPECT_NEAR(t0.y(), 3 * (nd.c1().y() - nd.point().y()), 1e-12);
    EXPECT_NEAR(t1.x(), 3 * (next.x() - nd.c2().x()), 1e-12);
    // The tangent is the derivative of value.
    const double h = 1e-6, t = 0.37;
    const vgl_vector_2d<double> fd = (b.value(i, t + h) - b.value(i, t - h)) / (2 * h);
    const vgl_vector_2d<double> tg = b.tangent(i, t);
    EXPECT_NEAR(fd.x(), tg.x(), 1e-5);
    EXPECT_NEAR(fd.y(), tg.y(), 1e-5);
    const vgl_vector_2d<double> nm = b.normal(i, t);
    EXPECT_DOUBLE_EQ(nm.x(), tg.y());
    EXPECT_DOUBLE_EQ(nm.y(), -tg.x());
    // The box holds the control polygon and so the whole segment.
    const vgl_box_2d<double> box = b.surround(i);
    for (const pt& p : {nd.point(), nd.c1(), nd.c2(), next}) EXPECT_TRUE(box.contains(p));
    for (int q = 0; q <= 20; ++q) EXPECT_TRUE(box.contains(b.value(i, q / 20.0)));
    EXPECT_DOUBLE_EQ(box.min_x(), std::min({nd.point().x(), nd.c1().x(), nd.c2().x(), next.x()}));
    EXPECT_DOUBLE_EQ(box.max_y(), std::max({nd.point().y(), nd.c1().y(), nd.c2().y(), next.y()}));
  }
  // Midpoint of a cubic: (P0 + 3 C1 + 3 C2 + P3) / 8.
  const vsml_bezier_node& nd = b.node(2);
  const pt p3 = b.node(3).point();
  expect_near(b.value(2, 0.5),
              pt((nd.point().x() + 3 * nd.c1().x() + 3 * nd.c2().x() + p3.x()) / 8,
                 (nd.point().y() + 3 * nd.c1().y() + 3 * nd.c2().y() + p3.y()) / 8));

  vsml_bezier line;
  line.set({pt(0, 0), pt(4, 0)});
  const vgl_vector_2d<double> tg = line.tangent(0, 0.5);
  EXPECT_GT(tg.x(), 0.0);
  EXPECT_EQ(tg.y(), 0.0);
  const vgl_vector_2d<double> nm = normalized(line.normal(0, 0.5));
  EXPECT_DOUBLE_EQ(nm.x(), 0.0);
  EXPECT_DOUBLE_EQ(nm.y(), -1.0);
}

TEST(VsmlBezier, SplitThenRemoveRestoresTheCurve)
{
  const vsml_bezier before = five_nodes();
  for (double t : {0.5, 0.3, 0.85}) {
    for (int i : {0, 2, 4}) {
      SCOPED_TRACE(testing::Message() << "t=" << t << " i=" << i);
      vsml_bezier b = before;
      b.new_point(i, t);
      ASSERT_EQ(b.size(), 6u);
      expect_near(b.node(i + 1).point(), before.value(i, t), 1e-12);
      // The two halves trace the old segment.
      for (int q = 0; q <= 10; ++q) {
        const double s = q / 10.0;
        expect_near(b.value(i, s), before.value(i, s * t), 1e-12);
        expect_near(b.value(i + 1, s), before.value(i, t + s * (1 - t)), 1e-12);
      }
      b.remove(i + 1);
      expect_nodes_near(b, before, 1e-11);
    }
  }
  // Splits at an end, outside (0, 1) or at a bad index do nothing.
  vsml_bezier b = before;
  for (double t : {0.0, 1.0, -0.5, 1.5, std::numeric_limits<double>::quiet_NaN()}) b.new_point(1, t);
  b.new_point(-1, 0.5);
  b.new_point(5, 0.5);
  EXPECT_EQ(b, before);
}

TEST(VsmlBezier, NewPointAtAPoint)
{
  vsml_bezier b = five_nodes();
  const vsml_bezier_node old = b.node(1);
  const pt p(11, 5);
  b.new_point(1, p);
  ASSERT_EQ(b.size(), 6u);
  const vgl_vector_2d<double> w = (old.c2() - old.c1()) / 4.0;
  EXPECT_EQ(b.node(1).point(), old.point());
  EXPECT_EQ(b.node(1).c1(), old.c1());
  expect_near(b.node(1).c2(), p - w);
  EXPECT_EQ(b.node(2).point(), p);
  expect_near(b.node(2).c1(), p + w);
  EXPECT_EQ(b.node(2).c2(), old.c2());
  // The curve passes through p, its tangent parallel to the old C1->C2.
  expect_near(b.value(2, 0.0), p);
  EXPECT_NEAR(cross_product(b.tangent(2, 0.0), old.c2() - old.c1()), 0.0, 1e-9);
  // On the last node the new node is appended.
  b.new_point(5, pt(-2, 1));
  EXPECT_EQ(b.node(6).point(), pt(-2, 1));
}

TEST(VsmlBezier, AppendAndPrepend)
{
  vsml_bezier b;
  b.append(pt(0, 0));
  EXPECT_EQ(b.node(0), vsml_bezier_node(pt(0, 0)));
  b.append(pt(3, 0));
  expect_near(b.node(0).c1(), pt(1, 0));
  expect_near(b.node(0).c2(), pt(2, 0));
  EXPECT_EQ(b.node(1), vsml_bezier_node(pt(3, 0)));
  b.append(pt(3, 3));
  // Former last node: outgoing handle mirrors the incoming one; C2 halfway to p.
  expect_near(b.node(1).c1(), pt(4, 0));
  expect_near(b.node(1).c2(), pt(3.5, 1.5));
  EXPECT_EQ(b.node(2), vsml_bezier_node(pt(3, 3)));

  b.prepend(pt(-3, 0));
  ASSERT_EQ(b.size(), 4u);
  // C2 mirrors the old first node's outgoing handle; C1 halfway from p.
  EXPECT_EQ(b.node(0).point(), pt(-3, 0));
  expect_near(b.node(0).c2(), pt(-1, 0));
  expect_near(b.node(0).c1(), pt(-2, 0));
  EXPECT_EQ(b.node(1).point(), pt(0, 0));

  const vsml_bezier_node odd(pt(9, 9), pt(1, 2), pt(3, 4));
  b.prepend(odd);
  EXPECT_EQ(b.node(0), odd);
  EXPECT_EQ(b.size(), 5u);

  // Closing the curve on its own first point while the copy's vector grows.
  vsml_bezier closed = b, twin = b;
  closed.append(closed.node(0).point());
  twin.append(pt(9, 9));
  EXPECT_EQ(closed, twin);

  vsml_bezier e;
  e.prepend(pt(7, 8));
  EXPECT_EQ(e.node(0), vsml_bezier_node(pt(7, 8)));
}

TEST(VsmlBezier, HandleAlignment)
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(10, 0), pt(10, 10), pt(0, 10)});
  // Bend the handles at node 1 out of line.
  b.node(1).set_c1(pt(12, 3));  // outgoing, length sqrt(13)
  b.node(0).set_c2(pt(7, 1));   // incoming, length sqrt(10)
  const double a = std::sqrt(13.0), c = std::sqrt(10.0);
  const pt p(10, 0);

  vsml_bezier s = b;
  s.smooth(1);
  const vgl_vector_2d<double> out = s.node(1).c1() - p, in = s.node(0).c2() - p;
  EXPECT_NEAR(out.length(), a, 1e-12);
  EXPECT_NEAR(in.length(), c, 1e-12);
  EXPECT_NEAR(cross_product(out, in), 0.0, 1e-12);
  EXPECT_LT(dot_product(out, in), 0.0);
  // Aligned along the old C2[prev] -> C1[k] direction.
  EXPECT_NEAR(cross_product(out, pt(12, 3) - pt(7, 1)), 0.0, 1e-12);

  vsml_bezier c1 = b;
  c1.constrain1(1);
  EXPECT_EQ(c1.node(0).c2(), pt(7, 1));
  expect_near(c1.node(1).c1(), p - (pt(7, 1) - p) * (a / c));
  EXPECT_NEAR((c1.node(1).c1() - p).length(), a, 1e-12);

  vsml_bezier c2 = b;
  c2.constrain2(1);
  EXPECT_EQ(c2.node(1).c1(), pt(12, 3));
  expect_near(c2.node(0).c2(), p - (pt(12, 3) - p) * (c / a));

  // Node 0 wraps to the last node's C2.
  vsml_bezier w = b;
  w.node(3).set_c2(pt(-1, 3));
  w.smooth(0);
  EXPECT_NEAR(cross_product(w.node(0).c1() - pt(0, 0), w.node(3).c2() - pt(0, 0)), 0.0, 1e-12);

  // Zero-length handles leave the control points as they are.
  vsml_bezier z = b;
  z.node(1).set_c1(p);
  z.node(0).set_c2(p);
  const vsml_bezier zero = z;
  z.smooth(1);
  z.constrain1(1);
  z.constrain2(1);
  EXPECT_EQ(z, zero);
  vsml_bezier h = b;
  h.node(0).set_c2(p);  // no incoming handle
  const vsml_bezier half = h;
  h.constrain1(1);
  EXPECT_EQ(h, half);
  h.remove(1);
  EXPECT_EQ(h.size(), 3u);
  EXPECT_EQ(h.node(0), half.node(0));
}

TEST(VsmlBezier, StraightnessTest)
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(4, 0)});
  EXPECT_TRUE(b.is_straight(0, 1e-12));
  b.node(0).set_c1(pt(1, 0.5));
  EXPECT_TRUE(b.is_straight(0, 0.5));
  EXPECT_FALSE(b.is_straight(0, 0.49));
  // On the chord's line but beyond its ends.
  b.node(0).set_c1(pt(-1, 0));
  EXPECT_FALSE(b.is_straight(0, 100));
  b.node(0).set_c1(pt(1, 0));
  b.node(0).set_c2(pt(5, 0));
  EXPECT_FALSE(b.is_straight(0, 100));
  // Coincident end points: straight whatever the control points.
  vsml_bezier loop;
  loop.prepend(vsml_bezier_node(pt(2, 2), pt(50, 3), pt(-20, 40)));
  loop.append(pt(2, 2));
  loop.node(0).set_c1(pt(50, 3));
  loop.node(0).set_c2(pt(-20, 40));
  EXPECT_TRUE(loop.is_straight(0, 0.0));
  vsml_bezier one;
  one.prepend(vsml_bezier_node(pt(1, 1), pt(9, 9), pt(-9, 9)));
  EXPECT_TRUE(one.is_straight(0, 0.0));
}

TEST(VsmlBezier, SubBezierWraps)
{
  const vsml_bezier b = five_nodes();
  const vsml_bezier s = b.sub_bezier(3, 1);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s.node(0), b.node(3));
  EXPECT_EQ(s.node(1), b.node(4));
  EXPECT_EQ(s.node(2), b.node(0));
  EXPECT_EQ(s.node(3), b.node(1));
  const vsml_bezier one = b.sub_bezier(2, 2);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one.node(0), b.node(2));
  const vsml_bezier neg = b.sub_bezier(-2, 6);  // 3 .. 1
  EXPECT_EQ(neg, s);
  EXPECT_EQ(b.sub_bezier(0, 4), b);
  EXPECT_TRUE(vsml_bezier().sub_bezier(1, 3).empty());
}

TEST(VsmlBezier, IntegrateMeasuresArcLength)
{
  const vsml_bezier b = five_nodes();
  const double whole = sampled_length(b, 0, 5);
  // i == j measures the whole closed curve, starting anywhere.
  EXPECT_NEAR(b.integrate(2, 2, 1e-4), whole, 1e-3 * whole);
  EXPECT_NEAR(b.integrate(0, 0, 1e-4), whole, 1e-3 * whole);
  EXPECT_NEAR(b.integrate(-3, 7, 1e-4), whole, 1e-3 * whole);
  double sum = 0;
  for (int k = 0; k < 5; ++k) sum += b.integrate(k, k + 1, 1e-4);
  EXPECT_NEAR(b.integrate(2, 2, 1e-4), sum, 1e-9 * sum);
  // A part of the curve, wrapped: segments 3, 4 and 0.
  EXPECT_NEAR(b.integrate(3, 1, 1e-4), sampled_length(b, 3, 6), 1e-3 * whole);
  // A flattened polyline is never longer than the curve, and tighter is closer.
  const double coarse = b.integrate(0, 0, 0.1), fine = b.integrate(0, 0, 1e-5);
  EXPECT_LE(coarse, fine);
  EXPECT_NEAR(fine, whole, 1e-6 * whole);
  EXPECT_EQ(vsml_bezier().integrate(0, 1, 0.1), 0.0);
}

TEST(VsmlBezier, StraightTwoNodeCurve)
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(4, 0)});
  expect_near(b.node(0).c1(), pt(4.0 / 3, 0));
  expect_near(b.node(0).c2(), pt(8.0 / 3, 0));
  EXPECT_TRUE(b.is_straight(0, 1e-12));
  EXPECT_DOUBLE_EQ(b.integrate(0, 1, 1e-3), 4.0);
  const std::vector<pt> e = b.equal_space(4, 0, 1, 1e-3);
  ASSERT_EQ(e.size(), 4u);
  for (int k = 0; k < 4; ++k) expect_near(e[k], pt(k, 0));
  // The closing segment overshoots both ends.
  expect_near(b.node(1).c1(), pt(16.0 / 3, 0));
  expect_near(b.node(1).c2(), pt(-4.0 / 3, 0));
  EXPECT_FALSE(b.is_straight(1, 1.0));
}

TEST(VsmlBezier, EqualSpacing)
{
  const vsml_bezier b = five_nodes();
  const int m = 40;
  const std::vector<pt> e = b.equal_space(m, 1, 1, 1e-5);
  ASSERT_EQ(e.size(), std::size_t(m));
  EXPECT_EQ(e[0], b.node(1).point());
  // Neighbouring points (also last to first, around the closed curve) are
  // about L/m apart along the curve, so their chords are nearly equal.
  const double step = b.integrate(1, 1, 1e-5) / m;
  for (int k = 0; k < m; ++k) {
    const double d = (e[(k + 1) % m] - e[k]).length();
    EXPECT_NEAR(d, step, 0.02 * step) << k;
  }
  EXPECT_TRUE(b.equal_space(0, 0, 1, 0.1).empty());
  EXPECT_TRUE(b.equal_space(-3, 0, 1, 0.1).empty());
  EXPECT_TRUE(vsml_bezier().equal_space(5, 0, 1, 0.1).empty());
  const std::vector<pt> one = b.equal_space(1, 3, 1, 0.1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0], b.node(3).point());
  // A curve of zero length gives m copies of its first point.
  vsml_bezier dot;
  dot.set({pt(2, 5)});
  const std::vector<pt> z = dot.equal_space(3, 0, 0, 0.1);
  ASSERT_EQ(z.size(), 3u);
  for (const pt& p : z) EXPECT_EQ(p, pt(2, 5));
}

TEST(VsmlBezier, FlatteningAlwaysEnds)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  vsml_bezier b = five_nodes();
  b.node(2).set_c1(pt(nan, 1));
  EXPECT_TRUE(std::isnan(b.integrate(0, 0, 1e-3)));
  EXPECT_EQ(b.equal_space(7, 0, 0, 1e-3).size(), 7u);
  b.node(2).set_c1(pt(inf, 1));
  EXPECT_FALSE(std::isfinite(b.integrate(0, 0, 1e-3)));
  EXPECT_EQ(b.equal_space(7, 0, 0, 1e-3).size(), 7u);
  // A tolerance of zero (never met by a curved segment) or far below double
  // precision still ends, with the length of a very fine flattening.
  const vsml_bezier c = five_nodes();
  const double whole = c.integrate(0, 0, 1e-6);
  EXPECT_NEAR(c.integrate(0, 0, 0.0), whole, 1e-9 * whole);
  EXPECT_NEAR(c.integrate(0, 0, 1e-300), whole, 1e-9 * whole);
  // Huge and tiny coordinates.
  vsml_bezier big;
  big.set({pt(0, 0), pt(1e300, 1e-300), pt(-1e300, 1e300)});
  EXPECT_GT(big.integrate(0, 0, 1e-3), 0.0);
  vsml_bezier tiny;
  tiny.set({pt(0, 0), pt(1e-310, 0), pt(0, 1e-310)});
  EXPECT_GE(tiny.integrate(0, 0, 1e-3), 0.0);
  EXPECT_EQ(tiny.equal_space(5, 0, 0, 1e-3).size(), 5u);
}

TEST(VsmlBezier, Concatenation)
{
  vsml_bezier a, b;
  a.set({pt(0, 0), pt(2, 0), pt(2, 2)});
  b.set({pt(5, 5), pt(7, 5), pt(7, 7)});
  EXPECT_EQ(a + vsml_bezier(), a);
  EXPECT_EQ(vsml_bezier() + b, b);

  const vsml_bezier r = a + b;
  ASSERT_EQ(r.size(), 6u);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(r.node(i), a.node(i));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(r.node(3 + i), b.node(i));
  // The join from (2,2) to (5,5) mirrors the neighbouring handles.
  EXPECT_EQ(r.node(2).point(), pt(2, 2));
  expect_near(r.node(2).c1(), pt(4, 4) - (a.node(1).c2() - pt(0, 0)));
  expect_near(r.node(2).c2(), pt(10, 10) - (b.node(0).c1() - pt(0, 0)));
  // The closing segment enters (0,0) as a's did.
  EXPECT_EQ(r.node(5).point(), pt(7, 7));
  EXPECT_EQ(r.node(5).c1(), b.node(2).c1());
  EXPECT_EQ(r.node(5).c2(), a.node(2).c2());
  // Tangent-continuous at both ends of the join.
  EXPECT_NEAR(cross_product(r.tangent(1, 1.0), r.tangent(2, 0.0)), 0.0, 1e-9);
  EXPECT_NEAR(cross_product(r.tangent(2, 1.0), r.tangent(3, 0.0)), 0.0, 1e-9);

  vsml_bezier single;
  single.set({pt(1, 1)});
  const vsml_bezier s = single + b;
  ASSERT_EQ(s.size(), 4u);
  expect_near(s.node(0).c1(), pt(1 + 4.0 / 3, 1 + 4.0 / 3));
  expect_near(s.node(0).c2(), pt(1 + 8.0 / 3, 1 + 8.0 / 3));
  EXPECT_EQ(s.node(3).c2(), pt(1, 1));
}

TEST(VsmlBezier, PassThrough)
{
  vsml_bezier b = five_nodes();
  const vsml_bezier_node old = b.node(2);
  const pt p(9, 13);
  b.pass_through(2, 0.3, p);
  expect_near(b.value(2, 0.3), p, 1e-12);
  expect_near(pt(0, 0) + (b.node(2).c2() - b.node(2).c1()), pt(0, 0) + (old.c2() - old.c1()));
  EXPECT_EQ(b.node(2).point(), old.point());
  // At the ends the curve is pinned to its nodes: nothing moves.
  const vsml_bezier before = b;
  b.pass_through(2, 0.0, p);
  b.pass_through(2, 1.0, p);
  EXPECT_EQ(b, before);
}

TEST(VsmlBezier, Summary)
{
  vsml_bezier b;
  std::ostringstream e;
  b.print_summary(e);
  EXPECT_EQ(e.str(), " length: 0\n");
  b.set({pt(0, 0), pt(3, 0)});
  std::ostringstream os;
  os << b;
  EXPECT_EQ(os.str(),
            " length: 2\n"
            "  _Node 0:\n"
            "   <vgl_point_2d 0,0 > , <vgl_point_2d 1,0 > , <vgl_point_2d 2,0 > \n"
            "  _Node 1:\n"
            "   <vgl_point_2d 3,0 > , <vgl_point_2d 4,0 > , <vgl_point_2d -1,0 > \n");
  std::ostringstream vs;
  vsl_print_summary(vs, b);
  EXPECT_EQ(vs.str(), os.str());
  EXPECT_EQ(b.is_a(), "vsml_bezier");
}

TEST(VsmlBezierDeathTest, BadIndexOrParameterStops)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  vsml_bezier b;
  b.set({pt(0, 0), pt(1, 0), pt(1, 1)});
  const char* node_msg = "vsml_bezier::checkbounds\\(\\) : attempt to access node 3 when range is 0 to 2";
  EXPECT_DEATH(b.value(3, 0.5), node_msg);
  EXPECT_DEATH(b.tangent(-1, 0.5), "attempt to access node -1 when range is 0 to 2");
  EXPECT_DEATH(b.normal(3, 0.5), node_msg);
  EXPECT_DEATH(b.surround(3), node_msg);
  EXPECT_DEATH(b.smooth(3), node_msg);
  EXPECT_DEATH(b.constrain1(3), node_msg);
  EXPECT_DEATH(b.constrain2(3), node_msg);
  EXPECT_DEATH(b.new_point(3, pt(0, 0)), node_msg);
  EXPECT_DEATH(b.remove(3), node_msg);
  EXPECT_DEATH(b.is_straight(3, 1.0), node_msg);
  EXPECT_DEATH(b.pass_through(3, 0.5, pt(0, 0)), node_msg);
  EXPECT_DEATH(vsml_bezier().value(0, 0.5), "attempt to access node 0 when range is 0 to -1");
  const char* t_msg =
      "vsml_bezier::checkbounds\\(\\) : _Bezier parameter t = 1.5 is outside legal range \\( 0 <= t <= 1 \\)";
  EXPECT_DEATH(b.value(0, 1.5), t_msg);
  EXPECT_DEATH(b.tangent(0, -0.25), "_Bezier parameter t = -0.25 is outside");
  EXPECT_DEATH(b.pass_through(0, 1.5, pt(0, 0)), t_msg);
  EXPECT_DEATH(b.value(0, std::numeric_limits<double>::quiet_NaN()), "_Bezier parameter t = nan");
  // The index is checked first.
  EXPECT_DEATH(b.value(7, 2.0), "attempt to access node 7");
}

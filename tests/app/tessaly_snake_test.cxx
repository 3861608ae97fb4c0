#include <app/tessaly_snake.h>
#include <app/snake_run.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>
#include <gtest/gtest.h>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_sobel_3x3.h>
#include <vil/vil_fill.h>
#include <vil/vil_math.h>

namespace
{
typedef vgl_point_2d<double> pt;
typedef std::vector<pt> pts_t;

vimt_image_2d_of<float> zero_image(unsigned ni, unsigned nj)
{
  vimt_image_2d_of<float> im(ni, nj);
  im.image().fill(0.0f);
  return im;
}

// The start image's cost, computed with the plain library functions:
// gradient magnitude smoothed twice in each direction, k = 0.75.
vimt_image_2d_of<float> start_image_cost(float& max_cost)
{
  vil_image_view<vxl_byte> image;
  snake_start_image(image);
  vil_image_view<float> grad, work;
  vil_sobel_3x3(image, grad);
  vimt_image_2d_of<float> cost;
  vil_math_rms<float, float>(grad, cost.image());
  vil_exp_filter_2d<float, float, double>(cost.image(), work, 0.75, 0.75);
  vil_exp_filter_2d<float, float, double>(work, cost.image(), 0.75, 0.75);
  float min_cost = 0;
  vil_math_value_range(cost.image(), min_cost, max_cost);
  return cost;
}

// FNV-1a over the bytes of every coordinate: equal only for equal points.
std::uint64_t points_hash(const pts_t& pts)
{
  std::uint64_t h = 14695981039346656037ull;
  const auto* bytes = reinterpret_cast<const unsigned char*>(pts.data());
  for (std::size_t k = 0; k < pts.size() * sizeof(pt); ++k) h = (h ^ bytes[k]) * 1099511628211ull;
  return h;
}

void expect_points(const pts_t& got, const pts_t& want, double tol = 1e-12)
{
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].x(), want[i].x(), tol) << "point " << i;
    EXPECT_NEAR(got[i].y(), want[i].y(), tol) << "point " << i;
  }
}
}  // namespace

// ---------------------------------------------------------------- energy

TEST(SnakeEnergy, InternalAndExternalTerms)
{
  const vimt_image_2d_of<float> zeros = zero_image(20, 20);
  // Outside the image the cost is 0: only the internal term counts.
  const pt p(-10, -10), a(0, -10), b(-10, 0);
  EXPECT_NEAR(evaluate_snake_point_fn(zeros, 1.0f, 5.0, p, a, b, 0.5), 0.70711, 5e-6);
  EXPECT_NEAR(evaluate_snake_point_fn(zeros, 1.0f, 5.0, p, b, a, 0.5), 0.70711, 5e-6);
  EXPECT_EQ(evaluate_snake_point_fn(zeros, 1.0f, 5.0, p, a, b, 1.0), 0.0);
  EXPECT_NEAR(evaluate_snake_point_fn(zeros, 1.0f, 5.0, p, a, b, 0.0), std::sqrt(2.0), 1e-12);

  // A cost of 2 (= max cost) at pixel (4, 6), bilinear between pixels.
  vimt_image_2d_of<float> cost = zero_image(10, 10);
  cost.image()(4, 6) = 2.0f;
  const pt on(4, 6), mid_a(4, 16), mid_b(4, -4);  // neighbours' midpoint (4, 6)
  EXPECT_NEAR(evaluate_snake_point_fn(cost, 2.0f, 5.0, on, mid_a, mid_b, 0.5), -5.0, 1e-12);
  EXPECT_NEAR(evaluate_snake_point_fn(cost, 2.0f, 5.0, on, mid_a, mid_b, 0.25), -2.5, 1e-12);
  // Half a pixel off: half the cost and a tenth of a spacing from the midpoint.
  EXPECT_NEAR(evaluate_snake_point_fn(cost, 2.0f, 5.0, pt(4.5, 6), mid_a, mid_b, 0.5),
              0.5 * 0.1 - 0.5 * 5.0 * 1.0, 1e-12);
  // A smaller max cost scales the external term up.
  EXPECT_NEAR(evaluate_snake_point_fn(cost, 0.5f, 5.0, on, mid_a, mid_b, 1.0), -40.0, 1e-12);

  // The cost is sampled through the world-to-image transform.
  vimt_transform_2d shift;
  shift.set_translation(-100, -200);  // world (104, 206) is pixel (4, 6)
  cost.set_world2im(shift);
  EXPECT_NEAR(evaluate_snake_point_fn(cost, 2.0f, 5.0, pt(104, 206), pt(104, 216), pt(104, 196),
                                      1.0),
              -10.0, 1e-12);
  EXPECT_EQ(evaluate_snake_point_fn(cost, 2.0f, 5.0, on, on, on, 1.0), 0.0);
}

TEST(SnakeEnergy, ZeroMaxCostGivesNaNWithoutTrapping)
{
  const vimt_image_2d_of<float> zeros = zero_image(20, 20);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  const double e0 = evaluate_snake_point_fn(zeros, 0.0f, 5.0, pt(3, 3), pt(5, 5), pt(9, 1), 0.5);
  const double e1 = evaluate_snake_point_fn(zeros, 0.0f, 5.0, pt(3, 3), pt(5, 5), pt(9, 1), 0.0);
  fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  EXPECT_TRUE(std::isnan(e0));
  EXPECT_TRUE(std::isnan(e1));
}

// ---------------------------------------------------------------- one step

TEST(SnakeStep, FlatCostImageMovesNothingAndNeverTraps)
{
  const vimt_image_2d_of<float> zeros = zero_image(50, 50);
  const pts_t start = {pt(10, 10), pt(40, 12), pt(35, 40), pt(8, 30), pt(8, 30), pt(-20, 70)};
  for (double w : {0.0, 0.5, 1.0}) {
    pts_t pts = start;
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    for (int k = 0; k < 3; ++k) one_snake_iteration(pts, zeros, 0.0f, 5.0, w, 1, 0.9);
    fedisableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    EXPECT_EQ(pts, start) << "w = " << w;
  }
  pts_t none;
  one_snake_iteration(none, zeros, 1.0f, 5.0, 0.5, 1, 0.9);
  EXPECT_TRUE(none.empty());
}

TEST(SnakeStep, OneTwoAndThreePoints)
{
  const vimt_image_2d_of<float> zeros = zero_image(50, 50);

  // One point is its own neighbour on both sides: no search direction.
  pts_t one = {pt(7, 8)};
  one_snake_iteration(one, zeros, 1.0f, 5.0, 0.0, 1, 0.9);
  expect_points(one, {pt(7, 8)}, 0.0);

  // Two points search along the line through both.  With w = 0 each wants
  // to reach the other (10 away) but the search reaches at most 5.625, of
  // which 0.9 is applied: they pass each other.
  pts_t two = {pt(0, 0), pt(10, 0)};
  one_snake_iteration(two, zeros, 1.0f, 5.0, 0.0, 1, 0.9);
  expect_points(two, {pt(5.0625, 0), pt(10 - 5.0625, 0)});

  // Three points on a line, w = 0: the middle one sits on its neighbours'
  // midpoint and stays; the ends (the neighbours wrap round) move towards
  // the midpoints of theirs, 7.5 away.  All search from the start positions.
  pts_t three = {pt(0, 0), pt(5, 0), pt(10, 0)};
  one_snake_iteration(three, zeros, 1.0f, 5.0, 0.0, 1, 0.9);
  expect_points(three, {pt(5.0625, 0), pt(5, 0), pt(10 - 5.0625, 0)});

  // A midpoint 2.3 away is reached to the nearest 1/8 (2.25), then 0.9 of it.
  pts_t near = {pt(0, 0), pt(2.3, 3), pt(2.3, -3)};
  one_snake_iteration(near, zeros, 1.0f, 5.0, 0.0, 1, 0.5);
  EXPECT_NEAR(near[0].x(), 0.5 * 2.25, 1e-12);
  EXPECT_NEAR(near[0].y(), 0.0, 1e-12);
}

TEST(SnakeStep, TiesKeepTheEarlierCandidate)
{
  // w = 1 on a constant cost: every candidate inside equals the start, so
  // nothing may move (a "less or equal" test would walk the points).
  vimt_image_2d_of<float> flat(40, 40);
  flat.image().fill(3.0f);
  const pts_t square = {pt(10, 10), pt(30, 10), pt(30, 30), pt(10, 30)};
  pts_t pts = square;
  one_snake_iteration(pts, flat, 3.0f, 5.0, 1.0, 1, 0.9);
  EXPECT_EQ(pts, square);

  // Two equal peaks at t = -2 and t = +2 along the search line: the order
  // -3, -2, -1, 1, 2, 3 makes t = -2 the one kept.
  vimt_image_2d_of<float> peaks = zero_image(40, 40);
  peaks.image()(8, 10) = 1.0f;
  peaks.image()(12, 10) = 1.0f;
  pts_t line = {pt(10, 10), pt(20, 10), pt(20, 10)};  // midpoint (20, 10) for point 0
  one_snake_iteration(line, peaks, 1.0f, 5.0, 1.0, 1, 0.9);
  EXPECT_NEAR(line[0].x(), 10 - 0.9 * 2, 1e-12);
  EXPECT_NEAR(line[0].y(), 10.0, 1e-12);
}

TEST(SnakeStep, MovesAreBoundedAndIndependentOfVisitingOrder)
{
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> coord(-20.0, 80.0);
  std::uniform_real_distribution<float> val(0.0f, 7.0f);
  vimt_image_2d_of<float> cost(60, 60);
  float maxv = 0;
  for (unsigned j = 0; j < 60; ++j)
    for (unsigned i = 0; i < 60; ++i) maxv = std::max(maxv, cost.image()(i, j) = val(rng));

  for (int trial = 0; trial < 20; ++trial) {
    const std::size_t n = 3 + trial;
    pts_t start;
    for (std::size_t i = 0; i < n; ++i) start.push_back(pt(coord(rng), coord(rng)));
    const double w = trial / 19.0;
    pts_t pts = start;
    one_snake_iteration(pts, cost, maxv, 5.0, w, 1, 0.9);
    for (std::size_t i = 0; i < n; ++i)
      EXPECT_LE((pts[i] - start[i]).length(), 5.0625 + 1e-12);

    // Starting the list at another point only rotates the result.
    const std::size_t r = trial % n + 1;
    pts_t rotated;
    for (std::size_t i = 0; i < n; ++i) rotated.push_back(start[(i + r) % n]);
    one_snake_iteration(rotated, cost, maxv, 5.0, w, 1, 0.9);
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(rotated[i], pts[(i + r) % n]);
  }

  // Far from the midpoint with w = 0 the bound is reached exactly.
  pts_t far = {pt(0, 0), pt(100, 50), pt(100, -50)};
  one_snake_iteration(far, cost, maxv, 5.0, 0.0, 1, 0.9);
  EXPECT_NEAR(far[0].x(), 5.0625, 1e-12);
  EXPECT_NEAR(far[0].y(), 0.0, 1e-12);
}

TEST(SnakeStep, NeighbourOffset)
{
  const vimt_image_2d_of<float> zeros = zero_image(10, 10);
  const pts_t start = {pt(0, 0), pt(3, 1), pt(6, 0), pt(6, 6), pt(2, 7)};
  pts_t d1 = start, d6 = start, dm4 = start, d2 = start, dm2 = start;
  one_snake_iteration(d1, zeros, 1.0f, 5.0, 0.0, 1, 0.9);
  one_snake_iteration(d6, zeros, 1.0f, 5.0, 0.0, 6, 0.9);
  one_snake_iteration(dm4, zeros, 1.0f, 5.0, 0.0, -4, 0.9);
  one_snake_iteration(d2, zeros, 1.0f, 5.0, 0.0, 2, 0.9);
  one_snake_iteration(dm2, zeros, 1.0f, 5.0, 0.0, -2, 0.9);
  EXPECT_EQ(d6, d1);
  EXPECT_EQ(dm4, d1);
  EXPECT_EQ(dm2, d2);
  EXPECT_NE(d2, d1);
  // With d = 2 the neighbours of point 0 are points 2 and 3: midpoint (6, 3).
  const pt m(6, 3);
  const double before = (m - start[0]).length(), after = (m - d2[0]).length();
  EXPECT_NEAR(before - after, 0.9 * 5.625, 1e-12);
}

// ---------------------------------------------------------------- resampling

TEST(ResampleCurve, SquareOfSeventeenPoints)
{
  const pts_t square = {pt(0, 0), pt(20, 0), pt(20, 20), pt(0, 20)};
  pts_t out = {pt(99, 99)};  // replaced, not appended to
  resample_curve(out, square, 5.0, 50);
  expect_points(out, {pt(0, 0), pt(0, 0), pt(5, 0), pt(10, 0), pt(15, 0), pt(20, 0), pt(20, 5),
                      pt(20, 10), pt(20, 15), pt(20, 20), pt(15, 20), pt(10, 20), pt(5, 20),
                      pt(0, 20), pt(0, 15), pt(0, 10), pt(0, 5)});

  // A vertex 3 after the last kept one is dropped and the edge to the next
  // vertex divided as a whole: the same output.
  pts_t out2;
  resample_curve(out2, {pt(0, 0), pt(3, 0), pt(20, 0), pt(20, 20), pt(0, 20)}, 5.0, 50);
  EXPECT_EQ(out2, out);

  // The output may be the input list itself.
  pts_t same = square;
  resample_curve(same, same, 5.0, 50);
  EXPECT_EQ(same, out);
}

TEST(ResampleCurve, EdgesRoundHalvesUp)
{
  pts_t out;
  resample_curve(out, {pt(0, 0), pt(7.4, 0)}, 5.0, 50);
  expect_points(out, {pt(0, 0), pt(0, 0), pt(7.4, 0)});
  resample_curve(out, {pt(0, 0), pt(7.5, 0)}, 5.0, 50);
  expect_points(out, {pt(0, 0), pt(0, 0), pt(3.75, 0), pt(7.5, 0), pt(3.75, 0)});

  // Lengths are measured from the last kept point: (3, 0) is dropped, and
  // (6, 0), 6 from (0, 0), is kept although only 3 from the dropped one.
  resample_curve(out, {pt(0, 0), pt(3, 0), pt(6, 0), pt(6, 6)}, 5.0, 50);
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(out[2], pt(6, 0));
}

TEST(ResampleCurve, CapOnTheNumberOfSegments)
{
  // Perimeter 1000: 200 segments of 5 exceed the cap of 50, so the spacing
  // becomes 20; each side of 250 takes round(12.5) = 13 of them.
  const pts_t big = {pt(0, 0), pt(250, 0), pt(250, 250), pt(0, 250)};
  pts_t out;
  resample_curve(out, big, 5.0, 50);
  ASSERT_EQ(out.size(), 4u * 13 + 1);
  EXPECT_NEAR((out[2] - out[1]).length(), 250.0 / 13, 1e-9);

  // Perimeter 248: 49.6 rounds to 50 = the cap, so the spacing stays 5 and
  // each side of 62 takes round(12.4) = 12 (a spacing of 4.96 would give 13).
  const pts_t at_cap = {pt(0, 0), pt(62, 0), pt(62, 62), pt(0, 62)};
  resample_curve(out, at_cap, 5.0, 50);
  EXPECT_EQ(out.size(), 4u * 12 + 1);
  // Perimeter 253: 50.6 rounds to 51 and caps, spacing 5.06: sides of 64 take
  // 13 and sides of 62.5 take 12 (at spacing 5 they would take 13 each).
  resample_curve(out, {pt(0, 0), pt(64, 0), pt(64, 62.5), pt(0, 62.5)}, 5.0, 50);
  EXPECT_EQ(out.size(), 2u * 13 + 2u * 12 + 1);
}

TEST(ResampleCurve, DegenerateInputs)
{
  pts_t out = {pt(1, 1)};
  resample_curve(out, {}, 5.0, 50);
  EXPECT_TRUE(out.empty());

  // Three clicks on one spot, or all within 0.75 spacing: the head point only.
  resample_curve(out, {pt(4, 4), pt(4, 4), pt(4, 4)}, 5.0, 50);
  expect_points(out, {pt(4, 4)}, 0.0);
  resample_curve(out, {pt(4, 4), pt(6, 5), pt(5, 7)}, 5.0, 50);
  expect_points(out, {pt(4, 4)}, 0.0);

  // A cap of no segments at all keeps only the head point (and divides by nothing).
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_DIVBYZERO);
  resample_curve(out, {pt(0, 0), pt(20, 0), pt(20, 20)}, 5.0, 0);
  fedisableexcept(FE_DIVBYZERO);
  expect_points(out, {pt(0, 0)}, 0.0);

  // Absurd coordinates never ask for unbounded memory.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  resample_curve(out, {pt(0, 0), pt(1e300, 0), pt(nan, 0)}, 5.0, 50);
  EXPECT_LE(out.size(), 3u * 50 + 1);
  resample_curve(out, {pt(-1e308, 0), pt(1e308, 0), pt(0, 1e308)}, 5.0, 50);
  EXPECT_LE(out.size(), 3u * 50 + 1);
}

TEST(ResampleCurveDeathTest, SpacingMustBePositive)
{
  pts_t out;
  EXPECT_DEATH(resample_curve(out, {pt(0, 0), pt(9, 0)}, 0.0, 50), "spacing");
  const vimt_image_2d_of<float> zeros = zero_image(4, 4);
  pts_t pts = {pt(0, 0), pt(9, 0), pt(9, 9)};
  EXPECT_DEATH(one_snake_iteration(pts, zeros, 1.0f, -1.0, 0.5, 1, 0.9), "spacing");
}

TEST(SnakeStep, PressurePushesAlongTheOutwardNormalEitherWayRound)
{
  // On a cost image of ones the external term is the same everywhere.  A
  // regular 16-gon of radius 20: the pull to the neighbours' midpoint is
  // 0.1 a world unit, so a pressure of 1 carries every point outwards and
  // -1 inwards by the search's reach; either way round the curve.
  vimt_image_2d_of<float> ones(100, 100);
  ones.image().fill(1.0f);
  const double reach = 0.9 * 5.625;
  // {pressure, radius after the step}
  for (const auto& [pressure, radius] : {std::pair{1.0, 20 + reach}, {-1.0, 20 - reach}, {0.0, 20 - 0.9 * 1.5}})
    for (double turn : {1, -1}) {
      SCOPED_TRACE(testing::Message() << pressure << (turn < 0 ? " clockwise" : ""));
      pts_t pts;
      for (int k = 0; k < 16; ++k) pts.emplace_back(50 + 20 * std::cos(turn * k * M_PI / 8), 50 + 20 * std::sin(turn * k * M_PI / 8));
      one_snake_iteration(pts, ones, 1.0f, 5.0, 0.5, 1, 0.9, pressure);
      for (const pt& p : pts) EXPECT_NEAR((p - pt(50, 50)).length(), radius, 1e-9);
    }

  // A point on its neighbours' midpoint has no line to search but the
  // normal; a curve enclosing nothing feels no pressure.
  pts_t square = {pt(40, 40), pt(50, 40), pt(60, 40), pt(60, 50), pt(60, 60), pt(50, 60), pt(40, 60), pt(40, 50)};
  one_snake_iteration(square, ones, 1.0f, 5.0, 0.5, 1, 0.9, 1.0);
  EXPECT_NEAR(square[1].x(), 50, 1e-12);
  EXPECT_NEAR(square[1].y(), 40 - reach, 1e-12);
  pts_t line = {pt(10, 10), pt(20, 10), pt(30, 10)}, still = line;
  one_snake_iteration(line, ones, 1.0f, 5.0, 0.5, 1, 0.9, 1.0);
  one_snake_iteration(still, ones, 1.0f, 5.0, 0.5, 1, 0.9, 0.0);
  EXPECT_EQ(line, still);
}

// ---------------------------------------------------------------- a whole run

TEST(SnakeRun, TriangleConvergesOnTheDiscOfTheStartImage)
{
  // The start image: a bright rectangle and a bright disc on a dark ground.
  float max_cost = 0;
  const vimt_image_2d_of<float> cost = start_image_cost(max_cost);
  ASSERT_GT(max_cost, 0.0f);

  // Ten passes of resampling and ten steps, as "Run Snake" does; a
  // snake_run takes the same units one at a time, bit for bit.
  pts_t pts = {pt(170, 70), pt(230, 160), pt(120, 170)};
  snake_run run(pts, cost, max_cost, snake_run_settings());
  EXPECT_EQ(run.pass(), -1);
  for (int pass = 0; pass < 10; ++pass) {
    for (int step = 0; step <= 10; ++step) {
      if (step == 0)
        resample_curve(pts, pts, 5.0, 50);
      else
        one_snake_iteration(pts, cost, max_cost, 5.0, 0.5, 1, 0.9);
      ASSERT_FALSE(run.done());
      run.advance();
      ASSERT_EQ(run.pass(), pass);
      ASSERT_EQ(run.step(), step);
      ASSERT_EQ(run.points(), pts) << "pass " << pass << " step " << step;
    }
  }
  EXPECT_TRUE(run.done());
  run.advance();
  EXPECT_EQ(run.points(), pts);

  ASSERT_GE(pts.size(), 20u);
  double sum = 0;
  for (const pt& p : pts) {
    const double off = std::abs((p - pt(170, 125)).length() - 40.0);
    EXPECT_LT(off, 2.5) << p;
    sum += off;
  }
  EXPECT_LT(sum / pts.size(), 1.5);
}

TEST(SnakeRun, RunsOnTheStartImageKeepTheirPointsBitForBit)
{
  // Hashes of the final points as the step gave them before it had a
  // pressure: the default weight from around the disc, a weak one from
  // around the rectangle, and a strong one from across both.
  const struct
  {
    double weight;
    pts_t start;
    std::uint64_t hash;
  } rows[] = {
      {0.5, {pt(170, 70), pt(230, 160), pt(120, 170)}, 13138882298132295481ull},
      {0.2, {pt(40, 70), pt(120, 70), pt(120, 170), pt(40, 170)}, 3546959423432228070ull},
      {0.9, {pt(30, 60), pt(220, 60), pt(220, 190), pt(30, 190)}, 11273062926450069049ull},
  };
  float max_cost = 0;
  const vimt_image_2d_of<float> cost = start_image_cost(max_cost);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.weight);
    snake_run_settings s;
    s.weight = row.weight;
    pts_t pts = row.start;
    run_snake(pts, cost, max_cost, s, nullptr);
    EXPECT_EQ(points_hash(pts), row.hash) << pts.size() << " points";
  }
}

// The image functions of the cost pipeline, on hand-computed cases.
#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <gtest/gtest.h>
#include <hwy/targets.h>
#include <vil/algo/vil_exp_filter_1d.h>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/algo/vil_histogram_equalise.h>
#include <vil/algo/vil_smooth_gradient_rms.h>
#include <vil/algo/vil_sobel_3x3.h>
#include <vil/vil_convert.h>
#include <vil/vil_fill.h>
#include <vil/vil_load_support.h>
#include <vil/vil_math.h>

namespace
{
vil_image_view<vxl_byte> random_bytes(unsigned ni, unsigned nj, unsigned np, unsigned seed)
{
  std::mt19937 gen(seed);
  vil_image_view<vxl_byte> im(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) im(i, j, p) = vxl_byte(gen() & 255);
  return im;
}

// The filter straight from its definition, for comparison.
double exp_sum(const std::vector<double>& in, int x, double k)
{
  double s = 0;
  for (int y = 0; y < int(in.size()); ++y) s += std::pow(k, std::abs(x - y)) * in[y];
  return (1 - k) / (1 + k) * s;
}

// Runs check under each instruction set this build has code for and the
// processor runs, then leaves the choice to the processor again.
template <class F>
void on_every_target(F check)
{
  for (int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    check();
  }
  hwy::SetSupportedTargetsForTest(0);
}

// Same pixel values, bit for bit.
template <class T>
bool identical(const vil_image_view<T>& a, const vil_image_view<T>& b)
{
  if (a.ni() != b.ni() || a.nj() != b.nj() || a.nplanes() != b.nplanes()) return false;
  for (unsigned p = 0; p < a.nplanes(); ++p)
    for (unsigned j = 0; j < a.nj(); ++j)
      for (unsigned i = 0; i < a.ni(); ++i)
        if (!(a(i, j, p) == b(i, j, p))) return false;
  return true;
}
}  // namespace

TEST(VilSobel, SingleBrightPixel)
{
  vil_image_view<vxl_byte> im(5, 5);
  im.fill(0);
  im(2, 2) = 80;
  vil_image_view<float> g;
  vil_sobel_3x3(im, g);
  ASSERT_EQ(g.nplanes(), 2u);
  ASSERT_EQ(g.ni(), 5u);
  // The bright pixel is s(i+1, j) of (1, 2): weight 2/8; s(i-1, j) of (3, 2).
  EXPECT_FLOAT_EQ(g(1, 2, 0), 20.0f);
  EXPECT_FLOAT_EQ(g(3, 2, 0), -20.0f);
  EXPECT_FLOAT_EQ(g(1, 1, 0), 10.0f);   // diagonal, weight 1/8
  EXPECT_FLOAT_EQ(g(3, 3, 0), -10.0f);
  EXPECT_FLOAT_EQ(g(2, 2, 0), 0.0f);
  EXPECT_FLOAT_EQ(g(2, 1, 0), 0.0f);    // straight above: no i gradient
  EXPECT_FLOAT_EQ(g(2, 1, 1), 20.0f);   // j gradient, pixel below is brighter
  EXPECT_FLOAT_EQ(g(2, 3, 1), -20.0f);
  EXPECT_FLOAT_EQ(g(1, 1, 1), 10.0f);
  EXPECT_FLOAT_EQ(g(1, 2, 1), 0.0f);
  // The outermost ring is 0 although the kernel would reach the pixel.
  vil_image_view<vxl_byte> edge(4, 4);
  edge.fill(0);
  edge(1, 1) = 80;
  vil_sobel_3x3(edge, g);
  for (unsigned k = 0; k < 4; ++k)
    for (unsigned p = 0; p < 2; ++p) {
      EXPECT_EQ(g(k, 0, p), 0.0f);
      EXPECT_EQ(g(0, k, p), 0.0f);
      EXPECT_EQ(g(k, 3, p), 0.0f);
      EXPECT_EQ(g(3, k, p), 0.0f);
    }
  EXPECT_FLOAT_EQ(g(2, 1, 0), -20.0f);
}

TEST(VilSobel, StepEdgeConstantAndThinImages)
{
  vil_image_view<vxl_byte> im(6, 4);
  for (unsigned j = 0; j < 4; ++j)
    for (unsigned i = 0; i < 6; ++i) im(i, j) = i >= 3 ? 100 : 0;
  vil_image_view<float> g;
  vil_sobel_3x3(im, g);
  for (unsigned j = 1; j < 3; ++j) {
    EXPECT_FLOAT_EQ(g(1, j, 0), 0.0f);
    EXPECT_FLOAT_EQ(g(2, j, 0), 50.0f);  // (100 + 200 + 100) / 8
    EXPECT_FLOAT_EQ(g(3, j, 0), 50.0f);
    EXPECT_FLOAT_EQ(g(4, j, 0), 0.0f);
    for (unsigned i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(g(i, j, 1), 0.0f);
  }
  im.fill(77);
  vil_sobel_3x3(im, g);
  for (unsigned j = 0; j < 4; ++j)
    for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(g(i, j, 0) + g(i, j, 1), 0.0f);
  for (auto size : {std::make_pair(1u, 7u), std::make_pair(7u, 1u), std::make_pair(2u, 2u)}) {
    vil_image_view<vxl_byte> thin = random_bytes(size.first, size.second, 1, 3);
    vil_sobel_3x3(thin, g);
    ASSERT_EQ(g.ni(), size.first);
    ASSERT_EQ(g.nj(), size.second);
    for (unsigned j = 0; j < g.nj(); ++j)
      for (unsigned i = 0; i < g.ni(); ++i) EXPECT_EQ(g(i, j, 0) + g(i, j, 1), 0.0f);
  }
}

TEST(VilSobel, PlanesOfColourImageAndSeparateOutputs)
{
  vil_image_view<vxl_byte> im(5, 5, 3);
  im.fill(0);
  im(2, 2, 1) = 80;  // bright in the middle plane only
  vil_image_view<float> g;
  vil_sobel_3x3(im, g);
  ASSERT_EQ(g.nplanes(), 6u);
  EXPECT_FLOAT_EQ(g(1, 2, 2), 20.0f);
  EXPECT_FLOAT_EQ(g(2, 1, 3), 20.0f);
  for (unsigned p : {0u, 1u, 4u, 5u}) EXPECT_EQ(g(1, 2, p), 0.0f);
  vil_image_view<float> gi, gj;
  vil_sobel_3x3(im, gi, gj);
  ASSERT_EQ(gi.nplanes(), 3u);
  EXPECT_FLOAT_EQ(gi(1, 2, 1), 20.0f);
  EXPECT_FLOAT_EQ(gj(2, 3, 1), -20.0f);
}

TEST(VilMath, RmsOverPlanes)
{
  vil_image_view<float> two(2, 1, 2);
  two(0, 0, 0) = 3;
  two(0, 0, 1) = 4;
  two(1, 0, 0) = -6;
  two(1, 0, 1) = 8;
  vil_image_view<float> r;
  vil_math_rms(two, r);
  ASSERT_EQ(r.nplanes(), 1u);
  EXPECT_FLOAT_EQ(r(0, 0), std::sqrt(12.5f));  // sqrt((9 + 16) / 2), not 5
  EXPECT_FLOAT_EQ(r(1, 0), std::sqrt(50.0f));
  vil_image_view<float> four(1, 1, 4);
  four(0, 0, 0) = 1;
  four(0, 0, 1) = 2;
  four(0, 0, 2) = 3;
  four(0, 0, 3) = 4;
  vil_math_rms(four, r);
  EXPECT_FLOAT_EQ(r(0, 0), std::sqrt(30.0f / 4));
  vil_image_view<vxl_byte> one(3, 1);
  one.fill(9);
  vil_image_view<double> rd;
  vil_math_rms(one, rd);
  EXPECT_DOUBLE_EQ(rd(2, 0), 9.0);
}

TEST(VilMath, ValueRange)
{
  vil_image_view<float> im(3, 2, 2);
  im.fill(1.5f);
  im(2, 1, 1) = -4;
  im(0, 1, 0) = 9;
  float lo, hi;
  vil_math_value_range(im, lo, hi);
  EXPECT_EQ(lo, -4.0f);
  EXPECT_EQ(hi, 9.0f);
  im(0, 0, 0) = std::numeric_limits<float>::quiet_NaN();  // first pixel
  vil_math_value_range(im, lo, hi);
  EXPECT_EQ(lo, -4.0f);
  EXPECT_EQ(hi, 9.0f);
  vil_image_view<float> empty;
  lo = hi = 3;
  vil_math_value_range(empty, lo, hi);
  EXPECT_EQ(lo, 0.0f);
  EXPECT_EQ(hi, 0.0f);
  vil_image_view<vxl_byte> b(4, 1);
  b.fill(200);
  b(3, 0) = 7;
  vxl_byte blo, bhi;
  vil_math_value_range(b, blo, bhi);
  EXPECT_EQ(blo, 7);
  EXPECT_EQ(bhi, 200);
}

TEST(VilGradientRms, SameAsSobelThenRms)
{
  on_every_target([] {
    struct Case { unsigned ni, nj, np; };
    // Widths of 70 run whole vectors and a tail, with and without a division
    // by the plane count (2 and 4 planes divide by a power of two).
    for (Case c : {Case{37, 23, 1}, Case{16, 9, 3}, Case{11, 13, 4}, Case{1, 9, 1}, Case{9, 1, 3},
                   Case{3, 3, 2}, Case{2, 5, 1}, Case{70, 6, 1}, Case{70, 6, 2}, Case{70, 6, 3},
                   Case{70, 6, 4}}) {
      const vil_image_view<vxl_byte> im = random_bytes(c.ni, c.nj, c.np, c.ni * 100 + c.np);
      vil_image_view<float> g, expected, fused;
      vil_sobel_3x3(im, g);
      vil_math_rms(g, expected);
      vil_gradient_rms_3x3(im, fused);
      EXPECT_TRUE(identical(expected, fused)) << c.ni << 'x' << c.nj << 'x' << c.np;
    }
    // Interleaved planes (adjacent, as many readers give them), narrower and
    // wider than a vector's split, with a tail.
    vil_image_view<float> a, b;
    for (unsigned np = 2; np <= 4; ++np)
      for (unsigned ni : {12u, 37u, 150u}) {
        const vil_image_view<vxl_byte> planar = random_bytes(ni, 10, np, 5 + np);
        vil_image_view<vxl_byte> inter = vil_load_interleaved_view<vxl_byte>(ni, 10, np);
        for (unsigned p = 0; p < np; ++p)
          for (unsigned j = 0; j < 10; ++j)
            for (unsigned i = 0; i < ni; ++i) inter(i, j, p) = planar(i, j, p);
        vil_gradient_rms_3x3(planar, a);
        vil_gradient_rms_3x3(inter, b);
        EXPECT_TRUE(identical(a, b)) << ni << " x 10 x " << np;
      }
    // The largest responses: stripes of 0 and 255 both ways.
    vil_image_view<vxl_byte> stripes(70, 8, 3);
    for (unsigned p = 0; p < 3; ++p)
      for (unsigned j = 0; j < 8; ++j)
        for (unsigned i = 0; i < 70; ++i) stripes(i, j, p) = ((i / 2 + j / 2 + p) % 2) ? 255 : 0;
    vil_image_view<float> gs;
    vil_sobel_3x3(stripes, gs);
    vil_math_rms(gs, a);
    vil_gradient_rms_3x3(stripes, b);
    EXPECT_TRUE(identical(a, b));
    // A known value: the step edge gives gi = 50, gj = 0.
    vil_image_view<vxl_byte> step(6, 4);
    for (unsigned j = 0; j < 4; ++j)
      for (unsigned i = 0; i < 6; ++i) step(i, j) = i >= 3 ? 100 : 0;
    vil_gradient_rms_3x3(step, a);
    EXPECT_FLOAT_EQ(a(2, 1), std::sqrt(2500.0f / 2));
    EXPECT_EQ(a(0, 1), 0.0f);
  });
}

TEST(VilExpFilter1d, MatchesTheSumCutOffAtTheEnds)
{
  const double k = 0.75, norm = (1 - k) / (1 + k);
  // A single bright sample: the kernel itself.
  std::vector<float> line(9, 0.0f);
  line[3] = 1.0f;
  std::vector<float> out(9);
  vil_exp_filter_1d(line.data(), 1, out.data(), 1, 9, k);
  for (int x = 0; x < 9; ++x) EXPECT_NEAR(out[x], norm * std::pow(k, std::abs(x - 3)), 1e-7);
  // A constant line: near 1 in the middle of a long line, less at the ends
  // because samples outside count 0 and nothing is renormalised.
  std::vector<float> ones(200, 1.0f), out2(200);
  vil_exp_filter_1d(ones.data(), 1, out2.data(), 1, 200, k);
  EXPECT_NEAR(out2[100], 1.0, 1e-6);
  EXPECT_NEAR(out2[0], norm / (1 - k), 1e-6);  // only the samples after
  EXPECT_LT(out2[0], 0.6f);
  // Random data against the definition, with a stride and in place.
  std::mt19937 gen(7);
  std::vector<double> in(31), buf(62);
  for (int x = 0; x < 31; ++x) buf[2 * x] = in[x] = double(gen() % 1000) / 7.0;
  vil_exp_filter_1d(buf.data(), 2, buf.data(), 2, 31, 0.9);
  for (int x = 0; x < 31; ++x) EXPECT_NEAR(buf[2 * x], exp_sum(in, x, 0.9), 1e-9);
  // k = 0 is the identity; one sample gives norm * itself.
  std::vector<float> id = {1, 5, 2}, id_out(3);
  vil_exp_filter_1d(id.data(), 1, id_out.data(), 1, 3, 0.0);
  EXPECT_EQ(id_out, id);
  float single = 8, single_out = 0;
  vil_exp_filter_1d(&single, 1, &single_out, 1, 1, 0.5);
  EXPECT_FLOAT_EQ(single_out, 8 * (0.5 / 1.5));
}

TEST(VilExpFilter1d, ImageFiltersEveryRowOfEveryPlane)
{
  vil_image_view<float> im(7, 2, 3);
  im.fill(0);
  im(2, 1, 2) = 4;
  vil_image_view<float> out;
  vil_exp_filter_1d(im, out, 0.5);
  ASSERT_EQ(out.nplanes(), 3u);
  const double norm = 0.5 / 1.5;
  EXPECT_NEAR(out(2, 1, 2), 4 * norm, 1e-6);
  EXPECT_NEAR(out(5, 1, 2), 4 * norm * 0.125, 1e-6);
  EXPECT_EQ(out(2, 0, 2), 0.0f);
  EXPECT_EQ(out(2, 1, 1), 0.0f);
}

TEST(VilExpFilter2d, SeparableKernelAndEdges)
{
  const double ki = 0.6, kj = 0.8;
  const double ni_ = (1 - ki) / (1 + ki), nj_ = (1 - kj) / (1 + kj);
  // Bright pixel: the product of the two 1-D kernels, also across the
  // row blocks of the row pass (19 rows: two blocks of 8 and 3 single).
  vil_image_view<float> im(13, 19);
  im.fill(0);
  im(5, 9) = 1000;
  vil_image_view<float> out;
  vil_exp_filter_2d(im, out, ki, kj);
  for (unsigned j = 0; j < 19; ++j)
    for (unsigned i = 0; i < 13; ++i)
      ASSERT_NEAR(out(i, j), 1000 * ni_ * nj_ * std::pow(ki, std::abs(int(i) - 5)) *
                                 std::pow(kj, std::abs(int(j) - 9)),
                  1e-3)
          << i << ',' << j;
  // Random data against the definition, rows then columns.
  std::mt19937 gen(11);
  const unsigned n_i = 17, n_j = 10;
  vil_image_view<float> r(n_i, n_j, 3);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < n_j; ++j)
      for (unsigned i = 0; i < n_i; ++i) r(i, j, p) = float(gen() % 256);
  vil_exp_filter_2d(r, out, ki, kj);
  for (unsigned p = 0; p < 3; ++p) {
    std::vector<std::vector<double>> rows(n_j);
    for (unsigned j = 0; j < n_j; ++j) {
      std::vector<double> line(n_i);
      for (unsigned i = 0; i < n_i; ++i) line[i] = r(i, j, p);
      for (unsigned i = 0; i < n_i; ++i) rows[j].push_back(exp_sum(line, int(i), ki));
    }
    for (unsigned i = 0; i < n_i; ++i) {
      std::vector<double> col(n_j);
      for (unsigned j = 0; j < n_j; ++j) col[j] = rows[j][i];
      for (unsigned j = 0; j < n_j; ++j)
        EXPECT_NEAR(out(i, j, p), exp_sum(col, int(j), kj), 1e-3);
    }
  }
  // The generic path (double) agrees with the float one.
  vil_image_view<double> rd(n_i, n_j, 3), outd;
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < n_j; ++j)
      for (unsigned i = 0; i < n_i; ++i) rd(i, j, p) = r(i, j, p);
  vil_exp_filter_2d(rd, outd, ki, kj);
  EXPECT_NEAR(outd(4, 4, 1), out(4, 4, 1), 1e-3);
  // In place gives what a separate destination gives.
  vil_image_view<float> same = vil_copy_deep(r);
  vil_exp_filter_2d(same, same, ki, kj);
  EXPECT_TRUE(identical(same, out));
}

// The float path's row blocks (16 rows with AVX, 8 with SSE2, single rows
// for the rest, 4-column steps and a column tail) against the generic code.
TEST(VilExpFilter2d, FastPathsAgreeWithGenericCode)
{
  std::mt19937 gen(5);
  const unsigned ni = 43, nj = 37;
  vil_image_view<float> im(ni, nj, 2);
  vil_image_view<double> imd(ni, nj, 2);
  for (unsigned p = 0; p < 2; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) imd(i, j, p) = im(i, j, p) = float(gen() % 1000) / 3.0f;
  vil_image_view<double> expected;
  vil_exp_filter_2d(imd, expected, 0.9, 0.7);
  vil_image_view<float> first;
  on_every_target([&] {
    vil_image_view<float> out;
    vil_exp_filter_2d(im, out, 0.9, 0.7);
    for (unsigned p = 0; p < 2; ++p)
      for (unsigned j = 0; j < nj; ++j)
        for (unsigned i = 0; i < ni; ++i)
          ASSERT_NEAR(out(i, j, p), expected(i, j, p), 1e-4 * (1 + expected(i, j, p)))
              << i << ',' << j << ',' << p;
    if (!first.size()) first = out;
    EXPECT_TRUE(identical(out, first));
  });
}

// A plane past the size where the forward sweep streams its stores, with a
// width that leaves rows on every alignment.
TEST(VilExpFilter2d, LargePlaneAgreesWithGenericCode)
{
  const unsigned ni = 2101, nj = 2050;
  vil_image_view<float> im(ni, nj);
  vil_image_view<double> imd(ni, nj);
  std::mt19937 gen(9);
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i) imd(i, j) = im(i, j) = float(gen() % 200);
  vil_image_view<float> out;
  vil_image_view<double> expected;
  vil_exp_filter_2d(im, out, 0.8, 0.8);
  vil_exp_filter_2d(imd, expected, 0.8, 0.8);
  double worst = 0;
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      worst = std::max(worst, std::abs(out(i, j) - expected(i, j)));
  EXPECT_LT(worst, 1e-3);
}

// Far along a flat line the sums fall below the smallest normal float;
// they come out as 0, and the caller's floating-point mode is left as it was.
TEST(VilExpFilter2d, FlushesSubnormalsAndRestoresTheMode)
{
  vil_image_view<float> line(340, 1);
  line.fill(0);
  line(0, 0) = 1;
  vil_image_view<float> out;
  std::fesetround(FE_UPWARD);
  vil_exp_filter_2d(line, out, 0.75, 0.75);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
  volatile float tiny = 1e-38f;
  EXPECT_GT(tiny / 4, 0.0f);     // subnormal results are back
  EXPECT_GT(out(290, 0), 0.0f);  // 0.75^290 is still a normal float
  EXPECT_EQ(out(339, 0), 0.0f);  // 0.75^339 would be subnormal
}

TEST(VilExpFilter2d, ThinImagesAndConstantImage)
{
  const double k = 0.75, norm = (1 - k) / (1 + k);
  vil_image_view<float> wide(1, 5);  // one column: the i filter sees one sample
  wide.fill(0);
  wide(0, 2) = 1;
  vil_image_view<float> out;
  vil_exp_filter_2d(wide, out, k, k);
  EXPECT_NEAR(out(0, 2), norm * norm, 1e-7);
  EXPECT_NEAR(out(0, 4), norm * norm * k * k, 1e-7);
  vil_image_view<float> high(5, 1);
  high.fill(0);
  high(1, 0) = 1;
  vil_exp_filter_2d(high, out, k, k);
  EXPECT_NEAR(out(1, 0), norm * norm, 1e-7);
  EXPECT_NEAR(out(4, 0), norm * norm * k * k * k, 1e-7);
  vil_image_view<float> flat(300, 300);
  flat.fill(2);
  vil_exp_filter_2d(flat, out, 0.5, 0.5);
  EXPECT_NEAR(out(150, 150), 2.0, 1e-5);
  const double edge = (0.5 / 1.5) / (1 - 0.5);  // one side only: 2/3
  EXPECT_NEAR(out(0, 0), 2.0 * edge * edge, 1e-5);
  // Byte results round once, at the end.
  vil_image_view<vxl_byte> b(40, 40), bout;
  b.fill(200);
  vil_exp_filter_2d(b, bout, 0.5, 0.5);
  EXPECT_EQ(bout(20, 20), 199);  // 199.99..., truncated
  EXPECT_EQ(bout(0, 20), 133);   // 200 * 2/3
}

namespace
{
// The cost pipeline as separate calls: gradient, both filters, range.
void smooth_by_calls(const vil_image_view<vxl_byte>& im, double k, vil_image_view<float>& out,
                     float& lo, float& hi)
{
  vil_image_view<float> g, once;
  vil_gradient_rms_3x3(im, g);
  vil_exp_filter_2d<float, float, double>(g, once, k, k);
  vil_exp_filter_2d<float, float, double>(once, out, k, k);
  vil_math_value_range(out, lo, hi);
}

// Every pixel within tol of the expected value, relative to the largest.
::testing::AssertionResult close_to(const vil_image_view<float>& a, const vil_image_view<float>& b,
                                    double tol)
{
  if (a.ni() != b.ni() || a.nj() != b.nj() || a.nplanes() != b.nplanes())
    return ::testing::AssertionFailure() << "sizes differ";
  float lo, hi;
  vil_math_value_range(b, lo, hi);
  const double scale = std::max(std::abs(double(lo)), std::abs(double(hi)));
  for (unsigned j = 0; j < a.nj(); ++j)
    for (unsigned i = 0; i < a.ni(); ++i)
      if (!(std::abs(double(a(i, j)) - b(i, j)) <= tol * scale))
        return ::testing::AssertionFailure()
               << "at " << i << ',' << j << ": " << a(i, j) << " against " << b(i, j);
  return ::testing::AssertionSuccess();
}

// With k >= 0 every sum is of positive terms: each pixel agrees to a few
// float roundings of its own size, not just of the image's largest.
::testing::AssertionResult relatively_close(const vil_image_view<float>& a,
                                            const vil_image_view<float>& b)
{
  for (unsigned j = 0; j < a.nj(); ++j)
    for (unsigned i = 0; i < a.ni(); ++i)
      if (!(std::abs(double(a(i, j)) - b(i, j)) <= 1e-6 * b(i, j)))
        return ::testing::AssertionFailure()
               << "at " << i << ',' << j << ": " << a(i, j) << " against " << b(i, j);
  return ::testing::AssertionSuccess();
}

vil_image_view<vxl_byte> interleaved_copy(const vil_image_view<vxl_byte>& im)
{
  vil_image_view<vxl_byte> out = vil_load_interleaved_view<vxl_byte>(im.ni(), im.nj(), im.nplanes());
  for (unsigned p = 0; p < im.nplanes(); ++p)
    for (unsigned j = 0; j < im.nj(); ++j)
      for (unsigned i = 0; i < im.ni(); ++i) out(i, j, p) = im(i, j, p);
  return out;
}
}  // namespace

// Sizes around the row blocks (8 and 16 rows, single rows below them),
// widths around the 8-column steps, thin images, a width whose rows get a
// scratch of longer rows, colour planes both planar and interleaved, and
// the slider's range of k, on every instruction set.
TEST(VilSmoothGradientRms, SameAsGradientThenBothFiltersAndRange)
{
  struct Case { unsigned ni, nj, np; double k; };
  on_every_target([] {
    for (Case c : {Case{37, 23, 1, 0.75}, Case{43, 40, 3, 0.9}, Case{64, 16, 1, 0.5},
                   Case{9, 7, 2, 0.75}, Case{100, 33, 4, 0.9975}, Case{1, 9, 1, 0.75},
                   Case{9, 1, 3, 0.75}, Case{2, 2, 1, 0.6}, Case{3, 3, 1, 0.6},
                   Case{50, 17, 1, 0.0}, Case{1024, 40, 1, 0.75}}) {
      SCOPED_TRACE(::testing::Message() << c.ni << 'x' << c.nj << 'x' << c.np << " k=" << c.k);
      const vil_image_view<vxl_byte> im = random_bytes(c.ni, c.nj, c.np, c.ni * 7 + c.nj);
      vil_image_view<float> expected, out, work;
      float elo, ehi, lo = -1, hi = -1;
      smooth_by_calls(im, c.k, expected, elo, ehi);
      vil_smooth_gradient_rms(im, c.k, out, work, lo, hi);
      ASSERT_EQ(out.ni(), c.ni);
      ASSERT_EQ(out.nj(), c.nj);
      ASSERT_EQ(out.nplanes(), 1u);
      EXPECT_TRUE(relatively_close(out, expected));
      float rlo, rhi;
      vil_math_value_range(out, rlo, rhi);
      EXPECT_EQ(lo, rlo);
      EXPECT_EQ(hi, rhi);
      EXPECT_NEAR(hi, ehi, 1e-6 * ehi);
      vil_image_view<float> gradient, from_gradient;
      vil_gradient_rms_3x3(im, gradient);
      vil_smooth_gradient_rms(gradient, c.k, from_gradient, work, lo, hi);
      EXPECT_TRUE(identical(from_gradient, out));
      EXPECT_EQ(hi, rhi);
      if (c.np > 1) {
        vil_image_view<float> inter;
        vil_smooth_gradient_rms(interleaved_copy(im), c.k, inter, work, lo, hi);
        EXPECT_TRUE(identical(inter, out));
      }
    }
  });
}

// An image past the size where the sweeps write past the caches, with a
// width that leaves rows on every alignment; every instruction set gives the
// same bits; and a second call reuses the caller's images.
TEST(VilSmoothGradientRms, LargeImageStreamsAndReusesItsImages)
{
  const unsigned ni = 2101, nj = 2050;
  vil_image_view<vxl_byte> im(ni, nj);
  std::mt19937 gen(11);
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i) im(i, j) = vxl_byte(30 + gen() % 8);
  for (unsigned d = 0; d < 12; ++d)
    vil_fill_disk(im, 150.0 + 160 * d, 100.0 + 170 * d, 60.0, vxl_byte(250));
  vil_image_view<float> expected, out, work;
  float elo, ehi, lo, hi;
  smooth_by_calls(im, 0.8, expected, elo, ehi);
  vil_smooth_gradient_rms(im, 0.8, out, work, lo, hi);
  EXPECT_TRUE(close_to(out, expected, 1e-6));
  EXPECT_NEAR(hi, ehi, 1e-6 * ehi);
  const float* out_mem = out.top_left_ptr();
  const float* work_mem = work.top_left_ptr();
  on_every_target([&] {
    vil_image_view<float> again;
    vil_smooth_gradient_rms(im, 0.8, again, work, lo, hi);
    EXPECT_TRUE(identical(again, out));
  });
  vil_smooth_gradient_rms(im, 0.8, out, work, lo, hi);
  EXPECT_EQ(out.top_left_ptr(), out_mem);
  EXPECT_EQ(work.top_left_ptr(), work_mem);
}

// Column strips of 1, 2 and 3 workers (3 cut them unevenly) give the
// one-worker bits on every instruction set, for the cost and for stretches to
// bytes: rows below the last whole group, a last strip that ends in part of a
// vector, planar and interleaved colour, a scratch of longer rows.
TEST(VilSmoothGradientRms, AnyThreadCountGivesTheSameBits)
{
  struct Case { unsigned ni, nj, np; bool interleaved; };
  on_every_target([] {
    // Images large enough for three workers.
    for (Case c : {Case{2000, 410, 1, false}, Case{901, 870, 3, true}, Case{901, 870, 3, false},
                   Case{610, 1300, 2, true}, Case{1024, 800, 1, false}}) {
      vil_image_view<vxl_byte> im = random_bytes(c.ni, c.nj, c.np, c.ni + c.nj);
      for (unsigned d = 0; d < 6; ++d)
        vil_fill_disk(im, c.ni * (0.1 + 0.15 * d), c.nj * (0.8 - 0.12 * d), c.nj / 5.0, vxl_byte(250));
      if (c.interleaved) im = interleaved_copy(im);
      vil_image_view<float> one, many, grad_one, grad_many, work;
      float lo1, hi1, lo, hi;
      vil_smooth_gradient_rms(im, 0.8, one, work, lo1, hi1, 1);
      vil_gradient_rms_3x3(im, grad_one, 1);
      // The float rows' vector code, and every plane's rows one after another.
      vil_image_view<vxl_byte> shown_one, shown_many, planes_one, planes_many;
      vil_convert_stretch_range_known(grad_one, 2.0f, 300.0f, shown_one, 1);
      vil_convert_stretch_range_known(im, vxl_byte(10), vxl_byte(200), planes_one, 1);
      for (unsigned n : {2u, 3u}) {
        SCOPED_TRACE(::testing::Message() << c.ni << 'x' << c.nj << 'x' << c.np << ", " << n << " threads");
        vil_smooth_gradient_rms(im, 0.8, many, work, lo, hi, n);
        EXPECT_TRUE(identical(one, many));
        EXPECT_EQ(lo, lo1);
        EXPECT_EQ(hi, hi1);
        // Keeping the gradient on the way, then starting from it.
        vil_image_view<float> kept;
        vil_smooth_gradient_rms(im, 0.8, many, work, lo, hi, n, &kept);
        EXPECT_TRUE(identical(one, many));
        EXPECT_TRUE(identical(kept, grad_one));
        vil_smooth_gradient_rms(kept, 0.8, many, work, lo, hi, n);
        EXPECT_TRUE(identical(one, many));
        EXPECT_EQ(hi, hi1);
        vil_gradient_rms_3x3(im, grad_many, n);
        EXPECT_TRUE(identical(grad_one, grad_many));
        vil_convert_stretch_range_known(grad_one, 2.0f, 300.0f, shown_many, n);
        EXPECT_TRUE(identical(shown_one, shown_many));
        vil_convert_stretch_range_known(im, vxl_byte(10), vxl_byte(200), planes_many, n);
        EXPECT_TRUE(identical(planes_one, planes_many));
      }
    }
  });
}

// What a caller may hand it: no pixels, one image as both output and
// scratch, an output that is a plane of an interleaved image, a gradient
// that is the output or such a plane, a negative k.
TEST(VilSmoothGradientRms, EmptySharedAndStridedImages)
{
  vil_image_view<float> out, work;
  float lo = 5, hi = 5;
  vil_smooth_gradient_rms(vil_image_view<vxl_byte>(), 0.75, out, work, lo, hi);
  EXPECT_EQ(out.size(), 0u);
  EXPECT_EQ(lo, 0.0f);
  EXPECT_EQ(hi, 0.0f);

  const vil_image_view<vxl_byte> im = random_bytes(30, 20, 1, 3);
  vil_image_view<float> expected;
  float elo, ehi;
  smooth_by_calls(im, 0.75, expected, elo, ehi);
  vil_image_view<float> both;
  vil_smooth_gradient_rms(im, 0.75, both, both, lo, hi);
  EXPECT_TRUE(relatively_close(both, expected));

  vil_image_view<float> pair = vil_load_interleaved_view<float>(30, 20, 2);
  pair.fill(-1);
  vil_image_view<float> plane(pair.memory_chunk(), pair.top_left_ptr() + 1, 30, 20, 1,
                              pair.istep(), pair.jstep(), 1);
  vil_smooth_gradient_rms(im, 0.75, plane, work, lo, hi);
  EXPECT_TRUE(close_to(plane, expected, 1e-6));
  EXPECT_EQ(pair(0, 0, 0), -1.0f);  // the other plane is untouched
  EXPECT_EQ(hi, ehi);

  // A gradient that is also the output, and one in a plane of an interleaved image.
  vil_image_view<float> gradient, in_pair(plane.memory_chunk(), plane.top_left_ptr(), 30, 20, 1,
                                          plane.istep(), plane.jstep(), 1);
  vil_gradient_rms_3x3(im, gradient);
  for (unsigned j = 0; j < 20; ++j)
    for (unsigned i = 0; i < 30; ++i) in_pair(i, j) = gradient(i, j);
  vil_smooth_gradient_rms(in_pair, 0.75, out, work, lo, hi);
  EXPECT_TRUE(identical(out, both));
  vil_smooth_gradient_rms(gradient, 0.75, gradient, work, lo, hi);
  EXPECT_TRUE(identical(gradient, both));

  smooth_by_calls(im, -0.5, expected, elo, ehi);
  vil_smooth_gradient_rms(im, -0.5, out, work, lo, hi);
  EXPECT_TRUE(close_to(out, expected, 1e-6));
}

TEST(VilConvert, StretchRangeTruncates)
{
  vil_image_view<float> im(4, 1, 2);  // the range spans both planes
  im.fill(1);
  im(1, 0, 0) = 2;
  im(2, 0, 1) = 3.5f;
  im(3, 0, 1) = 5;
  vil_image_view<vxl_byte> out;
  vil_convert_stretch_range(im, out);
  ASSERT_EQ(out.nplanes(), 2u);
  EXPECT_EQ(out(0, 0, 0), 0);
  EXPECT_EQ(out(1, 0, 0), 63);   // 63.75
  EXPECT_EQ(out(2, 0, 1), 159);  // 159.375
  EXPECT_EQ(out(3, 0, 1), 255);
  // hi - lo in float, then 255 / that in double: the brightest pixel of
  // this range comes out as 254.
  vil_image_view<float> tight(2, 1);
  tight(0, 0) = 0.1f;
  tight(1, 0) = 0.3f;
  vil_convert_stretch_range(tight, out);
  EXPECT_EQ(out(0, 0), 0);
  EXPECT_EQ(out(1, 0), 254);
  tight.fill(3);
  vil_convert_stretch_range(tight, out);
  EXPECT_EQ(out(0, 0), 0);
  EXPECT_EQ(out(1, 0), 0);
  // A NaN pixel is skipped by the range and shown black.
  vil_image_view<float> three(3, 1);
  three(0, 0) = 0;
  three(1, 0) = std::numeric_limits<float>::quiet_NaN();
  three(2, 0) = 10;
  vil_convert_stretch_range(three, out);
  EXPECT_EQ(out(0, 0), 0);
  EXPECT_EQ(out(1, 0), 0);
  EXPECT_EQ(out(2, 0), 255);
}

// Rows long enough for the vectorised range and stretch, with the awkward
// values inside the vector lanes.
TEST(VilConvert, WideRowsStretchLikeNarrowOnes)
{
  on_every_target([] {
    vil_image_view<float> im(21, 2);
    for (unsigned j = 0; j < 2; ++j)
      for (unsigned i = 0; i < 21; ++i) im(i, j) = float(i) * 9.0f / 140.0f;  // 0 .. 9/7
    im(5, 1) = std::numeric_limits<float>::quiet_NaN();
    float lo, hi;
    vil_math_value_range(im, lo, hi);
    EXPECT_EQ(lo, 0.0f);
    EXPECT_EQ(hi, 20 * 9.0f / 140.0f);
    vil_image_view<vxl_byte> out;
    vil_convert_stretch_range(im, out);
    EXPECT_EQ(out(20, 0), 254);  // hi itself, as in the narrow case
    EXPECT_EQ(out(10, 0), 127);  // 127.4999...
    EXPECT_EQ(out(5, 1), 0);     // NaN
    EXPECT_EQ(out(0, 1), 0);
    // Every lane agrees with the pixel-at-a-time code, which a 3-pixel image
    // with the same range takes.
    const auto lanes_match_scalar = [](const vil_image_view<float>& wide) {
      float l, h;
      vil_math_value_range(wide, l, h);
      vil_image_view<vxl_byte> w, n;
      vil_convert_stretch_range(wide, w);
      for (unsigned j = 0; j < wide.nj(); ++j)
        for (unsigned i = 0; i < wide.ni(); ++i) {
          vil_image_view<float> narrow(3, 1);
          narrow(0, 0) = l;
          narrow(1, 0) = h;
          narrow(2, 0) = wide(i, j);
          vil_convert_stretch_range(narrow, n);
          if (n(2, 0) != w(i, j)) return false;
        }
      return true;
    };
    EXPECT_TRUE(lanes_match_scalar(im));
    vil_image_view<float> neg(12, 1);
    for (unsigned i = 0; i < 12; ++i) neg(i, 0) = -100.0f + 10.0f * i;
    neg(7, 0) = -1000.0f;
    vil_math_value_range(neg, lo, hi);
    EXPECT_EQ(lo, -1000.0f);
    EXPECT_EQ(hi, 10.0f);
    vil_convert_stretch_range(neg, out);
    EXPECT_EQ(out(7, 0), 0);
    EXPECT_EQ(out(0, 0), 227);  // 900 * 255 / 1010 = 227.2
    EXPECT_TRUE(lanes_match_scalar(neg));
    // Given the range it would find, the known-range form gives the same bytes.
    vil_image_view<vxl_byte> known;
    vil_convert_stretch_range_known(neg, lo, hi, known);
    EXPECT_TRUE(identical(known, out));
  });
}

// Rows long enough for the 16-value steps, with the extremes and NaNs put
// in every lane of them and in the tail, against a plain scan.
TEST(VilMath, ValueRangeOfLongRowsInEveryLane)
{
  on_every_target([] {
    std::mt19937 gen(4);
    for (unsigned pos = 0; pos < 70; pos += 3) {
      vil_image_view<float> im(70, 3);
      for (unsigned j = 0; j < 3; ++j)
        for (unsigned i = 0; i < 70; ++i) im(i, j) = float(gen() % 1000) - 500.0f;
      im(pos, 1) = -9000.0f;
      im(69 - pos, 2) = 7000.0f;
      im((pos * 7) % 70, 0) = std::numeric_limits<float>::quiet_NaN();
      im(0, 0) = std::numeric_limits<float>::quiet_NaN();  // a NaN before any value
      float lo, hi;
      vil_math_value_range(im, lo, hi);
      EXPECT_EQ(lo, -9000.0f) << pos;
      EXPECT_EQ(hi, 7000.0f) << pos;
    }
  });
}

TEST(VilFill, DiskIsStrictlyInsideTheRadius)
{
  vil_image_view<vxl_byte> im(5, 5, 2);
  im.fill(0);
  vil_fill_disk(im, 2.0, 2.0, 1.0, vxl_byte(9));
  unsigned count = 0;
  for (unsigned j = 0; j < 5; ++j)
    for (unsigned i = 0; i < 5; ++i) count += im(i, j, 0) == 9;
  EXPECT_EQ(count, 1u);  // neighbours at distance exactly 1 stay
  EXPECT_EQ(im(2, 2, 1), 9);
  vil_fill_disk(im, 2.0, 2.0, 1.5, vxl_byte(7));
  count = 0;
  for (unsigned j = 0; j < 5; ++j)
    for (unsigned i = 0; i < 5; ++i) count += im(i, j, 1) == 7;
  EXPECT_EQ(count, 9u);  // 3x3: diagonals at sqrt 2 < 1.5
  // Partly and wholly outside, and nonsense centres: no writes outside.
  vil_image_view<vxl_byte> small(4, 3);
  small.fill(0);
  vil_fill_disk(small, -1.0, 1.0, 2.0, vxl_byte(1));
  EXPECT_EQ(small(0, 1), 1);
  EXPECT_EQ(small(0, 0), 1);   // distance^2 = 2 < 4
  EXPECT_EQ(small(1, 1), 0);   // distance 2, not below
  vil_fill_disk(small, 1e300, -1e300, 5.0, vxl_byte(2));
  vil_fill_disk(small, std::nan(""), 1.0, 5.0, vxl_byte(2));
  vil_fill_disk(small, 1.0, 1.0, -3.0, vxl_byte(2));
  for (unsigned j = 0; j < 3; ++j)
    for (unsigned i = 0; i < 4; ++i) EXPECT_NE(small(i, j), 2);
  vil_fill_disk(small, 1.5, 1.0, 100.0, vxl_byte(3));
  for (unsigned j = 0; j < 3; ++j)
    for (unsigned i = 0; i < 4; ++i) EXPECT_EQ(small(i, j), 3);
}

TEST(VilHistogramEqualise, SpreadsValuesByFrequency)
{
  vil_image_view<vxl_byte> im(4, 1);
  im(0, 0) = 10;
  im(1, 0) = 10;
  im(2, 0) = 20;
  im(3, 0) = 30;
  vil_histogram_equalise(im);
  EXPECT_EQ(im(0, 0), 0);
  EXPECT_EQ(im(1, 0), 0);
  EXPECT_EQ(im(2, 0), 127);  // 255.1 / (4 - 2) * (3 - 2)
  EXPECT_EQ(im(3, 0), 255);
  // One 0, eleven 1s, twelve 2s: 1 maps to 255.1 / 23 * 11 = 122.006.
  vil_image_view<vxl_byte> odd(24, 1);
  for (unsigned i = 0; i < 24; ++i) odd(i, 0) = vxl_byte(i == 0 ? 0 : i < 12 ? 1 : 2);
  vil_histogram_equalise(odd);
  EXPECT_EQ(odd(1, 0), 122);
  vil_image_view<vxl_byte> flat(3, 3);
  flat.fill(90);
  vil_histogram_equalise(flat);
  EXPECT_EQ(flat(1, 1), 90);
  vil_image_view<vxl_byte> planes(2, 1, 2);  // one histogram over all planes
  planes(0, 0, 0) = 5;
  planes(1, 0, 0) = 5;
  planes(0, 0, 1) = 6;
  planes(1, 0, 1) = 200;
  vil_histogram_equalise(planes);
  EXPECT_EQ(planes(0, 0, 0), 0);
  EXPECT_EQ(planes(0, 0, 1), 127);
  EXPECT_EQ(planes(1, 0, 1), 255);
}

// Any image to 8 bits by its percentiles: the values found against a sort of
// the finite samples, and the mapping by its properties.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>
#include <gtest/gtest.h>
#include <vil/algo/vil_stretch_percentiles.h>
#include <vil/vil_load_support.h>

namespace
{
struct stretch_case
{
  void (*check)(const stretch_case&);  // check<T>, for the pixel type T
  const char* name;
  unsigned ni, nj, np;
  bool interleaved;
  double lo_fraction, hi_fraction;
  double least, most;  // the random values' range
  int specials;        // NaN, +inf and -inf pixels of each (floats only)
};

template <class T>
void check(const stretch_case& c)
{
  SCOPED_TRACE(c.name);
  vil_image_view<T> im = c.interleaved ? vil_load_interleaved_view<T>(c.ni, c.nj, c.np) : vil_image_view<T>(c.ni, c.nj, c.np);
  std::mt19937_64 rng(c.ni * 7919 + c.np);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  // Never most - least, which the widest ranges overflow.
  const auto value = [&](std::mt19937_64& r) { const double t = u(r); return c.least * (1 - t) + c.most * t; };
  std::vector<double> finite;
  for (unsigned p = 0; p < c.np; ++p)
    for (unsigned j = 0; j < c.nj; ++j)
      for (unsigned i = 0; i < c.ni; ++i) {
        im(i, j, p) = T(value(rng));
        finite.push_back(double(im(i, j, p)));
      }
  if constexpr (std::is_floating_point<T>::value) {
    std::uniform_int_distribution<unsigned> at(0, c.ni * c.nj - 1);
    const T special[] = {std::numeric_limits<T>::quiet_NaN(), std::numeric_limits<T>::infinity(), -std::numeric_limits<T>::infinity()};
    for (T s : special)
      for (int k = 0; k < c.specials; ++k) {
        const unsigned n = at(rng);
        T& px = im(n % c.ni, n / c.ni, 0);
        if (std::isfinite(px)) finite.erase(std::find(finite.begin(), finite.end(), double(px)));
        px = s;
      }
  }
  std::sort(finite.begin(), finite.end());
  const auto at_fraction = [&](double f) { return finite[std::size_t(std::floor(f * double(finite.size() - 1) + 0.5))]; };

  vil_image_view<vxl_byte> out;
  double lo = -1, hi = -1;
  ASSERT_TRUE(vil_stretch_percentiles(im, c.lo_fraction, c.hi_fraction, out, lo, hi));
  EXPECT_EQ(lo, at_fraction(c.lo_fraction));
  EXPECT_EQ(hi, at_fraction(c.hi_fraction));
  ASSERT_TRUE(out.ni() == c.ni && out.nj() == c.nj && out.nplanes() == c.np);
  // Ends at 0 and 255, NaN at 0, and never a brighter byte for a smaller value.
  std::vector<std::pair<double, int>> mapped;
  for (unsigned p = 0; p < c.np; ++p)
    for (unsigned j = 0; j < c.nj; ++j)
      for (unsigned i = 0; i < c.ni; ++i) {
        const double v = double(im(i, j, p));
        const int b = out(i, j, p);
        if (v == v) mapped.emplace_back(v, b);
        EXPECT_TRUE(v != v ? b == 0 : (v > lo || b == 0) && (v < hi || lo == hi || b == 255)) << v << " gave " << b;
      }
  std::sort(mapped.begin(), mapped.end());
  for (std::size_t k = 1; k < mapped.size(); ++k) ASSERT_LE(mapped[k - 1].second, mapped[k].second) << mapped[k].first;
  if (lo < hi) {
    // A value between the two is as far up the bytes, rounded.
    vil_image_view<T> three(3, 1, 1);
    three(0, 0) = T(lo);
    three(1, 0) = T(lo / 2 + hi / 2);
    three(2, 0) = T(hi);
    const double up = 255 * ((double(three(1, 0)) / 2 - lo / 2) / (hi / 2 - lo / 2));
    ASSERT_TRUE(vil_stretch_percentiles(three, 0.0, 1.0, out, lo, hi));
    EXPECT_TRUE(out(0, 0) == 0 && std::fabs(out(1, 0) - up) <= 0.5 && out(2, 0) == 255) << int(out(1, 0)) << " for " << up;
  }
}
}  // namespace

TEST(VilStretchPercentiles, ValuesAreThoseOfTheSortedFiniteSamples)
{
  const double big = std::numeric_limits<double>::max();
  const float fbig = std::numeric_limits<float>::max();
  const stretch_case rows[] = {
      {check<vxl_uint_16>, "16-bit grey", 300, 200, 1, false, 0.001, 0.999, 0, 65535, 0},
      {check<vxl_uint_16>, "16-bit colour, interleaved, ties", 50, 40, 3, true, 0.001, 0.999, 100, 110, 0},
      {check<vxl_int_16>, "signed 16-bit", 64, 33, 1, false, 0.01, 0.99, -32768, 32767, 0},
      {check<vxl_uint_32>, "32-bit unsigned", 80, 61, 2, true, 0.001, 0.999, 0, 4294967295.0, 0},
      {check<vxl_int_32>, "32-bit signed", 17, 300, 1, false, 0.25, 0.75, -2147483648.0, 2147483647.0, 0},
      {check<float>, "float with NaN and infinities", 100, 100, 1, false, 0.001, 0.999, -3.5, 7.25, 40},
      {check<float>, "float over its whole range", 40, 40, 4, true, 0.0, 1.0, -fbig, fbig, 3},
      {check<double>, "double with NaN and infinities", 99, 101, 1, false, 0.001, 0.999, -1e-3, 1e-3, 25},
      {check<double>, "double over its whole range", 31, 29, 3, false, 0.1, 0.9, -big, big, 5},
      {check<double>, "one pixel", 1, 1, 1, false, 0.001, 0.999, 5, 5, 0},
      {check<vxl_sbyte>, "signed bytes, one fraction", 20, 20, 1, false, 0.5, 0.5, -128, 127, 0},
  };
  for (const stretch_case& c : rows) c.check(c);
}

TEST(VilStretchPercentiles, AnImageWithoutAFiniteValueIsRefused)
{
  vil_image_view<float> im(3, 2, 1);
  im.fill(std::numeric_limits<float>::quiet_NaN());
  im(1, 1) = std::numeric_limits<float>::infinity();
  vil_image_view<vxl_byte> out;
  double lo = 0, hi = 0;
  EXPECT_FALSE(vil_stretch_percentiles(im, 0.001, 0.999, out, lo, hi));
  EXPECT_EQ(out.size(), 0u);
}

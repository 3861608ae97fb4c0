#include <cmath>
#include <limits>
#include <vector>
#include <gtest/gtest.h>
#include <vil/vil_bilin_interp.h>
#include <vil/vil_image_view.h>

namespace
{
// 3 x 2 plane: value 10 i + 100 j, so interpolation is exact everywhere.
vil_image_view<float> ramp()
{
  vil_image_view<float> im(3, 2);
  for (unsigned j = 0; j < 2; ++j)
    for (unsigned i = 0; i < 3; ++i) im(i, j) = float(10 * i + 100 * j);
  return im;
}
}  // namespace

TEST(VilBilinInterp, InterpolatesInside)
{
  const vil_image_view<float> im = ramp();
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 2, 1), 120.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 0.5, 0), 5.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 1, 0.25), 35.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 1.5, 0.5), 65.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(im, 1.75, 0.1), 27.5);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_unsafe(im, 1.5, 0.5), 65.0);

  // Not a plane: a non-linear pattern checks the weights of all four pixels.
  vil_image_view<float> c(2, 2);
  c(0, 0) = 1; c(1, 0) = 2; c(0, 1) = 4; c(1, 1) = 8;
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(c, 0.25, 0.75),
                   0.75 * 0.25 * 1 + 0.25 * 0.25 * 2 + 0.75 * 0.75 * 4 + 0.25 * 0.75 * 8);
}

TEST(VilBilinInterp, ZeroOutsideTheImage)
{
  const vil_image_view<float> im = ramp();
  EXPECT_EQ(vil_bilin_interp_safe(im, -0.001, 0.5), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(im, 0.5, -0.001), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(im, 2.001, 0.5), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(im, 0.5, 1.001), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(im, 1e300, -1e300), 0.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(vil_bilin_interp_safe(im, nan, 0.5), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(im, 0.5, nan), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(vil_image_view<float>(), 0.0, 0.0), 0.0);
  EXPECT_EQ(vil_bilin_interp_safe(vil_image_view<float>(0, 5), 0.0, 0.0), 0.0);
}

TEST(VilBilinInterp, LastRowAndColumnReadNothingBeyond)
{
  // A 2 x 2 window inside a 4 x 4 image whose other pixels are NaN: any read
  // outside the window, even one weighted by 0, would turn the result NaN.
  vil_image_view<float> big(4, 4);
  big.fill(std::numeric_limits<float>::quiet_NaN());
  big(1, 1) = 1; big(2, 1) = 3; big(1, 2) = 5; big(2, 2) = 7;
  const vil_image_view<float> win(big.memory_chunk(), &big(1, 1), 2, 2, 1, big.istep(),
                                  big.jstep(), big.planestep());
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(win, 1, 1), 7.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(win, 1, 0.5), 5.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(win, 0.5, 1), 6.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(win, 0, 0), 1.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(win, 0.5, 0.5), 4.0);

  // A one-pixel image: only its own position is inside.
  vil_image_view<float> one(1, 1);
  one(0, 0) = 9;
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(one, 0, 0), 9.0);
  EXPECT_EQ(vil_bilin_interp_safe(one, 0.5, 0), 0.0);
}

TEST(VilBilinInterp, RawPointerFormHonoursStepsAndPlanes)
{
  // Stored column-major (transposed): x steps by nj, y by 1.
  const int nx = 3, ny = 2;
  std::vector<double> data(nx * ny);
  for (int x = 0; x < nx; ++x)
    for (int y = 0; y < ny; ++y) data[x * ny + y] = 10 * x + 100 * y;
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(1.5, 0.5, data.data(), nx, ny, ny, 1), 65.0);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_unsafe(2.0, 0.25, data.data(), ny, 1), 45.0);
  EXPECT_EQ(vil_bilin_interp_safe(2.5, 0.5, data.data(), nx, ny, ny, 1), 0.0);

  // Byte pixels give a double result, not a truncated byte.
  vil_image_view<vxl_byte> b(2, 1, 2);
  b(0, 0, 0) = 0; b(1, 0, 0) = 255;
  b(0, 0, 1) = 10; b(1, 0, 1) = 11;
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(b, 0.5, 0), 127.5);
  EXPECT_DOUBLE_EQ(vil_bilin_interp_safe(b, 0.5, 0, 1), 10.5);
}

TEST(VilBilinInterpDeathTest, UnsafeViewFormChecksItsArguments)
{
  const vil_image_view<float> im = ramp();
  EXPECT_DEATH(vil_bilin_interp_unsafe(im, 2.5, 0.5), "");
  EXPECT_DEATH(vil_bilin_interp_unsafe(im, 0.5, 0.5, 1), "");
  EXPECT_DEATH(vil_bilin_interp_safe(im, 0.5, 0.5, 1), "");
}

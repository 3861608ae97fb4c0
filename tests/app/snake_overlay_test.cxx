// The snake's picture: the image enlarged pixel for pixel, the curve and the
// points drawn or left out, a thick line's width.
#include <app/snake_overlay.h>

#include <cmath>
#include <vector>
#include <gtest/gtest.h>

namespace
{
typedef vgl_point_2d<double> point;

// A pixel's colour as 0xRRGGBB.
int rgb(const vil_image_view<vxl_byte>& pic, int i, int j)
{
  return pic(unsigned(i), unsigned(j), 0) << 16 | pic(unsigned(i), unsigned(j), 1) << 8 | pic(unsigned(i), unsigned(j), 2);
}
const int red = 0xff0000, green = 0x00ff00;

// Image point p's picture pixel at the zoom (the middle of its pixel's block),
// or one next to it, is drawn in colour c (the line's pixels may lie a
// pixel off the exact point).
bool near(const vil_image_view<vxl_byte>& pic, const point& p, int zoom, int c)
{
  const int i = int(std::lround(zoom * p.x() + (zoom - 1) / 2.0)), j = int(std::lround(zoom * p.y() + (zoom - 1) / 2.0));
  for (int dj = -1; dj <= 1; ++dj)
    for (int di = -1; di <= 1; ++di)
      if (rgb(pic, i + di, j + dj) == c) return true;
  return false;
}

// The green pixels, from the given corner.
std::vector<std::pair<int, int>> green_from(const vil_image_view<vxl_byte>& pic, int i0, int j0)
{
  std::vector<std::pair<int, int>> at;
  for (int j = 0; j < int(pic.nj()); ++j)
    for (int i = 0; i < int(pic.ni()); ++i)
      if (rgb(pic, i, j) == green) at.emplace_back(i - i0, j - j0);
  return at;
}

// n points 3 pixels apart round (20, 15).
std::vector<point> circle(int n)
{
  std::vector<point> pts;
  const double r = 3.0 * n / (2 * M_PI);
  for (int k = 0; k < n; ++k) pts.emplace_back(20 + r * std::cos(2 * M_PI * k / n), 15 + r * std::sin(2 * M_PI * k / n));
  return pts;
}
}  // namespace

TEST(SnakeOverlay, ZoomEnlargesEachPixelIntoABlockAndCentresThePointsInTheirs)
{
  vil_image_view<vxl_byte> im(9, 6, 3);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < 6; ++j)
      for (unsigned i = 0; i < 9; ++i) im(i, j, p) = vxl_byte(40 + 20 * i + 7 * j + p);
  snake_overlay_style bare;
  bare.curve = bare.points = false;
  snake_overlay_style points = bare;
  points.points = true;
  const std::vector<point> dot = {point(4, 2), point(4, 2), point(4, 2)};
  const auto mark = green_from(snake_overlay(im, dot, points), 4, 2);
  ASSERT_FALSE(mark.empty());
  for (int zoom : {1, 2, 3, 5}) {
    SCOPED_TRACE(zoom);
    bare.zoom = points.zoom = zoom;
    const vil_image_view<vxl_byte> pic = snake_overlay(im, circle(5), bare);
    ASSERT_TRUE(pic.ni() == 9u * zoom && pic.nj() == 6u * zoom);
    for (unsigned j = 0; j < pic.nj(); ++j)
      for (unsigned i = 0; i < pic.ni(); ++i)
        ASSERT_EQ(rgb(pic, int(i), int(j)), rgb(im, int(i) / zoom, int(j) / zoom)) << i << ',' << j;
    // A point on pixel (4, 2): the same mark, in the middle of the pixel's block.
    const int mid = (zoom - 1) / 2 + (zoom % 2 == 0);  // halves round up
    EXPECT_EQ(green_from(snake_overlay(im, dot, points), 4 * zoom + mid, 2 * zoom + mid), mark);
  }
}

// Points 3 pixels apart: their marks cover the curve at zoom 1, not when the
// curve is drawn alone or the picture enlarged.
TEST(SnakeOverlay, TheCurveShowsBetweenClosePointsWhenAloneOrEnlarged)
{
  vil_image_view<vxl_byte> im(40, 30, 1);
  im.fill(50);
  const std::vector<point> pts = circle(24);
  const struct
  {
    bool curve, points;
    int zoom;
    bool curve_shows, points_show;
  } rows[] = {{true, true, 1, false, true}, {true, false, 1, true, false}, {false, true, 1, false, true},
              {true, true, 4, true, true}, {true, true, 6, true, true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.curve << r.points << " zoom " << r.zoom);
    snake_overlay_style style;
    style.curve = r.curve;
    style.points = r.points;
    style.zoom = r.zoom;
    const vil_image_view<vxl_byte> pic = snake_overlay(im, pts, style);
    // Each segment's middle, and each point.
    int shown = 0, marks = 0;
    for (std::size_t k = 0; k < pts.size(); ++k) {
      shown += near(pic, midpoint(pts[k], pts[(k + 1) % pts.size()]), r.zoom, red);
      marks += near(pic, pts[k], r.zoom, green);
    }
    EXPECT_EQ(shown, r.curve_shows ? int(pts.size()) : 0);
    EXPECT_EQ(marks, r.points_show ? int(pts.size()) : 0);
  }
}

TEST(SnakeOverlay, AThickLineIsItsWidthAcrossAndThePointsStayWiderThanIt)
{
  vil_image_view<vxl_byte> im(60, 40, 1);
  im.fill(50);
  // A triangle with a level bottom edge along y = 30, its apex far above.
  const std::vector<point> pts = {point(10, 30), point(30, 2), point(50, 30)};
  for (int width : {1, 2, 3, 5, 8, 13}) {
    SCOPED_TRACE(width);
    snake_overlay_style style;
    style.line_width = width;
    const vil_image_view<vxl_byte> pic = snake_overlay(im, pts, style);
    int across = 0, mark = 0;
    for (int j = 15; j < 40; ++j) {
      across += rgb(pic, 30, j) == red;
      mark += rgb(pic, 10, j) == green;
    }
    EXPECT_EQ(across, width);
    EXPECT_GT(mark, width);
  }
}

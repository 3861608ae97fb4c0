// The pressure on a real photograph: scikit-image's coins, from outside a
// coin with the shrinking pressure and from inside with the growing one, as
// the README tells; the rim is measured from the image here.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include "support/tessaly_snake_cli.h"
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>

namespace
{
using point = vgl_point_2d<double>;

const char* const coins_png = "/usr/lib/python3/dist-packages/skimage/data/coins.png";
// The coin near (270, 118), radius about 24, and the square it is measured in.
const int cx = 270, cy = 118, half = 45;

// The coin's rim: the grey halfway between its face and the ground around
// it, where it crosses between neighbouring pixel centres, on the outline of
// the brighter region around the centre with its holes filled.
struct coin_rim
{
  std::vector<point> at;
  double area = 0;  // pixels inside
};

coin_rim measure_rim(const vil_image_view<vxl_byte>& im)
{
  const int n = 2 * half + 1;
  auto grey = [&](int i, int j) { return double(im(unsigned(cx - half + i), unsigned(cy - half + j))); };
  std::vector<double> face, ground;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double r = std::hypot(i - half, j - half);
      if (r < 12) face.push_back(grey(i, j));
      if (r > 36 && r < 44) ground.push_back(grey(i, j));
    }
  auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const double t = (median(face) + median(ground)) / 2;

  // Flood fills over a mask of n x n: from seed over the cells `over` allows.
  auto fill = [n](std::vector<char>& mask, std::vector<int> stack, auto over) {
    while (!stack.empty()) {
      const int c = stack.back();
      stack.pop_back();
      if (mask[c] || !over(c)) continue;
      mask[c] = 1;
      const int i = c % n, j = c / n;
      if (i > 0) stack.push_back(c - 1);
      if (i < n - 1) stack.push_back(c + 1);
      if (j > 0) stack.push_back(c - n);
      if (j < n - 1) stack.push_back(c + n);
    }
  };
  std::vector<char> bright(n * n, 0), outside(n * n, 0);
  fill(bright, {half * n + half}, [&](int c) { return grey(c % n, c / n) > t; });
  std::vector<int> border;
  for (int k = 0; k < n; ++k) border.insert(border.end(), {k, (n - 1) * n + k, k * n, k * n + n - 1});
  fill(outside, border, [&](int c) { return !bright[c]; });

  coin_rim rim;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      if (outside[j * n + i]) continue;
      rim.area += 1;
      for (const auto& [di, dj] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int i2 = i + di, j2 = j + dj;
        if (i2 < 0 || j2 < 0 || i2 >= n || j2 >= n || !outside[j2 * n + i2]) continue;
        const double a = grey(i, j), b = grey(i2, j2);
        const double f = a != b ? std::clamp((a - t) / (a - b), 0.0, 1.0) : 0.5;
        rim.at.emplace_back(cx - half + i + f * di, cy - half + j + f * dj);
      }
    }
  return rim;
}

double off_rim(const coin_rim& rim, const point& p)
{
  double d = std::numeric_limits<double>::infinity();
  for (const point& q : rim.at) d = std::min(d, (p - q).length());
  return d;
}

double area(const std::vector<point>& pts)
{
  double twice = 0;
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const point& a = pts[k];
    const point& b = pts[(k + 1) % pts.size()];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return std::fabs(twice) / 2;
}

QString circle(double r)
{
  std::vector<point> pts;
  for (int k = 0; k < 24; ++k) pts.emplace_back(cx + r * std::cos(k * M_PI / 12), cy + r * std::sin(k * M_PI / 12));
  return points_arg(pts);
}
}  // namespace

TEST(TessalyPressure, CoinFromOutsideShrinkingAndFromInsideGrowingEndsOnItsRim)
{
  const vil_image_view<vxl_byte> coins = vil_load(coins_png);
  if (coins.size() == 0) GTEST_SKIP() << coins_png << " not found (Debian's python3-skimage has it)";
  const coin_rim rim = measure_rim(coins);
  ASSERT_GT(rim.area, M_PI * 21 * 21);
  ASSERT_LT(rim.area, M_PI * 27 * 27);

  QTemporaryDir dir;
  const struct
  {
    const char* name;
    double radius;
    QStringList settings;
    int code;  // 1: the snake collapses, and the message says why
    const char* why;
  } rows[] = {
      {"outside, shrinking", 34, {"--smooth-px", "2", "--pressure", "-50"}, 0, ""},
      {"inside, growing", 10, {"--smooth-px", "3", "--pressure", "80"}, 0, ""},
      {"outside at the defaults", 34, {}, 1, "--weight"},
      {"outside, shrinking too hard", 34, {"--smooth-px", "4", "--pressure", "-100"}, 1, "--pressure"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QString out = dir.filePath(QString(row.name) + ".csv");
    const tessaly_snake_ran r =
      run_tessaly_snake(QStringList(row.settings) << "--points" << circle(row.radius) << "-o" << out << coins_png);
    ASSERT_EQ(r.code, row.code) << r.err.toStdString();
    if (row.code) {
      EXPECT_TRUE(r.err.contains("collapsed") && r.err.contains(row.why)) << r.err.toStdString();
      continue;
    }
    const std::vector<point> pts = read_points_csv(out);
    ASSERT_GE(pts.size(), 20u);
    for (const point& p : pts) EXPECT_LE(off_rim(rim, p), 2.5) << p;
    // All the way round, not on part of the rim.
    EXPECT_NEAR(area(pts), rim.area, 0.1 * rim.area);
  }
}

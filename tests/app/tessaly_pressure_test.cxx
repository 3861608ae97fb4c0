// The pressure on a real photograph: scikit-image's coins, from outside a
// coin with the shrinking pressure and from inside with the growing one, as
// the README tells; the rim is measured from the image here.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>
#include <QStringList>
#include <QTemporaryDir>
#include <app/snake_measures.h>
#include <gtest/gtest.h>
#include "support/tessaly_snake_cli.h"
#include <vil/vil_bilin_interp.h>
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>

namespace
{
using point = vgl_point_2d<double>;

const char* const coins_png = "/usr/lib/python3/dist-packages/skimage/data/coins.png";
// The coin near (270, 118), radius about 24.
const int cx = 270, cy = 118;

// The coin's rim: where the grey first reaches halfway between its face's
// and the ground's, along rays from the ground ring in towards the centre
// (so that dark marks on the face do not count).
std::vector<point> measure_rim(const vil_image_view<vxl_byte>& im)
{
  std::vector<double> face, ground;
  for (int j = -44; j <= 44; ++j)
    for (int i = -44; i <= 44; ++i) {
      const double r = std::hypot(i, j), grey = im(unsigned(cx + i), unsigned(cy + j));
      if (r < 12) face.push_back(grey);
      if (r > 36 && r < 44) ground.push_back(grey);
    }
  auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const double t = (median(face) + median(ground)) / 2;
  std::vector<point> rim;
  for (int k = 0; k < 720; ++k) {
    const double c = std::cos(k * M_PI / 360), s = std::sin(k * M_PI / 360);
    double r = 36;
    while (r > 0 && vil_bilin_interp_safe(im, cx + r * c, cy + r * s) < t) r -= 0.02;
    rim.emplace_back(cx + r * c, cy + r * s);
  }
  return rim;
}

double off_rim(const std::vector<point>& rim, const point& p)
{
  double d = std::numeric_limits<double>::infinity();
  for (const point& q : rim) d = std::min(d, (p - q).length());
  return d;
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
  const std::vector<point> rim = measure_rim(coins);
  const double rim_area = measure_snake(rim).area;
  ASSERT_GT(rim_area, M_PI * 21 * 21);
  ASSERT_LT(rim_area, M_PI * 27 * 27);

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
    EXPECT_NEAR(measure_snake(pts).area, rim_area, 0.1 * rim_area);
  }
}

#include <app/snake_measures.h>

#include <algorithm>
#include <cmath>

snake_measures measure_snake(const std::vector<vgl_point_2d<double>>& pts)
{
  snake_measures m;
  const std::size_t n = pts.size();
  m.points = n;
  if (n == 0) return m;
  // Sums taken relative to the first point, so that a small curve far from
  // the origin keeps its digits.
  const double x0 = pts[0].x(), y0 = pts[0].y();
  double twice_area = 0, cx = 0, cy = 0, mx = 0, my = 0;
  m.min_x = m.max_x = x0;
  m.min_y = m.max_y = y0;
  for (std::size_t k = 0; k < n; ++k) {
    const vgl_point_2d<double>& a = pts[k];
    const vgl_point_2d<double>& b = pts[(k + 1) % n];
    const double ax = a.x() - x0, ay = a.y() - y0, bx = b.x() - x0, by = b.y() - y0;
    const double cross = ax * by - bx * ay;
    twice_area += cross;
    cx += (ax + bx) * cross;
    cy += (ay + by) * cross;
    mx += ax;
    my += ay;
    m.perimeter += std::hypot(bx - ax, by - ay);
    m.min_x = std::min(m.min_x, a.x());
    m.max_x = std::max(m.max_x, a.x());
    m.min_y = std::min(m.min_y, a.y());
    m.max_y = std::max(m.max_y, a.y());
  }
  m.area = std::fabs(twice_area) / 2;
  // An area lost in the rounding of the coordinates is none.
  const bool encloses = std::fabs(twice_area) > 1e-9 * m.perimeter * m.perimeter;
  m.orientation = !encloses ? 0 : twice_area > 0 ? 1 : -1;
  m.centroid_x = x0 + (encloses ? cx / (3 * twice_area) : mx / double(n));
  m.centroid_y = y0 + (encloses ? cy / (3 * twice_area) : my / double(n));
  return m;
}

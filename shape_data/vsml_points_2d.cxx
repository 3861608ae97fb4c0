#include <shape_data/vsml_points_2d.h>

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_indent.h>

void vsml_points_2d::set(const vnl_vector<double>& v)
{
  if (v.size() % 2 != 0) {
    std::cerr << "vsml_points_2d::set() Must supply an even-dimensioned vector.\n"
              << "    size() = " << v.size() << '\n';
    std::abort();
  }
  v_ = v;
}

void vsml_points_2d::getPoints(std::vector<vsml_g_point>& pts) const
{
  const std::size_t n = size();
  pts.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    pts[i].x() = v_[i];
    pts[i].y() = v_[n + i];
  }
}

void vsml_points_2d::setPoints(const std::vector<vsml_g_point>& pts)
{
  const std::size_t n = pts.size();
  v_.set_size(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    v_[i] = pts[i].x();
    v_[n + i] = pts[i].y();
  }
}

void vsml_points_2d::getPoints2D(std::vector<vgl_point_2d<double>>& pts) const
{
  pts.resize(size());
  if (!pts.empty()) getPoints2D(pts.data());
}

void vsml_points_2d::getPoints2D(vgl_point_2d<double>* pts) const
{
  const std::size_t n = size();
  for (std::size_t i = 0; i < n; ++i) pts[i].set(v_[i], v_[n + i]);
}

void vsml_points_2d::setPoints2D(const std::vector<vgl_point_2d<double>>& pts)
{
  setPoints2D(pts.data(), int(pts.size()));
}

void vsml_points_2d::setPoints2D(const vgl_point_2d<double>* pts, int n)
{
  assert(n >= 0);
  const std::size_t m = std::size_t(n);
  v_.set_size(2 * m);
  for (std::size_t i = 0; i < m; ++i) {
    v_[i] = pts[i].x();
    v_[m + i] = pts[i].y();
  }
}

vgl_box_2d<double> vsml_points_2d::bounds() const
{
  vgl_box_2d<double> box;
  const int n = int(size());
  if (n == 0) return box;
  box = vgl_box_2d<double>((*this)(0), (*this)(0));
  for (int i = 1; i < n; ++i) box.add((*this)(i));
  return box;
}

void vsml_points_2d::bounds(vsml_g_point& lo, vsml_g_point& hi) const
{
  lo = vsml_g_point();
  hi = vsml_g_point();
  const std::size_t n = size();
  if (n == 0) return;
  for (int d = 0; d < 2; ++d) {
    const double* b = v_.data_block() + d * n;
    double mn = b[0], mx = b[0];
    for (std::size_t i = 1; i < n; ++i) {
      if (b[i] < mn)
        mn = b[i];
      else if (b[i] > mx)
        mx = b[i];
    }
    lo[d] = mn;
    hi[d] = mx;
  }
}

double vsml_points_2d::scale() const
{
  const std::size_t n = size();
  if (n == 0) return 0.0;
  // Mean squared distance from the centre, taken about the centre: the
  // one-pass mean(x^2 + y^2) - |mean|^2 loses all precision for a small
  // spread far from the origin (points in image coordinates).
  const vsml_g_point c = cog();
  double ss = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double dx = v_[i] - c.x(), dy = v_[n + i] - c.y();
    ss += dx * dx + dy * dy;
  }
  const double var = ss / n;
  if (!(var > 0.0)) return 0.0;
  return std::sqrt(var);
}

vsml_g_point vsml_points_2d::cog() const
{
  const std::size_t n = size();
  if (n == 0) return vsml_g_point();
  double sx = 0.0, sy = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    sx += v_[i];
    sy += v_[n + i];
  }
  return vsml_g_point(sx / n, sy / n);
}

void vsml_points_2d::scaleBy(double s)
{
  if (size() == 0 || s == 1.0) return;
  for (double& c : v_) c *= s;
}

void vsml_points_2d::translateBy(const vsml_g_point& t)
{
  const std::size_t n = size();
  if (n == 0 || (t.x() == 0.0 && t.y() == 0.0)) return;
  for (std::size_t i = 0; i < n; ++i) {
    v_[i] += t.x();
    v_[n + i] += t.y();
  }
}

void vsml_points_2d::transformBy(const vimt_transform_2d& t)
{
  const std::size_t n = size();
  if (n == 0 || t.form() == vimt_transform_2d::Identity) return;
  for (std::size_t i = 0; i < n; ++i) {
    const vgl_point_2d<double> p = t(v_[i], v_[n + i]);
    v_[i] = p.x();
    v_[n + i] = p.y();
  }
}

void vsml_points_2d::print_summary(std::ostream& os) const
{
  const std::size_t n = size();
  if (n == 0) {
    os << "No points";
    return;
  }
  os << n << " points: \n";
  for (std::size_t i = 0; i < n; ++i)
    os << vsl_indent() << '(' << v_[i] << ',' << v_[n + i] << ")\n";
}

void vsml_points_2d::b_write(vsl_b_ostream& os) const
{
  vsl_b_write(os, version_no());
  vsml_points::b_write(os);
}

void vsml_points_2d::b_read(vsl_b_istream& is)
{
  if (!is) return;
  short version;
  vsl_b_read(is, version);
  if (!is) return;
  if (version != 1) {
    std::cerr << "vsml_points_2d::b_read() Unexpected version number " << version << '\n';
    is.is().clear(std::ios::badbit);
    return;
  }
  vsml_points::b_read(is);
}

#include <shape_data/vsml_points.h>

#include <cmath>
#include <iostream>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_binary_loader.h>
#include <vsl/vsl_indent.h>
#include <vnl/io/vnl_io_vector.h>

double vsml_points::scale() const
{
  std::vector<vsml_g_point> pts;
  getPoints(pts);
  if (pts.empty()) return 0.0;
  const double n = double(pts.size());
  double cx = 0.0, cy = 0.0, cz = 0.0;
  for (const vsml_g_point& p : pts) {
    cx += p.x();
    cy += p.y();
    cz += p.z();
  }
  cx /= n;
  cy /= n;
  cz /= n;
  double sum = 0.0;
  for (const vsml_g_point& p : pts) {
    const double dx = p.x() - cx, dy = p.y() - cy, dz = p.z() - cz;
    sum += dx * dx + dy * dy + dz * dz;
  }
  if (!(sum > 0.0)) return 0.0;
  return std::sqrt(sum / n);
}

vsml_g_point vsml_points::cog() const
{
  std::vector<vsml_g_point> pts;
  getPoints(pts);
  vsml_g_point c;
  if (pts.empty()) return c;
  for (const vsml_g_point& p : pts)
    for (int d = 0; d < 4; ++d) c[d] += p[d];
  const double n = double(pts.size());
  for (int d = 0; d < 4; ++d) c[d] /= n;
  return c;
}

void vsml_points::scaleBy(double s)
{
  std::vector<vsml_g_point> pts;
  getPoints(pts);
  if (pts.empty()) return;
  for (vsml_g_point& p : pts)
    for (int d = 0; d < 4; ++d) p[d] *= s;
  setPoints(pts);
}

void vsml_points::translateBy(const vsml_g_point& t)
{
  std::vector<vsml_g_point> pts;
  getPoints(pts);
  if (pts.empty()) return;
  for (vsml_g_point& p : pts)
    for (int d = 0; d < 4; ++d) p[d] += t[d];
  setPoints(pts);
}

std::string vsml_points::is_a() const
{
  return "vsml_points";
}

void vsml_points::b_write(vsl_b_ostream& os) const
{
  vsl_b_write(os, version_no());
  vsl_b_write(os, v_);
}

void vsml_points::b_read(vsl_b_istream& is)
{
  if (!is) return;
  short version;
  vsl_b_read(is, version);
  if (!is) return;
  if (version != 1) {
    std::cerr << "vsml_points::b_read() Unexpected version number " << version << '\n';
    is.is().clear(std::ios::badbit);
    return;
  }
  vnl_vector<double> v;
  vsl_b_read(is, v);
  if (!is) return;
  // Only whole points: a partial one would send point access past the end
  // of the vector.
  const unsigned dims = n_dims();
  if (dims == 0 || v.size() % dims != 0) {
    std::cerr << "vsml_points::b_read() " << v.size() << " coordinates do not make whole points of "
              << dims << '\n';
    is.is().clear(std::ios::badbit);
    return;
  }
  v_ = v;
}

void vsl_b_write(vsl_b_ostream& os, const vsml_points& p)
{
  p.b_write(os);
}

void vsl_b_read(vsl_b_istream& is, vsml_points& p)
{
  p.b_read(is);
}

void vsl_b_write(vsl_b_ostream& os, const vsml_points* p)
{
  if (p == nullptr) {
    vsl_b_write(os, std::string("VSL_NULL_PTR"));
    return;
  }
  vsl_b_write(os, p->is_a());
  p->b_write(os);
}

void vsl_add_to_binary_loader(const vsml_points& p)
{
  vsl_binary_loader<vsml_points>::instance().add(p);
}

void vsl_print_summary(std::ostream& os, const vsml_points& p)
{
  p.print_summary(os);
}

std::ostream& operator<<(std::ostream& os, const vsml_points& p)
{
  os << p.is_a() << ": ";
  vsl_indent_inc(os);
  p.print_summary(os);
  vsl_indent_dec(os);
  return os;
}

std::ostream& operator<<(std::ostream& os, const vsml_points* p)
{
  if (p == nullptr) return os << "No vsml_points defined.";
  return os << *p;
}

#include <shape_data/vsml_g_point.h>

#include <cassert>

double vsml_g_point::operator[](int d) const
{
  assert(d >= 0 && d < 4);
  return d == 0 ? x_ : d == 1 ? y_ : d == 2 ? z_ : w_;
}

double& vsml_g_point::operator[](int d)
{
  assert(d >= 0 && d < 4);
  return d == 0 ? x_ : d == 1 ? y_ : d == 2 ? z_ : w_;
}

std::ostream& operator<<(std::ostream& os, const vsml_g_point& p)
{
  return os << '(' << p.x() << ',' << p.y() << ',' << p.z() << ',' << p.w() << ')';
}

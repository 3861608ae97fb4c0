#ifndef vgl_point_2d_h_
#define vgl_point_2d_h_
// A point in the plane.  Point minus point is a vector; point plus vector is a point.
#include <ostream>
#include <vgl/vgl_vector_2d.h>

template <class T>
class vgl_point_2d
{
 public:
  T x_{0};
  T y_{0};

  vgl_point_2d() = default;
  vgl_point_2d(T px, T py) : x_(px), y_(py) {}
  explicit vgl_point_2d(const T v[2]) : x_(v[0]), y_(v[1]) {}

  T x() const { return x_; }
  T y() const { return y_; }
  T& x() { return x_; }
  T& y() { return y_; }
  void set(T px, T py) { x_ = px; y_ = py; }

  bool operator==(const vgl_point_2d& p) const { return x_ == p.x_ && y_ == p.y_; }
  bool operator!=(const vgl_point_2d& p) const { return !(*this == p); }

  vgl_point_2d& operator+=(const vgl_vector_2d<T>& v) { x_ += v.x(); y_ += v.y(); return *this; }
  vgl_point_2d& operator-=(const vgl_vector_2d<T>& v) { x_ -= v.x(); y_ -= v.y(); return *this; }
};

template <class T> inline vgl_vector_2d<T> operator-(const vgl_point_2d<T>& a, const vgl_point_2d<T>& b)
{ return vgl_vector_2d<T>(a.x() - b.x(), a.y() - b.y()); }
template <class T> inline vgl_point_2d<T> operator+(const vgl_point_2d<T>& p, const vgl_vector_2d<T>& v)
{ return vgl_point_2d<T>(p.x() + v.x(), p.y() + v.y()); }
template <class T> inline vgl_point_2d<T> operator-(const vgl_point_2d<T>& p, const vgl_vector_2d<T>& v)
{ return vgl_point_2d<T>(p.x() - v.x(), p.y() - v.y()); }

template <class T> inline vgl_point_2d<T> midpoint(const vgl_point_2d<T>& a, const vgl_point_2d<T>& b)
{ return vgl_point_2d<T>((a.x() + b.x()) / 2, (a.y() + b.y()) / 2); }

template <class T> inline double length(const vgl_point_2d<T>& a, const vgl_point_2d<T>& b)
{ return (a - b).length(); }

// VXL's text form of a point: "<vgl_point_2d x,y > ".
template <class T>
std::ostream& operator<<(std::ostream& s, const vgl_point_2d<T>& p)
{
  return s << "<vgl_point_2d " << p.x() << ',' << p.y() << " > ";
}

#endif

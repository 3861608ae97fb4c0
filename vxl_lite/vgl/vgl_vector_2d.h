#ifndef vgl_vector_2d_h_
#define vgl_vector_2d_h_
// A 2-D displacement: the difference of two points.
#include <cmath>
#include <ostream>

template <class T>
class vgl_vector_2d
{
 public:
  T x_{0};
  T y_{0};

  vgl_vector_2d() = default;
  vgl_vector_2d(T vx, T vy) : x_(vx), y_(vy) {}

  T x() const { return x_; }
  T y() const { return y_; }
  void set(T vx, T vy) { x_ = vx; y_ = vy; }

  double length() const { return std::sqrt(double(x_) * x_ + double(y_) * y_); }
  T sqr_length() const { return x_ * x_ + y_ * y_; }

  bool operator==(const vgl_vector_2d& v) const { return x_ == v.x_ && y_ == v.y_; }
  bool operator!=(const vgl_vector_2d& v) const { return !(*this == v); }

  vgl_vector_2d& operator+=(const vgl_vector_2d& v) { x_ += v.x_; y_ += v.y_; return *this; }
  vgl_vector_2d& operator-=(const vgl_vector_2d& v) { x_ -= v.x_; y_ -= v.y_; return *this; }
  vgl_vector_2d& operator*=(T s) { x_ *= s; y_ *= s; return *this; }
  vgl_vector_2d& operator/=(T s) { x_ /= s; y_ /= s; return *this; }
};

template <class T> inline vgl_vector_2d<T> operator+(const vgl_vector_2d<T>& a, const vgl_vector_2d<T>& b)
{ return vgl_vector_2d<T>(a.x() + b.x(), a.y() + b.y()); }
template <class T> inline vgl_vector_2d<T> operator-(const vgl_vector_2d<T>& a, const vgl_vector_2d<T>& b)
{ return vgl_vector_2d<T>(a.x() - b.x(), a.y() - b.y()); }
template <class T> inline vgl_vector_2d<T> operator-(const vgl_vector_2d<T>& a)
{ return vgl_vector_2d<T>(-a.x(), -a.y()); }
template <class T> inline vgl_vector_2d<T> operator*(const vgl_vector_2d<T>& a, T s)
{ return vgl_vector_2d<T>(a.x() * s, a.y() * s); }
template <class T> inline vgl_vector_2d<T> operator*(T s, const vgl_vector_2d<T>& a)
{ return vgl_vector_2d<T>(a.x() * s, a.y() * s); }
template <class T> inline vgl_vector_2d<T> operator/(const vgl_vector_2d<T>& a, T s)
{ return vgl_vector_2d<T>(a.x() / s, a.y() / s); }

template <class T> inline T dot_product(const vgl_vector_2d<T>& a, const vgl_vector_2d<T>& b)
{ return a.x() * b.x() + a.y() * b.y(); }
template <class T> inline T cross_product(const vgl_vector_2d<T>& a, const vgl_vector_2d<T>& b)
{ return a.x() * b.y() - a.y() * b.x(); }
template <class T> inline double length(const vgl_vector_2d<T>& v) { return v.length(); }
template <class T> inline vgl_vector_2d<T> normalized(const vgl_vector_2d<T>& v)
{
  const double l = v.length();
  return l == 0.0 ? v : vgl_vector_2d<T>(T(v.x() / l), T(v.y() / l));
}

template <class T>
std::ostream& operator<<(std::ostream& s, const vgl_vector_2d<T>& v)
{
  return s << "<vgl_vector_2d " << v.x() << ',' << v.y() << " > ";
}

#endif

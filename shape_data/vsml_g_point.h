#ifndef vsml_g_point_h_
#define vsml_g_point_h_
// A point of up to four coordinates (x, y, z, w), the common currency of
// point sets of any dimension; unused coordinates are 0.
#include <ostream>

class vsml_g_point
{
 public:
  vsml_g_point() = default;
  vsml_g_point(double x, double y, double z = 0.0, double w = 0.0) : x_(x), y_(y), z_(z), w_(w) {}

  double x() const { return x_; }
  double y() const { return y_; }
  double z() const { return z_; }
  double w() const { return w_; }
  double& x() { return x_; }
  double& y() { return y_; }
  double& z() { return z_; }
  double& w() { return w_; }

  // Coordinate d (0 to 3).
  double operator[](int d) const;
  double& operator[](int d);

  bool operator==(const vsml_g_point& p) const
  {
    return x_ == p.x_ && y_ == p.y_ && z_ == p.z_ && w_ == p.w_;
  }
  bool operator!=(const vsml_g_point& p) const { return !(*this == p); }

 private:
  double x_{0};
  double y_{0};
  double z_{0};
  double w_{0};
};

// "(x,y,z,w)"
std::ostream& operator<<(std::ostream& os, const vsml_g_point& p);

#endif

#ifndef vsml_bezier_node_h_
#define vsml_bezier_node_h_
// One node of a closed piecewise cubic Bezier curve: the point the curve
// passes through and the two inner control points of the segment that
// starts there (c1 next to this point, c2 next to the following node's point).
#include <ostream>
#include <vgl/vgl_point_2d.h>

class vsml_bezier_node
{
 public:
  vsml_bezier_node() = default;
  // A node at p whose control points sit on p itself until an editing
  // operation or smoothing sets them.
  explicit vsml_bezier_node(const vgl_point_2d<double>& p) : point_(p), c1_(p), c2_(p) {}
  vsml_bezier_node(const vgl_point_2d<double>& p, const vgl_point_2d<double>& c1,
                   const vgl_point_2d<double>& c2)
    : point_(p), c1_(c1), c2_(c2) {}

  const vgl_point_2d<double>& point() const { return point_; }
  const vgl_point_2d<double>& c1() const { return c1_; }
  const vgl_point_2d<double>& c2() const { return c2_; }
  vgl_point_2d<double>& point() { return point_; }
  vgl_point_2d<double>& c1() { return c1_; }
  vgl_point_2d<double>& c2() { return c2_; }

  void set_point(const vgl_point_2d<double>& p) { point_ = p; }
  void set_c1(const vgl_point_2d<double>& c) { c1_ = c; }
  void set_c2(const vgl_point_2d<double>& c) { c2_ = c; }

  bool operator==(const vsml_bezier_node& n) const
  {
    return point_ == n.point_ && c1_ == n.c1_ && c2_ == n.c2_;
  }
  bool operator!=(const vsml_bezier_node& n) const { return !(*this == n); }

 private:
  vgl_point_2d<double> point_;
  vgl_point_2d<double> c1_;
  vgl_point_2d<double> c2_;
};

// "point, c1, c2" in vgl's point text form.
std::ostream& operator<<(std::ostream& os, const vsml_bezier_node& n);

#endif

#ifndef vsml_points_2d_h_
#define vsml_points_2d_h_
// A set of 2-D points.  The coordinate vector of n points holds all x
// coordinates first, then all y coordinates: point i is (v[i], v[n+i]).
#include <ostream>
#include <string>
#include <vector>
#include <vgl/vgl_box_2d.h>
#include <vgl/vgl_point_2d.h>
#include <vimt/vimt_transform_2d.h>
#include <shape_data/vsml_points.h>

class vsml_points_2d : public vsml_points
{
 public:
  vsml_points_2d() = default;

  // v must have an even length (x block then y block); an odd length is a
  // programming error that stops the program.
  void set(const vnl_vector<double>& v) override;
  unsigned size() const override { return unsigned(v_.size() / 2); }
  unsigned n_dims() const override { return 2; }

  // Point i, unchecked.
  vgl_point_2d<double> operator()(int i) const
  {
    const std::size_t n = v_.size() / 2;
    return vgl_point_2d<double>(v_[std::size_t(i)], v_[n + std::size_t(i)]);
  }

  // Resizes pts to size() and sets x and y of each; z and w of elements pts
  // already had are kept, new elements start at zero.
  void getPoints(std::vector<vsml_g_point>& pts) const override;
  void setPoints(const std::vector<vsml_g_point>& pts) override;
  void getPoints2D(std::vector<vgl_point_2d<double>>& pts) const;
  // Writes size() points to pts, which must have room for them.
  void getPoints2D(vgl_point_2d<double>* pts) const;
  void setPoints2D(const std::vector<vgl_point_2d<double>>& pts);
  void setPoints2D(const vgl_point_2d<double>* pts, int n);

  // Box of all points; an empty box for no points.
  vgl_box_2d<double> bounds() const;
  // lo = (min x, min y, 0, 0), hi = (max x, max y, 0, 0); all zero for no points.
  void bounds(vsml_g_point& lo, vsml_g_point& hi) const override;

  double scale() const override;
  vsml_g_point cog() const override;
  void scaleBy(double s) override;
  void translateBy(const vsml_g_point& t) override;
  // Replaces every point p by t(p).
  void transformBy(const vimt_transform_2d& t);

  std::string is_a() const override { return "vsml_points_2d"; }
  short version_no() const { return 1; }
  vsml_points* clone() const override { return new vsml_points_2d(*this); }
  // "n points: " then one indented "(x,y)" line per point; "No points" when empty.
  void print_summary(std::ostream& os) const override;
  // A version short of its own, then the vsml_points record.
  void b_write(vsl_b_ostream& os) const override;
  void b_read(vsl_b_istream& is) override;

  bool operator==(const vsml_points_2d& p) const { return v_ == p.v_; }
  bool operator!=(const vsml_points_2d& p) const { return !(*this == p); }
};

#endif

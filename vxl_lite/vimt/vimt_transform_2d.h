#ifndef vimt_transform_2d_h_
#define vimt_transform_2d_h_
// A 2-D affine transform that remembers its simplest form, so that callers
// (the image resampler) can tell an identity or a zoom from a general map.
//   x' = xx x + xy y + xt,   y' = yx x + yy y + yt
#include <ostream>
#include <vgl/vgl_point_2d.h>
#include <vgl/vgl_vector_2d.h>

class vimt_transform_2d
{
 public:
  // Ordered from the most special to the most general.
  enum Form { Identity, Translation, ZoomOnly, Affine };

  vimt_transform_2d() = default;

  Form form() const { return form_; }
  bool is_identity() const { return form_ == Identity; }

  void set_identity();
  // A zero shift gives the identity form.
  void set_translation(double t_x, double t_y);
  // x' = s_x x + t_x, y' = s_y y + t_y; the zoom form for any values.
  void set_zoom_only(double s_x, double s_y, double t_x, double t_y);
  void set_zoom_only(double s, double t_x, double t_y) { set_zoom_only(s, s, t_x, t_y); }
  // The general map with the given coefficients.
  void set_affine(double xx, double xy, double xt, double yx, double yy, double yt);

  vgl_point_2d<double> operator()(double x, double y) const
  {
    return vgl_point_2d<double>(xx_ * x + xy_ * y + xt_, yx_ * x + yy_ * y + yt_);
  }
  vgl_point_2d<double> operator()(const vgl_point_2d<double>& p) const { return (*this)(p.x(), p.y()); }

  // Image under the transform of the vector v placed at p.
  vgl_vector_2d<double> delta(const vgl_point_2d<double>& p, const vgl_vector_2d<double>& v) const;

  // The inverse map.  A singular transform (a zero scale) has none; its
  // "inverse" then maps to the translation part only, which keeps every
  // coordinate finite.
  vimt_transform_2d inverse() const;

  double xx() const { return xx_; }
  double xy() const { return xy_; }
  double xt() const { return xt_; }
  double yx() const { return yx_; }
  double yy() const { return yy_; }
  double yt() const { return yt_; }

  bool operator==(const vimt_transform_2d& t) const;
  bool operator!=(const vimt_transform_2d& t) const { return !(*this == t); }

  void print_summary(std::ostream& os) const;

  // (a * b)(p) = a(b(p)); the form is the more general of the two.
  friend vimt_transform_2d operator*(const vimt_transform_2d& a, const vimt_transform_2d& b);

 private:
  double xx_{1}, xy_{0}, xt_{0};
  double yx_{0}, yy_{1}, yt_{0};
  Form form_{Identity};
};

std::ostream& operator<<(std::ostream& os, const vimt_transform_2d& t);

#endif

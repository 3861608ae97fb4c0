#include <vimt/vimt_transform_2d.h>

#include <algorithm>

void vimt_transform_2d::set_identity()
{
  *this = vimt_transform_2d();
}

void vimt_transform_2d::set_translation(double t_x, double t_y)
{
  set_identity();
  xt_ = t_x;
  yt_ = t_y;
  form_ = t_x == 0 && t_y == 0 ? Identity : Translation;
}

void vimt_transform_2d::set_zoom_only(double s_x, double s_y, double t_x, double t_y)
{
  set_identity();
  xx_ = s_x;
  yy_ = s_y;
  xt_ = t_x;
  yt_ = t_y;
  form_ = ZoomOnly;
}

void vimt_transform_2d::set_affine(double xx, double xy, double xt, double yx, double yy, double yt)
{
  xx_ = xx; xy_ = xy; xt_ = xt;
  yx_ = yx; yy_ = yy; yt_ = yt;
  form_ = Affine;
}

vgl_vector_2d<double> vimt_transform_2d::delta(const vgl_point_2d<double>&,
                                               const vgl_vector_2d<double>& v) const
{
  return vgl_vector_2d<double>(xx_ * v.x() + xy_ * v.y(), yx_ * v.x() + yy_ * v.y());
}

namespace
{
// 1/s, or 0 where s has no inverse.
double safe_reciprocal(double s) { return s != 0.0 ? 1.0 / s : 0.0; }
}

vimt_transform_2d vimt_transform_2d::inverse() const
{
  vimt_transform_2d inv;
  switch (form_) {
    case Identity:
      break;
    case Translation:
      inv.set_translation(-xt_, -yt_);
      break;
    case ZoomOnly: {
      const double sx = safe_reciprocal(xx_), sy = safe_reciprocal(yy_);
      inv.set_zoom_only(sx, sy, -xt_ * sx, -yt_ * sy);
      break;
    }
    case Affine: {
      const double det = xx_ * yy_ - xy_ * yx_;
      const double r = safe_reciprocal(det);
      const double ixx = yy_ * r, ixy = -xy_ * r, iyx = -yx_ * r, iyy = xx_ * r;
      inv.set_affine(ixx, ixy, -(ixx * xt_ + ixy * yt_), iyx, iyy, -(iyx * xt_ + iyy * yt_));
      break;
    }
  }
  return inv;
}

vimt_transform_2d operator*(const vimt_transform_2d& a, const vimt_transform_2d& b)
{
  vimt_transform_2d r;
  r.xx_ = a.xx_ * b.xx_ + a.xy_ * b.yx_;
  r.xy_ = a.xx_ * b.xy_ + a.xy_ * b.yy_;
  r.xt_ = a.xx_ * b.xt_ + a.xy_ * b.yt_ + a.xt_;
  r.yx_ = a.yx_ * b.xx_ + a.yy_ * b.yx_;
  r.yy_ = a.yx_ * b.xy_ + a.yy_ * b.yy_;
  r.yt_ = a.yx_ * b.xt_ + a.yy_ * b.yt_ + a.yt_;
  r.form_ = std::max(a.form_, b.form_);
  return r;
}

bool vimt_transform_2d::operator==(const vimt_transform_2d& t) const
{
  return form_ == t.form_ && xx_ == t.xx_ && xy_ == t.xy_ && xt_ == t.xt_ &&
         yx_ == t.yx_ && yy_ == t.yy_ && yt_ == t.yt_;
}

void vimt_transform_2d::print_summary(std::ostream& os) const
{
  static const char* names[] = {"Identity", "Translation", "ZoomOnly", "Affine"};
  os << names[form_] << " [" << xx_ << ' ' << xy_ << ' ' << xt_ << "; "
     << yx_ << ' ' << yy_ << ' ' << yt_ << ']';
}

std::ostream& operator<<(std::ostream& os, const vimt_transform_2d& t)
{
  t.print_summary(os);
  return os;
}

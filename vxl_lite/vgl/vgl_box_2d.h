#ifndef vgl_box_2d_h_
#define vgl_box_2d_h_
// An axis-aligned box.  The default box is empty: minimum (1, 1), maximum (0, 0).
#include <ostream>
#include <vgl/vgl_point_2d.h>

template <class T>
class vgl_box_2d
{
 public:
  enum point_type { centre = 0, min_pos, max_pos };

  vgl_box_2d() = default;

  // The smallest box holding both points.
  vgl_box_2d(const vgl_point_2d<T>& p0, const vgl_point_2d<T>& p1)
  {
    add(p0);
    add(p1);
  }

  vgl_box_2d(T xmin, T xmax, T ymin, T ymax)
  {
    add(vgl_point_2d<T>(xmin, ymin));
    add(vgl_point_2d<T>(xmax, ymax));
  }

  // A box of the given width and height whose reference point (its centre,
  // its minimum or its maximum corner) is ref.
  vgl_box_2d(const vgl_point_2d<T>& ref, T width, T height, point_type t)
  {
    if (t == centre) {
      min_x_ = T(ref.x() - width / 2);  min_y_ = T(ref.y() - height / 2);
      max_x_ = T(ref.x() + width / 2);  max_y_ = T(ref.y() + height / 2);
    } else if (t == min_pos) {
      min_x_ = ref.x();  min_y_ = ref.y();
      max_x_ = ref.x() + width;  max_y_ = ref.y() + height;
    } else {
      min_x_ = ref.x() - width;  min_y_ = ref.y() - height;
      max_x_ = ref.x();  max_y_ = ref.y();
    }
  }

  T min_x() const { return min_x_; }
  T min_y() const { return min_y_; }
  T max_x() const { return max_x_; }
  T max_y() const { return max_y_; }
  vgl_point_2d<T> min_point() const { return vgl_point_2d<T>(min_x_, min_y_); }
  vgl_point_2d<T> max_point() const { return vgl_point_2d<T>(max_x_, max_y_); }

  void set_min_x(T v) { min_x_ = v; }
  void set_min_y(T v) { min_y_ = v; }
  void set_max_x(T v) { max_x_ = v; }
  void set_max_y(T v) { max_y_ = v; }
  void set_min_point(const vgl_point_2d<T>& p) { min_x_ = p.x(); min_y_ = p.y(); }
  void set_max_point(const vgl_point_2d<T>& p) { max_x_ = p.x(); max_y_ = p.y(); }

  T width() const { return max_x_ > min_x_ ? max_x_ - min_x_ : T(0); }
  T height() const { return max_y_ > min_y_ ? max_y_ - min_y_ : T(0); }
  T area() const { return width() * height(); }
  T centroid_x() const { return T((min_x_ + max_x_) / 2); }
  T centroid_y() const { return T((min_y_ + max_y_) / 2); }
  vgl_point_2d<T> centroid() const { return vgl_point_2d<T>(centroid_x(), centroid_y()); }

  bool is_empty() const { return min_x_ > max_x_ || min_y_ > max_y_; }
  void empty() { *this = vgl_box_2d(); }

  bool contains(T x, T y) const { return x >= min_x_ && x <= max_x_ && y >= min_y_ && y <= max_y_; }
  bool contains(const vgl_point_2d<T>& p) const { return contains(p.x(), p.y()); }

  // Grows the box to hold p; an empty box becomes the single point p.
  void add(const vgl_point_2d<T>& p)
  {
    if (is_empty()) {
      min_x_ = max_x_ = p.x();
      min_y_ = max_y_ = p.y();
      return;
    }
    if (p.x() < min_x_) min_x_ = p.x();
    if (p.x() > max_x_) max_x_ = p.x();
    if (p.y() < min_y_) min_y_ = p.y();
    if (p.y() > max_y_) max_y_ = p.y();
  }

  void add(const vgl_box_2d& b)
  {
    if (b.is_empty()) return;
    add(b.min_point());
    add(b.max_point());
  }

  bool operator==(const vgl_box_2d& b) const
  {
    return min_x_ == b.min_x_ && min_y_ == b.min_y_ && max_x_ == b.max_x_ && max_y_ == b.max_y_;
  }
  bool operator!=(const vgl_box_2d& b) const { return !(*this == b); }

 private:
  T min_x_{1};
  T min_y_{1};
  T max_x_{0};
  T max_y_{0};
};

template <class T>
std::ostream& operator<<(std::ostream& s, const vgl_box_2d<T>& b)
{
  if (b.is_empty()) return s << "<vgl_box_2d (empty)>";
  return s << "<vgl_box_2d " << b.min_x() << ',' << b.min_y() << " to "
           << b.max_x() << ',' << b.max_y() << '>';
}

#endif

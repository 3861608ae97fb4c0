#ifndef vimt_image_2d_of_h_
#define vimt_image_2d_of_h_
// An image view together with the transform from world to image coordinates.
#include <vil/vil_image_view.h>
#include <vimt/vimt_transform_2d.h>

template <class T>
class vimt_image_2d_of
{
 public:
  vimt_image_2d_of() = default;
  vimt_image_2d_of(unsigned ni, unsigned nj, unsigned nplanes = 1) : image_(ni, nj, nplanes) {}
  vimt_image_2d_of(const vil_image_view<T>& view, const vimt_transform_2d& w2i)
    : image_(view), world2im_(w2i)
  {
  }

  vil_image_view<T>& image() { return image_; }
  const vil_image_view<T>& image() const { return image_; }

  const vimt_transform_2d& world2im() const { return world2im_; }
  void set_world2im(const vimt_transform_2d& w2i) { world2im_ = w2i; }

  unsigned ni() const { return image_.ni(); }
  unsigned nj() const { return image_.nj(); }
  unsigned nplanes() const { return image_.nplanes(); }

  void set_to_window(const vimt_image_2d_of& im) { *this = im; }
  void deep_copy(const vimt_image_2d_of& src)
  {
    image_.deep_copy(src.image_);
    world2im_ = src.world2im_;
  }

 private:
  vil_image_view<T> image_;
  vimt_transform_2d world2im_;
};

#endif

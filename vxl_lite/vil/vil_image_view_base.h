#ifndef vil_image_view_base_h_
#define vil_image_view_base_h_
// What every image view has whatever its pixel type: a size and a pixel format.
#include <string>
#include <vil/vil_pixel_format.h>
#include <vil/vil_smart_ptr.h>

class vil_image_view_base
{
 public:
  virtual ~vil_image_view_base() = default;

  unsigned ni() const { return ni_; }
  unsigned nj() const { return nj_; }
  unsigned nplanes() const { return nplanes_; }
  unsigned long size() const { return static_cast<unsigned long>(ni_) * nj_ * nplanes_; }

  virtual vil_pixel_format pixel_format() const = 0;
  virtual std::string is_a() const = 0;

 protected:
  vil_image_view_base() = default;
  vil_image_view_base(unsigned ni, unsigned nj, unsigned np) : ni_(ni), nj_(nj), nplanes_(np) {}
  vil_image_view_base(const vil_image_view_base&) = default;
  vil_image_view_base& operator=(const vil_image_view_base&) = default;

  unsigned ni_{0};
  unsigned nj_{0};
  unsigned nplanes_{1};
};

typedef vil_smart_ptr<vil_image_view_base> vil_image_view_base_sptr;

#endif

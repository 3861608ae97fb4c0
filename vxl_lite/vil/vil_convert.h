#ifndef vil_convert_h_
#define vil_convert_h_
// Conversions between pixel types.
#include <cmath>
#include <type_traits>
#include <vil/vil_image_view.h>
#include <vil/vil_math.h>

// The float case, vectorised; same results as the template below.
void vil_convert_stretch_range_float(const vil_image_view<float>& src,
                                     vil_image_view<vxl_byte>& dest);

// vil_convert_stretch_range for a caller that already has src's value range
// lo, hi (as vil_math_value_range gives it): the same bytes without a
// second pass over src to find it.
void vil_convert_stretch_range_known(const vil_image_view<float>& src, float lo, float hi,
                                     vil_image_view<vxl_byte>& dest);

// Stretches src's value range (over all planes) onto 0..255: each output is
// the integer part of (v - lo) * 255 / (hi - lo), so the brightest pixel can
// come out as 254.  When hi is not above lo every output is 0.  Values that
// are not finite (NaN, or an infinite range) give 0 rather than an
// undefined conversion; anything past 255 by rounding is held at 255.
template <class T>
void vil_convert_stretch_range(const vil_image_view<T>& src, vil_image_view<vxl_byte>& dest)
{
  if constexpr (std::is_same<T, float>::value) {
    vil_convert_stretch_range_float(src, dest);
    return;
  }
  T lo, hi;
  vil_math_value_range(src, lo, hi);
  const double a = -1.0 * double(lo);
  double b = 0.0;
  if (hi - lo > 0) b = 255.0 / (hi - lo);
  if (!std::isfinite(b)) b = 0.0;
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  for (unsigned p = 0; p < src.nplanes(); ++p)
    for (unsigned j = 0; j < src.nj(); ++j) {
      const T* s = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      vxl_byte* d = dest.top_left_ptr() + p * dest.planestep() + j * dest.jstep();
      const std::ptrdiff_t si = src.istep(), di = dest.istep();
      for (unsigned i = 0; i < src.ni(); ++i) {
        const double v = b * (double(s[i * si]) + a);
        // The negated test also sends NaN to 0.
        d[i * di] = !(v >= 0.0) ? vxl_byte(0) : v >= 255.0 ? vxl_byte(255) : vxl_byte(v);
      }
    }
}

#endif

#ifndef vil_convert_h_
#define vil_convert_h_
// Conversions between pixel types.
#include <cmath>
#include <type_traits>
#include <vil/vil_image_view.h>
#include <vil/vil_math.h>

namespace vil_convert_detail
{
// The first pixels of a unit-step float row stretched as below, a vector at
// a time (same bytes); returns how many it did.
unsigned stretch_row_fast(const float* s, vxl_byte* d, unsigned n, double a, double b);
}  // namespace vil_convert_detail

// Stretches the value range lo, hi of src (over all planes, as
// vil_math_value_range gives it) onto 0..255: each output is the integer
// part of (v - lo) * 255 / (hi - lo), so the brightest pixel can come out as
// 254.  When hi is not above lo every output is 0.  Values that are not
// finite (NaN, or an infinite range) give 0 rather than an undefined
// conversion; anything past 255 by rounding is held at 255.  For a caller
// that already has the range, this saves the pass that finds it.
template <class T>
void vil_convert_stretch_range_known(const vil_image_view<T>& src, T lo, T hi,
                                     vil_image_view<vxl_byte>& dest)
{
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
      unsigned i = 0;
      if constexpr (std::is_same<T, float>::value)
        if (si == 1 && di == 1) i = vil_convert_detail::stretch_row_fast(s, d, src.ni(), a, b);
      for (; i < src.ni(); ++i) {
        const double v = b * (double(s[i * si]) + a);
        // The negated test also sends NaN to 0.
        d[i * di] = !(v >= 0.0) ? vxl_byte(0) : v >= 255.0 ? vxl_byte(255) : vxl_byte(v);
      }
    }
}

// The same over src's own value range.
template <class T>
void vil_convert_stretch_range(const vil_image_view<T>& src, vil_image_view<vxl_byte>& dest)
{
  T lo, hi;
  vil_math_value_range(src, lo, hi);
  vil_convert_stretch_range_known(src, lo, hi, dest);
}

#endif

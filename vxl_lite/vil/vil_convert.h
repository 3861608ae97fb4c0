#ifndef vil_convert_h_
#define vil_convert_h_
// Conversions between pixel types.
#include <cmath>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <vil/vil_image_view.h>
#include <vil/vil_math.h>

namespace vil_convert_detail
{
// The first pixels of a unit-step float row stretched as below, a vector at
// a time (same bytes); returns how many it did.
unsigned stretch_row_fast(const float* s, vxl_byte* d, unsigned n, double a, double b);

// rows(begin, end) over [0, n_rows) cut into bands, one for each of up to
// n_threads workers, fewer for a small image (vil_thread_team::for_pixels
// of its n_pixels).
void in_row_bands(unsigned n_rows, std::size_t n_pixels, unsigned n_threads,
                  const std::function<void(unsigned, unsigned)>& rows);
}  // namespace vil_convert_detail

// Stretches the value range lo, hi of src (over all planes, as
// vil_math_value_range gives it) onto 0..255: each output is the integer
// part of (v - lo) * 255 / (hi - lo), so the brightest pixel can come out as
// 254.  When hi is not above lo every output is 0.  Values that are not
// finite (NaN, or an infinite range) give 0 rather than an undefined
// conversion; anything past 255 by rounding is held at 255.  For a caller
// that already has the range, this saves the pass that finds it.
// Rows go to up to n_threads workers (fewer on small images); each pixel's
// byte is the same for any count.
template <class T>
void vil_convert_stretch_range_known(const vil_image_view<T>& src, T lo, T hi,
                                     vil_image_view<vxl_byte>& dest, unsigned n_threads = 1)
{
  const double a = -1.0 * double(lo);
  double b = 0.0;
  if (hi - lo > 0) b = 255.0 / (hi - lo);
  if (!std::isfinite(b)) b = 0.0;
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  const unsigned ni = src.ni(), nj = src.nj();
  // Row r of the planes stacked one above the other.
  const auto rows = [&](unsigned r0, unsigned r1) {
    for (unsigned r = r0; r < r1; ++r) {
      const unsigned p = r / nj, j = r % nj;
      const T* s = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      vxl_byte* d = dest.top_left_ptr() + p * dest.planestep() + j * dest.jstep();
      const std::ptrdiff_t si = src.istep(), di = dest.istep();
      unsigned i = 0;
      if constexpr (std::is_same<T, float>::value)
        if (si == 1 && di == 1) i = vil_convert_detail::stretch_row_fast(s, d, ni, a, b);
      for (; i < ni; ++i) {
        const double v = b * (double(s[i * si]) + a);
        // The negated test also sends NaN to 0.
        d[i * di] = !(v >= 0.0) ? vxl_byte(0) : v >= 255.0 ? vxl_byte(255) : vxl_byte(v);
      }
    }
  };
  const unsigned n_rows = nj * src.nplanes();
  if (n_threads > 1)
    vil_convert_detail::in_row_bands(n_rows, std::size_t(ni) * n_rows, n_threads, rows);
  else
    rows(0, n_rows);
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

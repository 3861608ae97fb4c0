#ifndef vil_math_h_
#define vil_math_h_
// Whole-image arithmetic: value range and root mean square over planes.
#include <cmath>
#include <type_traits>
#include <vil/vil_image_view.h>

// The float case, vectorised (the cost pipeline's range over a large image).
void vil_math_value_range_float(const vil_image_view<float>& view, float& min_value,
                                float& max_value);

namespace vil_math_detail
{
// Widens [lo, hi] by the n values at row[0], row[istep], ...; NaN values are
// skipped.  any says whether lo and hi hold a value yet (set on the first).
void add_to_range(const float* row, std::ptrdiff_t istep, unsigned n, bool& any, float& lo,
                  float& hi);
}  // namespace vil_math_detail

// Smallest and largest pixel value over all planes of view.  Not-a-number
// pixels are skipped; an empty view (or one of nothing but NaN) gives 0, 0.
template <class T>
void vil_math_value_range(const vil_image_view<T>& view, T& min_value, T& max_value)
{
  if constexpr (std::is_same<T, float>::value) {
    vil_math_value_range_float(view, min_value, max_value);
    return;
  }
  bool any = false;
  T lo = T(0), hi = T(0);
  const std::ptrdiff_t istep = view.istep();
  for (unsigned p = 0; p < view.nplanes(); ++p)
    for (unsigned j = 0; j < view.nj(); ++j) {
      const T* row = view.top_left_ptr() + p * view.planestep() + j * view.jstep();
      unsigned i = 0;
      if (!any)
        for (; i < view.ni(); ++i) {
          const T v = row[i * istep];
          if (v == v) {
            lo = hi = v;
            any = true;
            break;
          }
        }
      if (istep == 1) {
        // Plain min/max with no branches so the compiler can vectorise it.
        T l = lo, h = hi;
        for (; i < view.ni(); ++i) {
          const T v = row[i];
          l = v < l ? v : l;
          h = v > h ? v : h;
        }
        lo = l;
        hi = h;
      } else {
        for (; i < view.ni(); ++i) {
          const T v = row[i * istep];
          if (v < lo) lo = v;
          if (v > hi) hi = v;
        }
      }
    }
  min_value = lo;
  max_value = hi;
}

// dest (one plane, resized to src's ni x nj) gets at each pixel the square
// root of the mean over src's planes of the squared values.  For the two
// gradient planes of a grey image that is sqrt((gi^2 + gj^2) / 2).
template <class imT, class sumT>
void vil_math_rms(const vil_image_view<imT>& src, vil_image_view<sumT>& dest)
{
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  dest.set_size(ni, nj, 1);
  if (np == 0) {
    dest.fill(sumT(0));
    return;
  }
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i) {
      const imT* s = src.top_left_ptr() + i * src.istep() + j * src.jstep();
      sumT sum = 0;
      for (unsigned p = 0; p < np; ++p, s += src.planestep()) {
        const sumT v = sumT(*s);
        sum += v * v;
      }
      dest(i, j) = sumT(std::sqrt(sum / sumT(np)));
    }
}

#endif

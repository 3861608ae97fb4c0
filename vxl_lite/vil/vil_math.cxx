#include <vil/vil_math.h>

#include <xmmintrin.h>

void vil_math_value_range_float(const vil_image_view<float>& view, float& min_value,
                                float& max_value)
{
  bool any = false;
  float lo = 0, hi = 0;
  const std::ptrdiff_t istep = view.istep();
  for (unsigned p = 0; p < view.nplanes(); ++p)
    for (unsigned j = 0; j < view.nj(); ++j) {
      const float* row = view.top_left_ptr() + p * view.planestep() + j * view.jstep();
      const unsigned ni = view.ni();
      unsigned i = 0;
      if (!any)
        for (; i < ni; ++i) {
          const float v = row[i * istep];
          if (v == v) {
            lo = hi = v;
            any = true;
            break;
          }
        }
      if (!any) continue;
      if (istep == 1) {
        // min_ps(v, lo) is v < lo ? v : lo, so a NaN v leaves lo as it is.
        __m128 l4 = _mm_set1_ps(lo), h4 = _mm_set1_ps(hi);
        for (; i + 4 <= ni; i += 4) {
          const __m128 v = _mm_loadu_ps(row + i);
          l4 = _mm_min_ps(v, l4);
          h4 = _mm_max_ps(v, h4);
        }
        float l[4], h[4];
        _mm_storeu_ps(l, l4);
        _mm_storeu_ps(h, h4);
        for (int q = 0; q < 4; ++q) {
          lo = l[q] < lo ? l[q] : lo;
          hi = h[q] > hi ? h[q] : hi;
        }
      }
      for (; i < ni; ++i) {
        const float v = row[i * istep];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
      }
    }
  min_value = lo;
  max_value = hi;
}

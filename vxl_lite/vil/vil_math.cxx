#include <vil/vil_math.h>

#include <xmmintrin.h>

void vil_math_detail::add_to_range(const float* row, std::ptrdiff_t istep, unsigned n,
                                   bool& any, float& lo, float& hi)
{
  unsigned i = 0;
  if (!any)
    for (; i < n; ++i) {
      const float v = row[i * istep];
      if (v == v) {
        lo = hi = v;
        any = true;
        break;
      }
    }
  if (!any) return;
  if (istep == 1 && i + 16 <= n) {
    // min_ps(v, lo) is v < lo ? v : lo, so a NaN v leaves lo as it is.  Four
    // independent pairs, so that the loop is not held up by min's latency.
    __m128 l[4], h[4];
    for (int q = 0; q < 4; ++q) l[q] = _mm_set1_ps(lo), h[q] = _mm_set1_ps(hi);
    for (; i + 16 <= n; i += 16)
      for (int q = 0; q < 4; ++q) {
        const __m128 v = _mm_loadu_ps(row + i + 4 * q);
        l[q] = _mm_min_ps(v, l[q]);
        h[q] = _mm_max_ps(v, h[q]);
      }
    for (int q = 0; q < 4; ++q) {
      float lq[4], hq[4];
      _mm_storeu_ps(lq, l[q]);
      _mm_storeu_ps(hq, h[q]);
      for (int r = 0; r < 4; ++r) {
        lo = lq[r] < lo ? lq[r] : lo;
        hi = hq[r] > hi ? hq[r] : hi;
      }
    }
  }
  for (; i < n; ++i) {
    const float v = row[i * istep];
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
}

void vil_math_value_range_float(const vil_image_view<float>& view, float& min_value,
                                float& max_value)
{
  bool any = false;
  float lo = 0, hi = 0;
  for (unsigned p = 0; p < view.nplanes(); ++p)
    for (unsigned j = 0; j < view.nj(); ++j)
      vil_math_detail::add_to_range(view.top_left_ptr() + p * view.planestep() + j * view.jstep(),
                                    view.istep(), view.ni(), any, lo, hi);
  min_value = lo;
  max_value = hi;
}

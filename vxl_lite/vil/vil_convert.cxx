#include <vil/vil_convert.h>

#include <immintrin.h>

namespace
{
// One unit-step row, 8 pixels at a time, with 4-wide doubles; returns how
// many pixels it did (the rest go pixel by pixel).  Same operations as the
// scalar code, so the same bytes.
__attribute__((target("avx"))) unsigned stretch_row_avx(const float* s, vxl_byte* d, unsigned n,
                                                         double a, double b)
{
  const __m256d aa = _mm256_set1_pd(a), bb = _mm256_set1_pd(b), zero = _mm256_setzero_pd(),
                top = _mm256_set1_pd(255.0);
  unsigned i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256d v0 = _mm256_cvtps_pd(_mm_loadu_ps(s + i));
    const __m256d v1 = _mm256_cvtps_pd(_mm_loadu_ps(s + i + 4));
    const __m256d x0 = _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(bb, _mm256_add_pd(v0, aa)), zero), top);
    const __m256d x1 = _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(bb, _mm256_add_pd(v1, aa)), zero), top);
    const __m128i w = _mm_packs_epi32(_mm256_cvttpd_epi32(x0), _mm256_cvttpd_epi32(x1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(w, w));
  }
  return i;
}

const bool avx_available = __builtin_cpu_supports("avx");
}  // namespace

unsigned vil_convert_detail::stretch_row_fast(const float* s, vxl_byte* d, unsigned n, double a,
                                              double b)
{
  return avx_available ? stretch_row_avx(s, d, n, a, b) : 0;
}

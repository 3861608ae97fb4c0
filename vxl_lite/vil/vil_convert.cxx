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


void vil_convert_stretch_range_float(const vil_image_view<float>& src,
                                     vil_image_view<vxl_byte>& dest)
{
  float lo, hi;
  vil_math_value_range_float(src, lo, hi);
  vil_convert_stretch_range_known(src, lo, hi, dest);
}

void vil_convert_stretch_range_known(const vil_image_view<float>& src, float lo, float hi,
                                     vil_image_view<vxl_byte>& dest)
{
  const double a = -1.0 * double(lo);
  double b = 0.0;
  if (hi - lo > 0) b = 255.0 / (hi - lo);
  if (!std::isfinite(b)) b = 0.0;
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  for (unsigned p = 0; p < src.nplanes(); ++p)
    for (unsigned j = 0; j < src.nj(); ++j) {
      const float* s = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      vxl_byte* d = dest.top_left_ptr() + p * dest.planestep() + j * dest.jstep();
      const std::ptrdiff_t si = src.istep(), di = dest.istep();
      unsigned i = 0;
      if (si == 1 && di == 1 && avx_available)
        i = stretch_row_avx(s, d, src.ni(), a, b);
      for (; i < src.ni(); ++i) {
        const double v = b * (double(s[i * si]) + a);
        d[i * di] = !(v >= 0.0) ? vxl_byte(0) : v >= 255.0 ? vxl_byte(255) : vxl_byte(v);
      }
    }
}

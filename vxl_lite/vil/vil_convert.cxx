#include <vil/vil_convert.h>

#include <emmintrin.h>

void vil_convert_stretch_range_float(const vil_image_view<float>& src,
                                     vil_image_view<vxl_byte>& dest)
{
  float lo, hi;
  vil_math_value_range_float(src, lo, hi);
  const double a = -1.0 * double(lo);
  double b = 0.0;
  if (hi - lo > 0) b = 255.0 / (hi - lo);
  if (!std::isfinite(b)) b = 0.0;
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  const __m128d aa = _mm_set1_pd(a), bb = _mm_set1_pd(b), zero = _mm_setzero_pd(),
                top = _mm_set1_pd(255.0);
  // max_pd(v, 0) is v > 0 ? v : 0 (NaN gives 0), min_pd(v, 255) likewise;
  // the conversion then truncates, as the scalar code does.
  auto convert2 = [&](const float* s) {
    const __m128d v = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s))));
    const __m128d x = _mm_min_pd(_mm_max_pd(_mm_mul_pd(bb, _mm_add_pd(v, aa)), zero), top);
    return _mm_cvttpd_epi32(x);
  };
  for (unsigned p = 0; p < src.nplanes(); ++p)
    for (unsigned j = 0; j < src.nj(); ++j) {
      const float* s = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      vxl_byte* d = dest.top_left_ptr() + p * dest.planestep() + j * dest.jstep();
      const std::ptrdiff_t si = src.istep(), di = dest.istep();
      unsigned i = 0;
      if (si == 1 && di == 1)
        for (; i + 8 <= src.ni(); i += 8) {
          const __m128i q0 = _mm_unpacklo_epi64(convert2(s + i), convert2(s + i + 2));
          const __m128i q1 = _mm_unpacklo_epi64(convert2(s + i + 4), convert2(s + i + 6));
          const __m128i w = _mm_packs_epi32(q0, q1);
          _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(w, w));
        }
      for (; i < src.ni(); ++i) {
        const double v = b * (double(s[i * si]) + a);
        d[i * di] = !(v >= 0.0) ? vxl_byte(0) : v >= 255.0 ? vxl_byte(255) : vxl_byte(v);
      }
    }
}

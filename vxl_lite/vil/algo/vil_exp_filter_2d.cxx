#include <vil/algo/vil_exp_filter_2d.h>

#include <cstdint>
#include <immintrin.h>  // SSE2 (every x86-64) and, where the processor has it, AVX

namespace
{
// The row pass over 8 rows of unit step, in place: the same arithmetic as
// vil_exp_filter_detail::rows_inplace<8>, but the 8 rows are moved through
// 4 x 4 transposes so that each step of the recursion is four 2-wide
// double operations, and the 8 recursions overlap their latencies.
void rows8(float* const* rows, unsigned ni, double k)
{
  const double norm = (1.0 - k) / (1.0 + k);
  double* __restrict f = vil_exp_filter_detail::scratch<double>(std::size_t(ni) * 8, 1);
  const __m128d kk = _mm_set1_pd(k), nn = _mm_set1_pd(norm);
  const unsigned n4 = ni / 4 * 4;

  // Columns i .. i+3 of the 8 rows, as x[c] (rows 0-3) and y[c] (rows 4-7).
  auto load = [&](unsigned i, __m128* x, __m128* y) {
    for (int r = 0; r < 4; ++r) {
      x[r] = _mm_loadu_ps(rows[r] + i);
      y[r] = _mm_loadu_ps(rows[r + 4] + i);
    }
    _MM_TRANSPOSE4_PS(x[0], x[1], x[2], x[3]);
    _MM_TRANSPOSE4_PS(y[0], y[1], y[2], y[3]);
  };
  auto split = [](__m128 v, __m128d& lo, __m128d& hi) {
    lo = _mm_cvtps_pd(v);
    hi = _mm_cvtps_pd(_mm_movehl_ps(v, v));
  };

  __m128d a[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
  for (unsigned i = 0; i < n4; i += 4) {
    __m128 x[4], y[4];
    load(i, x, y);
    for (int c = 0; c < 4; ++c) {
      __m128d in[4];
      split(x[c], in[0], in[1]);
      split(y[c], in[2], in[3]);
      double* fc = f + std::size_t(i + c) * 8;
      for (int q = 0; q < 4; ++q) {
        a[q] = _mm_add_pd(_mm_mul_pd(a[q], kk), in[q]);
        _mm_storeu_pd(fc + 2 * q, a[q]);
      }
    }
  }
  double acc[8];
  for (int q = 0; q < 4; ++q) _mm_storeu_pd(acc + 2 * q, a[q]);
  for (unsigned i = n4; i < ni; ++i)
    for (int r = 0; r < 8; ++r) {
      acc[r] = acc[r] * k + double(rows[r][i]);
      f[std::size_t(i) * 8 + r] = acc[r];
    }

  // Backward: the tail first, scalar, then blocks of 4 columns.
  for (int r = 0; r < 8; ++r) acc[r] = 0;
  for (unsigned i = ni; i-- > n4;)
    for (int r = 0; r < 8; ++r) {
      const double in = double(rows[r][i]);
      rows[r][i] = float(norm * (f[std::size_t(i) * 8 + r] + acc[r]));
      acc[r] = k * (acc[r] + in);
    }
  __m128d b[4];
  for (int q = 0; q < 4; ++q) b[q] = _mm_loadu_pd(acc + 2 * q);
  for (unsigned i = n4; i > 0; i -= 4) {
    const unsigned s = i - 4;
    __m128 x[4], y[4];
    load(s, x, y);
    for (int c = 3; c >= 0; --c) {
      __m128d in[4], out[4];
      split(x[c], in[0], in[1]);
      split(y[c], in[2], in[3]);
      const double* fc = f + std::size_t(s + c) * 8;
      for (int q = 0; q < 4; ++q) {
        out[q] = _mm_mul_pd(nn, _mm_add_pd(_mm_loadu_pd(fc + 2 * q), b[q]));
        b[q] = _mm_mul_pd(kk, _mm_add_pd(b[q], in[q]));
      }
      x[c] = _mm_movelh_ps(_mm_cvtpd_ps(out[0]), _mm_cvtpd_ps(out[1]));
      y[c] = _mm_movelh_ps(_mm_cvtpd_ps(out[2]), _mm_cvtpd_ps(out[3]));
    }
    _MM_TRANSPOSE4_PS(x[0], x[1], x[2], x[3]);
    _MM_TRANSPOSE4_PS(y[0], y[1], y[2], y[3]);
    for (int r = 0; r < 4; ++r) {
      _mm_storeu_ps(rows[r] + s, x[r]);
      _mm_storeu_ps(rows[r + 4] + s, y[r]);
    }
  }
}

// The row pass with 4-wide doubles over 4 * G rows: one register holds a
// column of 4 rows, and the G recursions of a column overlap their
// latencies.  Same operations in the same order as rows_inplace, so the
// same results bit for bit.
template <int G>
__attribute__((target("avx"))) void rows_avx(float* const* rows, unsigned ni, double k)
{
  const int R = 4 * G;
  const double norm = (1.0 - k) / (1.0 + k);
  double* __restrict f = vil_exp_filter_detail::scratch<double>(std::size_t(ni) * R, 1);
  const __m256d kk = _mm256_set1_pd(k), nn = _mm256_set1_pd(norm);
  const unsigned n4 = ni / 4 * 4;
  __m256d a[G];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) a[g] = _mm256_setzero_pd();
  for (unsigned i = 0; i < n4; i += 4) {
    __m128 x[G][4];
#pragma GCC unroll 4
    for (int g = 0; g < G; ++g) {
#pragma GCC unroll 4
      for (int r = 0; r < 4; ++r) x[g][r] = _mm_loadu_ps(rows[4 * g + r] + i);
      _MM_TRANSPOSE4_PS(x[g][0], x[g][1], x[g][2], x[g][3]);
    }
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) {
      double* fc = f + std::size_t(i + c) * R;
#pragma GCC unroll 4
      for (int g = 0; g < G; ++g) {
        a[g] = _mm256_add_pd(_mm256_mul_pd(a[g], kk), _mm256_cvtps_pd(x[g][c]));
        _mm256_storeu_pd(fc + 4 * g, a[g]);
      }
    }
  }
  double acc[R];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) _mm256_storeu_pd(acc + 4 * g, a[g]);
  for (unsigned i = n4; i < ni; ++i)
    for (int r = 0; r < R; ++r) {
      acc[r] = acc[r] * k + double(rows[r][i]);
      f[std::size_t(i) * R + r] = acc[r];
    }
  for (int r = 0; r < R; ++r) acc[r] = 0;
  for (unsigned i = ni; i-- > n4;)
    for (int r = 0; r < R; ++r) {
      const double in = double(rows[r][i]);
      rows[r][i] = float(norm * (f[std::size_t(i) * R + r] + acc[r]));
      acc[r] = k * (acc[r] + in);
    }
  __m256d b[G];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) b[g] = _mm256_loadu_pd(acc + 4 * g);
  for (unsigned i = n4; i > 0; i -= 4) {
    const unsigned s = i - 4;
    __m128 x[G][4];
#pragma GCC unroll 4
    for (int g = 0; g < G; ++g) {
#pragma GCC unroll 4
      for (int r = 0; r < 4; ++r) x[g][r] = _mm_loadu_ps(rows[4 * g + r] + s);
      _MM_TRANSPOSE4_PS(x[g][0], x[g][1], x[g][2], x[g][3]);
    }
#pragma GCC unroll 4
    for (int c = 3; c >= 0; --c) {
      const double* fc = f + std::size_t(s + c) * R;
#pragma GCC unroll 4
      for (int g = 0; g < G; ++g) {
        const __m256d o = _mm256_mul_pd(nn, _mm256_add_pd(_mm256_loadu_pd(fc + 4 * g), b[g]));
        b[g] = _mm256_mul_pd(kk, _mm256_add_pd(b[g], _mm256_cvtps_pd(x[g][c])));
        x[g][c] = _mm256_cvtpd_ps(o);
      }
    }
#pragma GCC unroll 4
    for (int g = 0; g < G; ++g) {
      _MM_TRANSPOSE4_PS(x[g][0], x[g][1], x[g][2], x[g][3]);
#pragma GCC unroll 4
      for (int r = 0; r < 4; ++r) _mm_storeu_ps(rows[4 * g + r] + s, x[g][r]);
    }
  }
}

const bool avx_available = __builtin_cpu_supports("avx");
bool have_avx = avx_available;

// One plane with unit i-steps: the column pass, and the row pass on each
// block of rows as soon as the backward column sweep has finished it, while
// those rows are still in cache.
void plane_float(const float* src, std::ptrdiff_t s_jstep, float* dest, std::ptrdiff_t d_jstep,
                 unsigned ni, unsigned nj, double ki, double kj)
{
  const double norm = (1.0 - kj) / (1.0 + kj);
  double* __restrict acc = vil_exp_filter_detail::scratch<double>(ni, 2);
  std::fill(acc, acc + ni, 0.0);
  // A plane much larger than the caches is written by the forward sweep with
  // streaming stores: its rows are evicted before the backward sweep anyway,
  // and streaming saves reading each destination line in first.
  const bool stream = std::size_t(ni) * nj * sizeof(float) > (std::size_t(16) << 20);
  const __m128d kk = _mm_set1_pd(kj), nn = _mm_set1_pd(norm);
  for (unsigned j = 0; j < nj; ++j) {
    const float* __restrict s = src + j * s_jstep;
    float* __restrict d = dest + j * d_jstep;
    unsigned i = 0;
    if (stream) {
      for (; i < ni && (reinterpret_cast<std::uintptr_t>(d + i) & 15) != 0; ++i) {
        const double a = acc[i] * kj + double(s[i]);
        acc[i] = a;
        d[i] = float(norm * a);
      }
      for (; i + 4 <= ni; i += 4) {
        const __m128 in = _mm_loadu_ps(s + i);
        const __m128d a0 = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(acc + i), kk), _mm_cvtps_pd(in));
        const __m128d a1 = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(acc + i + 2), kk),
                                      _mm_cvtps_pd(_mm_movehl_ps(in, in)));
        _mm_storeu_pd(acc + i, a0);
        _mm_storeu_pd(acc + i + 2, a1);
        _mm_stream_ps(d + i, _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(nn, a0)),
                                           _mm_cvtpd_ps(_mm_mul_pd(nn, a1))));
      }
    }
    for (; i < ni; ++i) {
      const double a = acc[i] * kj + double(s[i]);
      acc[i] = a;
      d[i] = float(norm * a);
    }
  }
  if (stream) _mm_sfence();
  std::fill(acc, acc + ni, 0.0);
  // Rows above `full` go in blocks of `block`, the rest one by one.
  const unsigned block = have_avx ? 16 : 8;
  const unsigned full = nj / block * block;
  for (unsigned j = nj; j-- > 0;) {
    const float* __restrict s = src + j * s_jstep;
    float* __restrict d = dest + j * d_jstep;
    for (unsigned i = 0; i < ni; ++i) {
      const double b = acc[i];
      d[i] = float(double(d[i]) + norm * b);
      acc[i] = kj * (b + double(s[i]));
    }
    if (j >= full) {
      float* row = dest + j * d_jstep;
      vil_exp_filter_detail::rows_inplace<1>(&row, 1, ni, ki);
    } else if (j % block == 0) {
      float* rows[16];
      for (unsigned r = 0; r < block; ++r) rows[r] = dest + (j + r) * d_jstep;
      if (have_avx)
        rows_avx<4>(rows, ni, ki);
      else
        rows8(rows, ni, ki);
    }
  }
}
}  // namespace

void vil_exp_filter_detail::set_use_avx(bool on) { have_avx = on && avx_available; }

void vil_exp_filter_2d_float(const vil_image_view<float>& src, vil_image_view<float>& dest,
                             double ki, double kj)
{
  vil_image_view<float> in = src;
  // Filtering in place would read columns the first pass already wrote.
  if (src.memory_chunk() && src.memory_chunk() == dest.memory_chunk()) in = vil_copy_deep(src);
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  // Far from any edge the sums decay towards 0 and, over a wide flat area,
  // into subnormal numbers, which the processor handles many times slower.
  // Flush them to 0 for the duration (a change below 1e-38).
  const unsigned csr = _mm_getcsr();
  _mm_setcsr(csr | 0x8040);  // flush-to-zero and denormals-are-zero
  for (unsigned p = 0; p < src.nplanes(); ++p) {
    const float* s = in.top_left_ptr() + p * in.planestep();
    float* d = dest.top_left_ptr() + p * dest.planestep();
    if (in.istep() == 1 && dest.istep() == 1)
      plane_float(s, in.jstep(), d, dest.jstep(), src.ni(), src.nj(), ki, kj);
    else
      vil_exp_filter_detail::plane(s, in.istep(), in.jstep(), d, dest.istep(), dest.jstep(),
                                   src.ni(), src.nj(), ki, kj);
  }
  _mm_setcsr(csr);
}

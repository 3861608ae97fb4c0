#include <vil/algo/vil_exp_filter_2d.h>

#include <cstdint>
#include <immintrin.h>  // SSE2 (every x86-64) and, where the processor has it, AVX

namespace
{
// While a row pass computes, the memory is idle: fetch the rows the caller
// reads next into the cache, one line of each per 16 columns passed, the
// first half of them during the forward pass and the rest going back.
inline void fetch_ahead(const float* const* ahead, unsigned from, unsigned to, unsigned i)
{
  if (i % 16 == 0)
    for (unsigned r = from; r < to; ++r)
      _mm_prefetch(reinterpret_cast<const char*>(ahead[r] + i), _MM_HINT_T1);
}

// The scalar ends of a block row pass over R rows, with the forward sums
// laid out f[i * R + r].  The forward tail carries the sums in acc on over
// columns [from, ni); the backward tail starts from 0 at the far end, writes
// those columns' results and leaves in acc the sums the vector part goes on
// with.
void forward_tail(float* const* rows, int R, unsigned from, unsigned ni, double k, double* f,
                  double* acc)
{
  for (unsigned i = from; i < ni; ++i)
    for (int r = 0; r < R; ++r) {
      acc[r] = acc[r] * k + double(rows[r][i]);
      f[std::size_t(i) * R + r] = acc[r];
    }
}

void backward_tail(float* const* rows, int R, unsigned from, unsigned ni, double k, double norm,
                   const double* f, double* acc)
{
  for (int r = 0; r < R; ++r) acc[r] = 0;
  for (unsigned i = ni; i-- > from;)
    for (int r = 0; r < R; ++r) {
      const double in = double(rows[r][i]);
      rows[r][i] = float(norm * (f[std::size_t(i) * R + r] + acc[r]));
      acc[r] = k * (acc[r] + in);
    }
}

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
  forward_tail(rows, 8, n4, ni, k, f, acc);

  // Backward: the tail first, scalar, then blocks of 4 columns.
  backward_tail(rows, 8, n4, ni, k, norm, f, acc);
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
__attribute__((target("avx"))) void rows_avx(float* const* rows, unsigned ni, double k,
                                              const float* const* ahead, unsigned n_ahead)
{
  const int R = 4 * G;
  const unsigned half = n_ahead / 2;
  const double norm = (1.0 - k) / (1.0 + k);
  double* __restrict f = vil_exp_filter_detail::scratch<double>(std::size_t(ni) * R, 1);
  const __m256d kk = _mm256_set1_pd(k), nn = _mm256_set1_pd(norm);
  const unsigned n4 = ni / 4 * 4;
  __m256d a[G];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) a[g] = _mm256_setzero_pd();
  for (unsigned i = 0; i < n4; i += 4) {
    fetch_ahead(ahead, 0, half, i);
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
  forward_tail(rows, R, n4, ni, k, f, acc);
  backward_tail(rows, R, n4, ni, k, norm, f, acc);
  __m256d b[G];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) b[g] = _mm256_loadu_pd(acc + 4 * g);
  for (unsigned i = n4; i > 0; i -= 4) {
    const unsigned s = i - 4;
    fetch_ahead(ahead, half, n_ahead, s);
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

// 8 rows of 8 floats from column i on, as 8 columns of 8 rows (lane r of
// x[c] is rows[r][i + c]).  Rows r and r + 4 share a register, loaded half
// and half, so that a 4 x 4 transpose within each 128-bit lane does it.
__attribute__((target("avx512f"))) inline void load_8x8(const float* const* rows, unsigned i,
                                                        __m256* x)
{
  for (int h = 0; h < 2; ++h) {
    __m256 t[4];
    for (int r = 0; r < 4; ++r)
      t[r] = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(rows[r] + i + 4 * h)),
                                  _mm_loadu_ps(rows[r + 4] + i + 4 * h), 1);
    const __m256 a0 = _mm256_unpacklo_ps(t[0], t[1]), a1 = _mm256_unpackhi_ps(t[0], t[1]);
    const __m256 a2 = _mm256_unpacklo_ps(t[2], t[3]), a3 = _mm256_unpackhi_ps(t[2], t[3]);
    x[4 * h + 0] = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(1, 0, 1, 0));
    x[4 * h + 1] = _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(3, 2, 3, 2));
    x[4 * h + 2] = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(1, 0, 1, 0));
    x[4 * h + 3] = _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(3, 2, 3, 2));
  }
}

// The inverse: 8 columns of 8 rows stored back as rows from column i on.
__attribute__((target("avx512f"))) inline void store_8x8(const __m256* x, float* const* rows,
                                                         unsigned i)
{
  for (int h = 0; h < 2; ++h) {
    const __m256* c = x + 4 * h;
    const __m256 a0 = _mm256_unpacklo_ps(c[0], c[1]), a1 = _mm256_unpackhi_ps(c[0], c[1]);
    const __m256 a2 = _mm256_unpacklo_ps(c[2], c[3]), a3 = _mm256_unpackhi_ps(c[2], c[3]);
    const __m256 t[4] = {_mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(1, 0, 1, 0)),
                         _mm256_shuffle_ps(a0, a2, _MM_SHUFFLE(3, 2, 3, 2)),
                         _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(1, 0, 1, 0)),
                         _mm256_shuffle_ps(a1, a3, _MM_SHUFFLE(3, 2, 3, 2))};
    for (int r = 0; r < 4; ++r) {
      _mm_storeu_ps(rows[r] + i + 4 * h, _mm256_castps256_ps128(t[r]));
      _mm_storeu_ps(rows[r + 4] + i + 4 * h, _mm256_extractf128_ps(t[r], 1));
    }
  }
}

// GCC 12's 512-bit conversions start from an "undefined" register, which it
// then warns may be used uninitialised; every lane is written.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// The row pass over 16 rows with 8-wide doubles: one register holds a
// column of 8 rows, two such recursions overlap their latencies, and the
// rows are turned into columns 8 x 8 at a time.  Same operations in the same
// order as rows_inplace, so the same results bit for bit.
__attribute__((target("avx512f"))) void rows_avx512(float* const* rows, unsigned ni, double k,
                                                     const float* const* ahead, unsigned n_ahead)
{
  const unsigned half = n_ahead / 2;
  const int G = 2, R = 8 * G;
  const double norm = (1.0 - k) / (1.0 + k);
  double* __restrict f = vil_exp_filter_detail::scratch<double>(std::size_t(ni) * R, 1);
  const __m512d kk = _mm512_set1_pd(k), nn = _mm512_set1_pd(norm);
  const unsigned n8 = ni / 8 * 8;
  __m512d a[G];
  for (int g = 0; g < G; ++g) a[g] = _mm512_setzero_pd();
  for (unsigned i = 0; i < n8; i += 8) {
    fetch_ahead(ahead, 0, half, i);
    __m256 x[G][8];
    for (int g = 0; g < G; ++g) load_8x8(rows + 8 * g, i, x[g]);
    for (int c = 0; c < 8; ++c) {
      double* fc = f + std::size_t(i + c) * R;
      for (int g = 0; g < G; ++g) {
        a[g] = _mm512_add_pd(_mm512_mul_pd(a[g], kk), _mm512_cvtps_pd(x[g][c]));
        _mm512_storeu_pd(fc + 8 * g, a[g]);
      }
    }
  }
  double acc[R];
  for (int g = 0; g < G; ++g) _mm512_storeu_pd(acc + 8 * g, a[g]);
  forward_tail(rows, R, n8, ni, k, f, acc);
  backward_tail(rows, R, n8, ni, k, norm, f, acc);
  __m512d b[G];
  for (int g = 0; g < G; ++g) b[g] = _mm512_loadu_pd(acc + 8 * g);
  for (unsigned i = n8; i > 0; i -= 8) {
    const unsigned s = i - 8;
    fetch_ahead(ahead, half, n_ahead, s);
    __m256 x[G][8];
    for (int g = 0; g < G; ++g) load_8x8(rows + 8 * g, s, x[g]);
    for (int c = 7; c >= 0; --c) {
      const double* fc = f + std::size_t(s + c) * R;
      for (int g = 0; g < G; ++g) {
        const __m512d o = _mm512_mul_pd(nn, _mm512_add_pd(_mm512_loadu_pd(fc + 8 * g), b[g]));
        b[g] = _mm512_mul_pd(kk, _mm512_add_pd(b[g], _mm512_cvtps_pd(x[g][c])));
        x[g][c] = _mm512_cvtpd_ps(o);
      }
    }
    for (int g = 0; g < G; ++g) store_8x8(x[g], rows + 8 * g, s);
  }
}
#pragma GCC diagnostic pop

using vil_exp_filter_detail::simd_level;
const simd_level best_simd = __builtin_cpu_supports("avx512f") ? simd_level::avx512
                             : __builtin_cpu_supports("avx")   ? simd_level::avx
                                                               : simd_level::sse2;
simd_level active_simd = best_simd;
bool have_avx = best_simd >= simd_level::avx;

// column_step_forward and column_step_back 8 columns at a time in 4-wide
// doubles, same operations; each returns how far it got.
__attribute__((target("avx"))) unsigned forward_avx(const float* __restrict s,
                                                     double* __restrict a, float* __restrict d,
                                                     unsigned ni, double k, double norm,
                                                     bool stream)
{
  const __m256d kk = _mm256_set1_pd(k), nn = _mm256_set1_pd(norm);
  unsigned i = 0;
  if (stream)
    for (; i < ni && (reinterpret_cast<std::uintptr_t>(d + i) & 31) != 0; ++i) {
      a[i] = a[i] * k + double(s[i]);
      d[i] = float(norm * a[i]);
    }
  for (; i + 8 <= ni; i += 8) {
    const __m256d a0 = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(a + i), kk),
                                     _mm256_cvtps_pd(_mm_loadu_ps(s + i)));
    const __m256d a1 = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(a + i + 4), kk),
                                     _mm256_cvtps_pd(_mm_loadu_ps(s + i + 4)));
    _mm256_storeu_pd(a + i, a0);
    _mm256_storeu_pd(a + i + 4, a1);
    const __m256 out = _mm256_insertf128_ps(
        _mm256_castps128_ps256(_mm256_cvtpd_ps(_mm256_mul_pd(nn, a0))),
        _mm256_cvtpd_ps(_mm256_mul_pd(nn, a1)), 1);
    if (stream)
      _mm256_stream_ps(d + i, out);
    else
      _mm256_storeu_ps(d + i, out);
  }
  if (stream) _mm_sfence();
  return i;
}

__attribute__((target("avx"))) unsigned back_avx(const float* __restrict s,
                                                  double* __restrict a, float* __restrict d,
                                                  unsigned ni, double k, double norm)
{
  const __m256d kk = _mm256_set1_pd(k), nn = _mm256_set1_pd(norm);
  unsigned i = 0;
  for (; i + 8 <= ni; i += 8) {
    const __m256d b0 = _mm256_loadu_pd(a + i), b1 = _mm256_loadu_pd(a + i + 4);
    const __m256d o0 = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(d + i)), _mm256_mul_pd(nn, b0));
    const __m256d o1 =
        _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(d + i + 4)), _mm256_mul_pd(nn, b1));
    _mm256_storeu_ps(d + i, _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(o0)),
                                                 _mm256_cvtpd_ps(o1), 1));
    _mm256_storeu_pd(a + i, _mm256_mul_pd(kk, _mm256_add_pd(b0, _mm256_cvtps_pd(_mm_loadu_ps(s + i)))));
    _mm256_storeu_pd(a + i + 4,
                     _mm256_mul_pd(kk, _mm256_add_pd(b1, _mm256_cvtps_pd(_mm_loadu_ps(s + i + 4)))));
  }
  return i;
}

// One plane with unit i-steps: the column pass, and the row pass on each
// block of rows as soon as the backward column sweep has finished it, while
// those rows are still in cache.
void plane_float(const float* src, std::ptrdiff_t s_jstep, float* dest, std::ptrdiff_t d_jstep,
                 unsigned ni, unsigned nj, double ki, double kj)
{
  using namespace vil_exp_filter_detail;
  double* __restrict acc = scratch<double>(ni, 2);
  std::fill(acc, acc + ni, 0.0);
  // A plane much larger than the caches is written by the forward sweep
  // past them: its rows are evicted before the backward sweep anyway.
  const bool stream = std::size_t(ni) * nj * sizeof(float) > (std::size_t(16) << 20);
  for (unsigned j = 0; j < nj; ++j)
    column_step_forward(src + j * s_jstep, acc, dest + j * d_jstep, ni, kj, stream);
  std::fill(acc, acc + ni, 0.0);
  // Rows above `full` go in blocks of `block`, the rest one by one.
  const unsigned block = row_block();
  const unsigned full = nj / block * block;
  for (unsigned j = nj; j-- > 0;) {
    column_step_back(src + j * s_jstep, acc, dest + j * d_jstep, ni, kj);
    if (j >= full) {
      float* row = dest + j * d_jstep;
      row_pass(&row, 1, ni, ki);
    } else if (j % block == 0) {
      float* rows[16];
      for (unsigned r = 0; r < block; ++r) rows[r] = dest + (j + r) * d_jstep;
      const float* ahead[32];
      unsigned n_ahead = 0;
      for (unsigned r = 1; r <= block && r <= j; ++r) {
        ahead[n_ahead++] = src + (j - r) * s_jstep;
        ahead[n_ahead++] = dest + (j - r) * d_jstep;
      }
      row_pass(rows, block, ni, ki, ahead, n_ahead);
    }
  }
}
}  // namespace

void vil_exp_filter_detail::column_step_forward(const float* in, double* acc, float* out,
                                                unsigned ni, double k, bool stream)
{
  const double norm = (1.0 - k) / (1.0 + k);
  const float* __restrict s = in;
  double* __restrict a = acc;
  float* __restrict d = out;
  unsigned i = 0;
  if (have_avx) {
    i = forward_avx(s, a, d, ni, k, norm, stream);
  } else if (stream) {
    const __m128d kk = _mm_set1_pd(k), nn = _mm_set1_pd(norm);
    for (; i < ni && (reinterpret_cast<std::uintptr_t>(d + i) & 15) != 0; ++i) {
      a[i] = a[i] * k + double(s[i]);
      d[i] = float(norm * a[i]);
    }
    for (; i + 4 <= ni; i += 4) {
      const __m128 x = _mm_loadu_ps(s + i);
      const __m128d a0 = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(a + i), kk), _mm_cvtps_pd(x));
      const __m128d a1 = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(a + i + 2), kk),
                                    _mm_cvtps_pd(_mm_movehl_ps(x, x)));
      _mm_storeu_pd(a + i, a0);
      _mm_storeu_pd(a + i + 2, a1);
      _mm_stream_ps(d + i, _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(nn, a0)),
                                         _mm_cvtpd_ps(_mm_mul_pd(nn, a1))));
    }
    _mm_sfence();
  }
  for (; i < ni; ++i) {
    a[i] = a[i] * k + double(s[i]);
    d[i] = float(norm * a[i]);
  }
}

void vil_exp_filter_detail::column_step_back(const float* in, double* acc, float* out,
                                             unsigned ni, double k)
{
  const double norm = (1.0 - k) / (1.0 + k);
  const float* __restrict s = in;
  double* __restrict a = acc;
  float* __restrict d = out;
  for (unsigned i = have_avx ? back_avx(s, a, d, ni, k, norm) : 0; i < ni; ++i) {
    const double b = a[i];
    d[i] = float(double(d[i]) + norm * b);
    a[i] = k * (b + double(s[i]));
  }
}

vil_exp_filter_detail::simd_level vil_exp_filter_detail::set_simd(simd_level most)
{
  active_simd = std::min(most, best_simd);
  have_avx = active_simd >= simd_level::avx;
  return active_simd;
}

unsigned vil_exp_filter_detail::row_block() { return have_avx ? 16 : 8; }

void vil_exp_filter_detail::row_pass(float* const* rows, unsigned n, unsigned ni, double k,
                                     const float* const* ahead, unsigned n_ahead)
{
  if (n == 16 && active_simd == simd_level::avx512)
    rows_avx512(rows, ni, k, ahead, n_ahead);
  else if (n == 16 && have_avx)
    rows_avx<4>(rows, ni, k, ahead, n_ahead);
  else if (n == 8)
    rows8(rows, ni, k);
  else
    for (unsigned r = 0; r < n; ++r) rows_inplace<1>(rows + r, 1, ni, k);
}

vil_exp_filter_detail::flush_subnormals::flush_subnormals() : saved_(_mm_getcsr())
{
  _mm_setcsr(saved_ | 0x8040);  // flush-to-zero and denormals-are-zero
}

vil_exp_filter_detail::flush_subnormals::~flush_subnormals() { _mm_setcsr(saved_); }

void vil_exp_filter_2d_float(const vil_image_view<float>& src, vil_image_view<float>& dest,
                             double ki, double kj)
{
  vil_image_view<float> in = src;
  // Filtering in place would read columns the first pass already wrote.
  if (src.memory_chunk() && src.memory_chunk() == dest.memory_chunk()) in = vil_copy_deep(src);
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  const vil_exp_filter_detail::flush_subnormals flush;
  for (unsigned p = 0; p < src.nplanes(); ++p) {
    const float* s = in.top_left_ptr() + p * in.planestep();
    float* d = dest.top_left_ptr() + p * dest.planestep();
    if (in.istep() == 1 && dest.istep() == 1)
      plane_float(s, in.jstep(), d, dest.jstep(), src.ni(), src.nj(), ki, kj);
    else
      vil_exp_filter_detail::plane(s, in.istep(), in.jstep(), d, dest.istep(), dest.jstep(),
                                   src.ni(), src.nj(), ki, kj);
  }
}

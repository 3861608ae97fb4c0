// The float path's inner loops, written once with Highway and compiled for
// every instruction set it has here; the best the processor runs is picked
// at run time.  Every one gives the bits of the plain scalar code: the same
// operations in the same order, lane by lane, and no fused multiply-adds.
#include <vil/algo/vil_exp_filter_2d.h>

#include <algorithm>
#include <cstdint>
#include <vil/vil_copy_streamed.h>

// N x N transposes keep arrays of vectors, which SVE's sizeless vectors
// cannot be: processors with SVE run the NEON code of this file.
#undef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SSSE3 | HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128)
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/algo/vil_exp_filter_2d.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace vil_exp_filter_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using DF = hn::Rebind<float, D>;
using V = hn::Vec<D>;

// v as floats.  Highway's scalar DemoteTo holds infinities at the largest
// float; the plain conversion, which every vector target matches, does not.
HWY_INLINE hn::Vec<DF> ToFloat(V v)
{
#if HWY_TARGET == HWY_SCALAR
  return hn::Set(DF(), float(hn::GetLane(v)));
#else
  return hn::DemoteTo(DF(), v);
#endif
}

// The first columns with whole vectors, the rest one by one.
void ColumnStepForward(const float* in, double* acc, float* out, unsigned ni, double k,
                       bool stream_wanted)
{
  const D d;
  const DF df;
  const size_t N = hn::Lanes(d);
  // Streaming stores write whole 16-byte blocks: a shorter vector of floats
  // (SSE4's two) is stored the ordinary way.
  const bool stream = stream_wanted && N * sizeof(float) >= HWY_STREAM_MULTIPLE;
  const double norm = (1.0 - k) / (1.0 + k);
  const float* HWY_RESTRICT s = in;
  double* HWY_RESTRICT a = acc;
  float* HWY_RESTRICT o = out;
  const V kk = hn::Set(d, k), nn = hn::Set(d, norm);
  auto one = [&](unsigned i) {
    a[i] = a[i] * k + double(s[i]);
    o[i] = float(norm * a[i]);
  };
  unsigned i = 0;
  // Up to an aligned vector first: streaming stores need one.
  if (stream)
    for (; i < ni && reinterpret_cast<std::uintptr_t>(o + i) % (N * sizeof(float)) != 0; ++i)
      one(i);
  for (; i + N <= ni; i += N) {
    const V v = hn::Add(hn::Mul(hn::LoadU(d, a + i), kk), hn::PromoteTo(d, hn::LoadU(df, s + i)));
    hn::StoreU(v, d, a + i);
    const auto f = ToFloat(hn::Mul(nn, v));
    if (stream)
      hn::Stream(f, df, o + i);
    else
      hn::StoreU(f, df, o + i);
  }
  if (stream) hwy::FlushStream();
  for (; i < ni; ++i) one(i);
}

// from and out may be the same row (in place); each sample of from is read
// before out's is written.
void ColumnStepBack(const float* in, double* acc, const float* from, float* out, unsigned ni,
                    double k)
{
  const D d;
  const DF df;
  const size_t N = hn::Lanes(d);
  const double norm = (1.0 - k) / (1.0 + k);
  const float* HWY_RESTRICT s = in;
  double* HWY_RESTRICT a = acc;
  const V kk = hn::Set(d, k), nn = hn::Set(d, norm);
  unsigned i = 0;
  for (; i + N <= ni; i += N) {
    const V b = hn::LoadU(d, a + i);
    const V r = hn::Add(hn::PromoteTo(d, hn::LoadU(df, from + i)), hn::Mul(nn, b));
    hn::StoreU(ToFloat(r), df, out + i);
    hn::StoreU(hn::Mul(kk, hn::Add(b, hn::PromoteTo(d, hn::LoadU(df, s + i)))), d, a + i);
  }
  for (; i < ni; ++i) {
    const double b = a[i];
    out[i] = float(double(from[i]) + norm * b);
    a[i] = k * (b + double(s[i]));
  }
}

// Lanes of a vector of doubles, known when this is compiled.
constexpr size_t kN = hn::MaxLanes(D());
// Row recursions run kG vectors side by side, so that their latencies
// overlap: row_block rows in all.
constexpr size_t kG = row_block / kN;
static_assert(kG * kN == row_block, "a block is whole vectors");

// v[0 .. kN-1] as a kN x kN matrix (lane c of v[r] at r, c) transposed, in
// log2 kN rounds that each put the even lanes of the sequence v[0], v[1], ...
// before the odd ones.  Done on the floats, before they are widened and
// after they are narrowed: half the width, and on AVX2 within one 128-bit
// block, where a double transpose would cross blocks.
HWY_INLINE void Transpose(hn::Vec<DF>* v)
{
#if HWY_TARGET == HWY_SCALAR
  (void)v;  // one lane: nothing to do
#else
  const DF df;
  for (size_t w = 1; w < kN; w *= 2) {
    hn::Vec<DF> t[kN];
    for (size_t m = 0; m < kN / 2; ++m) {
      t[m] = hn::ConcatEven(df, v[2 * m + 1], v[2 * m]);
      t[kN / 2 + m] = hn::ConcatOdd(df, v[2 * m + 1], v[2 * m]);
    }
    for (size_t m = 0; m < kN; ++m) v[m] = t[m];
  }
#endif
}

// Columns i .. i+kN-1 of rows[0 .. kN-1] as doubles, one vector per column.
HWY_INLINE void LoadColumns(float* const* rows, unsigned i, V* x)
{
  const D d;
  const DF df;
  hn::Vec<DF> f[kN];
  for (size_t r = 0; r < kN; ++r) f[r] = hn::LoadU(df, rows[r] + i);
  Transpose(f);
  for (size_t c = 0; c < kN; ++c) x[c] = hn::PromoteTo(d, f[c]);
}

// The inverse: one vector per column stored back as rows, from column i on.
HWY_INLINE void StoreColumns(const V* x, float* const* rows, unsigned i)
{
  const DF df;
  hn::Vec<DF> f[kN];
  for (size_t c = 0; c < kN; ++c) f[c] = ToFloat(x[c]);
  Transpose(f);
  for (size_t r = 0; r < kN; ++r) hn::StoreU(f[r], df, rows[r] + i);
}

// While a row pass computes, the memory is idle: fetch the rows the caller
// reads next into the cache, one line of each per 16 columns passed.
HWY_INLINE void FetchAhead(const float* const* ahead, unsigned n_ahead, unsigned i)
{
  if (i % 16 == 0)
    for (unsigned r = 0; r < n_ahead; ++r) hwy::Prefetch(ahead[r] + i);
}

// The half passes one sample at a time, on columns [from, to) of rows[0 ..
// n-1] of a strip that starts at column i0 (sums s[(i - i0) * row_block +
// r]).  Every step is the vector code's, lane by lane.
template <bool kSecond>
void ForwardLines(float* const* rows, unsigned n, unsigned i0, unsigned from, unsigned to,
                  double k, double* acc, double* s)
{
  const double norm = (1.0 - k) / (1.0 + k);
  for (unsigned i = from; i < to; ++i)
    for (unsigned r = 0; r < n; ++r) {
      acc[r] = acc[r] * k + double(rows[r][i]);
      double& sum = s[(i - i0) * row_block + r];
      if (kSecond)
        rows[r][i] = float(norm * (acc[r] + sum));
      else
        sum = acc[r];
    }
}

template <bool kSecond>
void BackLines(float* const* rows, unsigned n, unsigned i0, unsigned from, unsigned to, double k,
               double* acc, double* s)
{
  const double norm = (1.0 - k) / (1.0 + k);
  for (unsigned i = to; i-- > from;)
    for (unsigned r = 0; r < n; ++r) {
      const double in = double(rows[r][i]);
      double& sum = s[(i - i0) * row_block + r];
      if (kSecond)
        rows[r][i] = float(norm * (sum + acc[r]));
      else
        sum = acc[r];
      acc[r] = k * (acc[r] + in);
    }
}

// The half passes on a block of row_block rows: lane r of group g's vector
// is row g * kN + r, so each step of the recursion is kG vector operations.
// Every group's columns are loaded first, then each column step runs the kG
// recursions one after the other, so that their latencies overlap.  The
// columns past the last whole vector go one by one.
template <bool kSecond>
void ForwardBlock(float* const* rows, unsigned i0, unsigned i1, double k, double* acc,
                  double* HWY_RESTRICT s, const float* const* ahead, unsigned n_ahead)
{
  const D d;
  const size_t R = row_block;
  const V kk = hn::Set(d, k), nn = hn::Set(d, (1.0 - k) / (1.0 + k));
  const unsigned iv = i0 + unsigned((i1 - i0) / kN * kN);
  V a[kG];
  for (size_t g = 0; g < kG; ++g) a[g] = hn::LoadU(d, acc + g * kN);
  for (unsigned i = i0; i < iv; i += kN) {
    FetchAhead(ahead, n_ahead, i);
    V x[kG][kN];
    for (size_t g = 0; g < kG; ++g) LoadColumns(rows + g * kN, i, x[g]);
    for (size_t c = 0; c < kN; ++c)
      for (size_t g = 0; g < kG; ++g) {
        a[g] = hn::Add(hn::Mul(a[g], kk), x[g][c]);
        double* sum = s + (i - i0 + c) * R + g * kN;
        if (kSecond)
          x[g][c] = hn::Mul(nn, hn::Add(a[g], hn::LoadU(d, sum)));
        else
          hn::StoreU(a[g], d, sum);
      }
    if (kSecond)
      for (size_t g = 0; g < kG; ++g) StoreColumns(x[g], rows + g * kN, i);
  }
  for (size_t g = 0; g < kG; ++g) hn::StoreU(a[g], d, acc + g * kN);
  ForwardLines<kSecond>(rows, R, i0, iv, i1, k, acc, s);
}

template <bool kSecond>
void BackBlock(float* const* rows, unsigned i0, unsigned i1, double k, double* acc,
               double* HWY_RESTRICT s, const float* const* ahead, unsigned n_ahead)
{
  const D d;
  const size_t R = row_block;
  const V kk = hn::Set(d, k), nn = hn::Set(d, (1.0 - k) / (1.0 + k));
  const unsigned iv = i0 + unsigned((i1 - i0) / kN * kN);
  BackLines<kSecond>(rows, R, i0, iv, i1, k, acc, s);
  V a[kG];
  for (size_t g = 0; g < kG; ++g) a[g] = hn::LoadU(d, acc + g * kN);
  for (unsigned i = iv; i > i0; i -= unsigned(kN)) {
    const unsigned c0 = i - unsigned(kN);
    FetchAhead(ahead, n_ahead, c0);
    V x[kG][kN];
    for (size_t g = 0; g < kG; ++g) LoadColumns(rows + g * kN, c0, x[g]);
    for (size_t c = kN; c-- > 0;)
      for (size_t g = 0; g < kG; ++g) {
        double* sum = s + (c0 - i0 + c) * R + g * kN;
        const V in = x[g][c];
        if (kSecond)
          x[g][c] = hn::Mul(nn, hn::Add(hn::LoadU(d, sum), a[g]));
        else
          hn::StoreU(a[g], d, sum);
        a[g] = hn::Mul(kk, hn::Add(a[g], in));
      }
    if (kSecond)
      for (size_t g = 0; g < kG; ++g) StoreColumns(x[g], rows + g * kN, c0);
  }
  for (size_t g = 0; g < kG; ++g) hn::StoreU(a[g], d, acc + g * kN);
}

// One half pass: the four cases of direction and half, for a whole block of
// rows or for fewer rows one sample at a time.
void RowHalf(float* const* rows, unsigned n, unsigned i0, unsigned i1, double k, bool forward,
             bool second, double* acc, double* sums, const float* const* ahead, unsigned n_ahead)
{
  using lines_fn = void (*)(float* const*, unsigned, unsigned, unsigned, unsigned, double,
                            double*, double*);
  using block_fn = void (*)(float* const*, unsigned, unsigned, double, double*, double*,
                            const float* const*, unsigned);
  static const lines_fn lines[2][2] = {{BackLines<false>, BackLines<true>},
                                       {ForwardLines<false>, ForwardLines<true>}};
  static const block_fn blocks[2][2] = {{BackBlock<false>, BackBlock<true>},
                                        {ForwardBlock<false>, ForwardBlock<true>}};
  if (n != row_block)
    lines[forward][second](rows, n, i0, i0, i1, k, acc, sums);
  else
    blocks[forward][second](rows, i0, i1, k, acc, sums, ahead, n_ahead);
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_exp_filter_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_exp_filter_detail
{
HWY_EXPORT(ColumnStepForward);
HWY_EXPORT(ColumnStepBack);
HWY_EXPORT(RowHalf);
}  // namespace vil_exp_filter_detail

namespace
{
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
  const bool stream = std::size_t(ni) * nj * sizeof(float) > vil_copy_streamed_above;
  for (unsigned j = 0; j < nj; ++j)
    column_step_forward(src + j * s_jstep, acc, dest + j * d_jstep, ni, kj, stream);
  std::fill(acc, acc + ni, 0.0);
  // Rows above `full` go in blocks, the rest one by one.
  const unsigned full = nj / row_block * row_block;
  for (unsigned j = nj; j-- > 0;) {
    column_step_back(src + j * s_jstep, acc, dest + j * d_jstep, ni, kj);
    if (j >= full) {
      float* row = dest + j * d_jstep;
      row_pass(&row, 1, ni, ki);
    } else if (j % row_block == 0) {
      float* rows[row_block];
      for (unsigned r = 0; r < row_block; ++r) rows[r] = dest + (j + r) * d_jstep;
      const float* ahead[2 * row_block];
      unsigned n_ahead = 0;
      for (unsigned r = 1; r <= row_block && r <= j; ++r) {
        ahead[n_ahead++] = src + (j - r) * s_jstep;
        ahead[n_ahead++] = dest + (j - r) * d_jstep;
      }
      row_pass(rows, row_block, ni, ki, ahead, n_ahead);
    }
  }
}
}  // namespace

void vil_exp_filter_detail::column_step_forward(const float* in, double* acc, float* out,
                                                unsigned ni, double k, bool stream)
{
  HWY_DYNAMIC_DISPATCH(ColumnStepForward)(in, acc, out, ni, k, stream);
}

void vil_exp_filter_detail::column_step_back(const float* in, double* acc, float* out,
                                             unsigned ni, double k)
{
  HWY_DYNAMIC_DISPATCH(ColumnStepBack)(in, acc, out, out, ni, k);
}

void vil_exp_filter_detail::column_step_back(const float* in, double* acc, const float* from,
                                             float* out, unsigned ni, double k)
{
  HWY_DYNAMIC_DISPATCH(ColumnStepBack)(in, acc, from, out, ni, k);
}

void vil_exp_filter_detail::copy_row(const float* in, float* out, unsigned n, bool stream)
{
  if (stream)
    vil_copy_streamed(in, out, std::size_t(n) * sizeof(float));
  else
    std::copy(in, in + n, out);
}

void vil_exp_filter_detail::row_pass(float* const* rows, unsigned n, unsigned ni, double k,
                                     const float* const* ahead, unsigned n_ahead)
{
  if (n != row_block) {
    for (unsigned r = 0; r < n; ++r) rows_inplace<1>(rows + r, 1, ni, k);
    return;
  }
  // The whole row as one strip: forward first, fetching the first half of
  // the rows ahead, then back with the rest.
  double* sums = scratch<double>(std::size_t(ni) * row_block, 1);
  double acc[row_block] = {};
  const unsigned half = n_ahead / 2;
  row_half(rows, n, 0, ni, k, true, false, acc, sums, ahead, half);
  std::fill(acc, acc + row_block, 0.0);
  row_half(rows, n, 0, ni, k, false, true, acc, sums, ahead + half, n_ahead - half);
}

void vil_exp_filter_detail::row_half(float* const* rows, unsigned n, unsigned i0, unsigned i1,
                                     double k, bool forward, bool second, double* acc,
                                     double* sums, const float* const* ahead, unsigned n_ahead)
{
  HWY_DYNAMIC_DISPATCH(RowHalf)(rows, n, i0, i1, k, forward, second, acc, sums, ahead, n_ahead);
}

// Flush-to-zero is a mode of the processor's floating-point unit; the C
// library's environment holds its control register (glibc names the fields).
// Elsewhere nothing changes.
vil_exp_filter_detail::flush_subnormals::flush_subnormals()
{
  std::fegetenv(&saved_);
  std::fenv_t flush = saved_;
#if defined(__GLIBC__) && defined(__x86_64__)
  flush.__mxcsr |= 0x8040;  // flush-to-zero and denormals-are-zero
#elif defined(__GLIBC__) && defined(__aarch64__)
  flush.__fpcr |= 1u << 24;  // flush-to-zero, inputs included
#endif
  std::fesetenv(&flush);
}

vil_exp_filter_detail::flush_subnormals::~flush_subnormals() { std::fesetenv(&saved_); }

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
#endif  // HWY_ONCE

// The float path's inner loops, written once with Highway and compiled for
// every instruction set it has here; the best the processor runs is picked
// at run time.  Every one gives the bits of the plain scalar code: the same
// operations in the same order, lane by lane, and no fused multiply-adds.
#include <vil/algo/vil_exp_filter_2d.h>

#include <cstdint>

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

void ColumnStepBack(const float* in, double* acc, float* out, unsigned ni, double k)
{
  const D d;
  const DF df;
  const size_t N = hn::Lanes(d);
  const double norm = (1.0 - k) / (1.0 + k);
  const float* HWY_RESTRICT s = in;
  double* HWY_RESTRICT a = acc;
  float* HWY_RESTRICT o = out;
  const V kk = hn::Set(d, k), nn = hn::Set(d, norm);
  unsigned i = 0;
  for (; i + N <= ni; i += N) {
    const V b = hn::LoadU(d, a + i);
    const V r = hn::Add(hn::PromoteTo(d, hn::LoadU(df, o + i)), hn::Mul(nn, b));
    hn::StoreU(ToFloat(r), df, o + i);
    hn::StoreU(hn::Mul(kk, hn::Add(b, hn::PromoteTo(d, hn::LoadU(df, s + i)))), d, a + i);
  }
  for (; i < ni; ++i) {
    const double b = a[i];
    o[i] = float(double(o[i]) + norm * b);
    a[i] = k * (b + double(s[i]));
  }
}

void CopyRow(const float* in, float* out, unsigned n, bool stream)
{
  const hn::ScalableTag<float> d;
  const size_t N = hn::Lanes(d);
  unsigned i = 0;
  if (stream) {
    for (; i < n && reinterpret_cast<std::uintptr_t>(out + i) % (N * sizeof(float)) != 0; ++i)
      out[i] = in[i];
    for (; i + N <= n; i += N) hn::Stream(hn::LoadU(d, in + i), d, out + i);
    hwy::FlushStream();
  }
  std::copy(in + i, in + n, out + i);
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
// reads next into the cache, one line of each per 16 columns passed, the
// first half of them during the forward pass and the rest going back.
HWY_INLINE void FetchAhead(const float* const* ahead, unsigned from, unsigned to, unsigned i)
{
  if (i % 16 == 0)
    for (unsigned r = from; r < to; ++r) hwy::Prefetch(ahead[r] + i);
}

// The scalar ends of a block row pass, with the forward sums laid out
// f[i * R + r].  The forward end carries the sums in acc on over columns
// [from, ni); the backward end starts from 0 at the far end, writes those
// columns' results and leaves in acc the sums the vector part goes on with.
void ForwardEnd(float* const* rows, unsigned from, unsigned ni, double k, double* f, double* acc)
{
  const size_t R = row_block;
  for (unsigned i = from; i < ni; ++i)
    for (size_t r = 0; r < R; ++r) {
      acc[r] = acc[r] * k + double(rows[r][i]);
      f[i * R + r] = acc[r];
    }
}

void BackwardEnd(float* const* rows, unsigned from, unsigned ni, double k, double norm,
                 const double* f, double* acc)
{
  const size_t R = row_block;
  for (size_t r = 0; r < R; ++r) acc[r] = 0;
  for (unsigned i = ni; i-- > from;)
    for (size_t r = 0; r < R; ++r) {
      const double in = double(rows[r][i]);
      rows[r][i] = float(norm * (f[i * R + r] + acc[r]));
      acc[r] = k * (acc[r] + in);
    }
}

// The row pass over one block of rows: lane r of group g's vector is row
// g * kN + r, so each step of the recursion is kG vector operations.  Same
// operations in the same order as rows_inplace, so the same bits.
void RowBlock(float* const* rows, unsigned ni, double k, const float* const* ahead,
              unsigned n_ahead)
{
  const D d;
  const size_t R = row_block;
  const unsigned half = n_ahead / 2;
  const double norm = (1.0 - k) / (1.0 + k);
  double* HWY_RESTRICT f = scratch<double>(std::size_t(ni) * R, 1);
  const V kk = hn::Set(d, k), nn = hn::Set(d, norm);
  const unsigned nv = unsigned(ni / kN * kN);
  V a[kG];
  for (size_t g = 0; g < kG; ++g) a[g] = hn::Zero(d);
  // Every group's columns are loaded first, then each column step runs the
  // kG recursions one after the other, so that their latencies overlap.
  for (unsigned i = 0; i < nv; i += kN) {
    FetchAhead(ahead, 0, half, i);
    V x[kG][kN];
    for (size_t g = 0; g < kG; ++g) LoadColumns(rows + g * kN, i, x[g]);
    for (size_t c = 0; c < kN; ++c)
      for (size_t g = 0; g < kG; ++g) {
        a[g] = hn::Add(hn::Mul(a[g], kk), x[g][c]);
        hn::StoreU(a[g], d, f + (i + c) * R + g * kN);
      }
  }
  double acc[R];
  for (size_t g = 0; g < kG; ++g) hn::StoreU(a[g], d, acc + g * kN);
  ForwardEnd(rows, nv, ni, k, f, acc);
  BackwardEnd(rows, nv, ni, k, norm, f, acc);
  for (size_t g = 0; g < kG; ++g) a[g] = hn::LoadU(d, acc + g * kN);
  for (unsigned i = nv; i > 0; i -= kN) {
    const unsigned s = i - unsigned(kN);
    FetchAhead(ahead, half, n_ahead, s);
    V x[kG][kN];
    for (size_t g = 0; g < kG; ++g) LoadColumns(rows + g * kN, s, x[g]);
    for (size_t c = kN; c-- > 0;)
      for (size_t g = 0; g < kG; ++g) {
        const V out = hn::Mul(nn, hn::Add(hn::LoadU(d, f + (s + c) * R + g * kN), a[g]));
        a[g] = hn::Mul(kk, hn::Add(a[g], x[g][c]));
        x[g][c] = out;
      }
    for (size_t g = 0; g < kG; ++g) StoreColumns(x[g], rows + g * kN, s);
  }
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_exp_filter_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_exp_filter_detail
{
HWY_EXPORT(ColumnStepForward);
HWY_EXPORT(ColumnStepBack);
HWY_EXPORT(CopyRow);
HWY_EXPORT(RowBlock);
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
  const bool stream = std::size_t(ni) * nj * sizeof(float) > (std::size_t(16) << 20);
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
  HWY_DYNAMIC_DISPATCH(ColumnStepBack)(in, acc, out, ni, k);
}

void vil_exp_filter_detail::copy_row(const float* in, float* out, unsigned n, bool stream)
{
  HWY_DYNAMIC_DISPATCH(CopyRow)(in, out, n, stream);
}

void vil_exp_filter_detail::row_pass(float* const* rows, unsigned n, unsigned ni, double k,
                                     const float* const* ahead, unsigned n_ahead)
{
  if (n == row_block)
    HWY_DYNAMIC_DISPATCH(RowBlock)(rows, ni, k, ahead, n_ahead);
  else
    for (unsigned r = 0; r < n; ++r) rows_inplace<1>(rows + r, 1, ni, k);
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

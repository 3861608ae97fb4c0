#ifndef vil_exp_filter_2d_h_
#define vil_exp_filter_2d_h_
// The symmetric exponential filter of vil_exp_filter_1d applied along i
// with factor ki and along j with factor kj, to every plane.
//
// The filter is separable, so the order of the two directions only changes
// rounding; this one filters the columns first (src -> dest, whole rows of
// columns at once, so memory is walked row by row) and then the rows in
// place in dest, a few rows together so that their recursions overlap.
// Work lines are kept from call to call: nothing of image size is allocated.
#include <algorithm>
#include <cfenv>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>
#include <vil/vil_copy.h>
#include <vil/vil_image_view.h>
#include <vil/algo/vil_exp_filter_1d.h>

namespace vil_exp_filter_detail
{
// Work lines kept per thread: 0 and 1 for the row pass, 2 for the column
// pass's accumulators (the row pass runs while those are live).
template <class T>
T* scratch(std::size_t n, int which)
{
  static thread_local std::vector<T> buf[3];
  if (buf[which].size() < n) buf[which].resize(n);
  return buf[which].data();
}

// Column pass of one plane: dest(i, j) = filter of src(i, .) along j.
// Forward over the rows keeping one accumulator per column, then backward.
template <class srcT, class destT, class accumT>
void columns(const srcT* src, std::ptrdiff_t s_istep, std::ptrdiff_t s_jstep, destT* dest,
             std::ptrdiff_t d_istep, std::ptrdiff_t d_jstep, unsigned ni, unsigned nj, accumT k)
{
  const accumT norm = (accumT(1) - k) / (accumT(1) + k);
  accumT* __restrict acc = scratch<accumT>(ni, 2);
  std::fill(acc, acc + ni, accumT(0));
  const bool unit = s_istep == 1 && d_istep == 1;
  for (unsigned j = 0; j < nj; ++j) {
    const srcT* __restrict s = src + j * s_jstep;
    destT* __restrict d = dest + j * d_jstep;
    if (unit)
      for (unsigned i = 0; i < ni; ++i) {
        const accumT a = acc[i] * k + accumT(s[i]);
        acc[i] = a;
        d[i] = destT(norm * a);
      }
    else
      for (unsigned i = 0; i < ni; ++i) {
        const accumT a = acc[i] * k + accumT(s[i * s_istep]);
        acc[i] = a;
        d[i * d_istep] = destT(norm * a);
      }
  }
  std::fill(acc, acc + ni, accumT(0));
  for (unsigned j = nj; j-- > 0;) {
    const srcT* __restrict s = src + j * s_jstep;
    destT* __restrict d = dest + j * d_jstep;
    if (unit)
      for (unsigned i = 0; i < ni; ++i) {
        const accumT b = acc[i];
        d[i] = destT(accumT(d[i]) + norm * b);
        acc[i] = k * (b + accumT(s[i]));
      }
    else
      for (unsigned i = 0; i < ni; ++i) {
        const accumT b = acc[i];
        d[i * d_istep] = destT(accumT(d[i * d_istep]) + norm * b);
        acc[i] = k * (b + accumT(s[i * s_istep]));
      }
  }
}

// Row pass over R rows at once, in place.  The rows' samples are gathered
// into work lines laid out [i][r], so the R recursions run side by side.
template <int R, class T, class accumT>
void rows_inplace(T* const* rows, std::ptrdiff_t istep, unsigned ni, accumT k)
{
  const accumT norm = (accumT(1) - k) / (accumT(1) + k);
  accumT* __restrict in = scratch<accumT>(std::size_t(ni) * R, 0);
  accumT* __restrict f = scratch<accumT>(std::size_t(ni) * R, 1);
  for (int r = 0; r < R; ++r) {
    const T* row = rows[r];
    for (unsigned i = 0; i < ni; ++i) in[i * R + r] = accumT(row[i * istep]);
  }
  accumT acc[R];
  for (int r = 0; r < R; ++r) acc[r] = 0;
  for (unsigned i = 0; i < ni; ++i)
    for (int r = 0; r < R; ++r) {
      acc[r] = acc[r] * k + in[i * R + r];
      f[i * R + r] = acc[r];
    }
  for (int r = 0; r < R; ++r) acc[r] = 0;
  for (unsigned i = ni; i-- > 0;)
    for (int r = 0; r < R; ++r) {
      f[i * R + r] = norm * (f[i * R + r] + acc[r]);
      acc[r] = k * (acc[r] + in[i * R + r]);
    }
  for (int r = 0; r < R; ++r) {
    T* row = rows[r];
    for (unsigned i = 0; i < ni; ++i) row[i * istep] = T(f[i * R + r]);
  }
}

// The whole 2-D filter of one plane; src and dest must not overlap.
template <class srcT, class destT, class accumT>
void plane(const srcT* src, std::ptrdiff_t s_istep, std::ptrdiff_t s_jstep, destT* dest,
           std::ptrdiff_t d_istep, std::ptrdiff_t d_jstep, unsigned ni, unsigned nj, accumT ki,
           accumT kj)
{
  if constexpr (std::is_floating_point<destT>::value) {
    columns(src, s_istep, s_jstep, dest, d_istep, d_jstep, ni, nj, kj);
    const unsigned R = 8;
    unsigned j = 0;
    for (; j + R <= nj; j += R) {
      destT* rows[R];
      for (unsigned r = 0; r < R; ++r) rows[r] = dest + (j + r) * d_jstep;
      rows_inplace<R>(rows, d_istep, ni, ki);
    }
    for (; j < nj; ++j) {
      destT* row = dest + j * d_jstep;
      rows_inplace<1>(&row, d_istep, ni, ki);
    }
  } else {
    // Integer results: keep the column pass in accumT so that the only
    // rounding is the final one.
    accumT* tmp = scratch<accumT>(std::size_t(ni) * nj, 1);
    columns(src, s_istep, s_jstep, tmp, 1, std::ptrdiff_t(ni), ni, nj, kj);
    for (unsigned j = 0; j < nj; ++j)
      vil_exp_filter_1d(tmp + std::size_t(j) * ni, 1, dest + j * d_jstep, d_istep, int(ni), ki);
  }
}
}  // namespace vil_exp_filter_detail

namespace vil_exp_filter_detail
{
// One row's step of the column recursion with factor k, which runs down a
// whole row of columns at once (acc holds one sum per column, ni values).
// Forward, centre included: acc = k * acc + in, out = norm * acc, with norm
// = (1 - k) / (1 + k); stream writes out past the caches, for images far
// larger than they are.  Back, centre excluded: out += norm * acc, then
// acc = k * (acc + in).  in and out must not overlap.
void column_step_forward(const float* in, double* acc, float* out, unsigned ni, double k,
                         bool stream);
void column_step_back(const float* in, double* acc, float* out, unsigned ni, double k);
// The same from the row `from` into out: out = from + norm * acc.
void column_step_back(const float* in, double* acc, const float* from, float* out, unsigned ni,
                      double k);

// out[0 .. n-1] = in[0 .. n-1], past the caches when stream.
void copy_row(const float* in, float* out, unsigned n, bool stream);

// How many rows row_pass filters together.
const unsigned row_block = 16;

// The row pass of the float path, in place: each of rows[0 .. n-1] (ni
// floats, unit step) filtered along i with factor k.  Blocks of row_block
// rows run side by side; any other n goes row by row.  ahead[0 .. n_ahead-1]
// are rows of ni floats the caller reads next: a block pass fetches them
// into the cache as it computes, so that memory and arithmetic overlap.
void row_pass(float* const* rows, unsigned n, unsigned ni, double k,
              const float* const* ahead = nullptr, unsigned n_ahead = 0);

// The row pass on a strip of columns [i0, i1) of rows[0 .. n-1] (n <=
// row_block), for workers that each own a strip of the same rows.  It is two
// halves, one each way along the rows (forward or not), taken in either
// order: the first keeps its sums in sums[(i - i0) * row_block + r], the
// second (second = true) combines them with its own into the filtered rows.
// acc[0 .. n-1] carries a direction's sums over the strip's edges: forward,
// in from the strip on the left (0 at the image's left edge) and out to the
// one on the right; back, the other way round.  Any cut into strips gives
// row_pass's bits.  Each half fetches the rows ahead[0 .. n_ahead-1] over
// its columns.
void row_half(float* const* rows, unsigned n, unsigned i0, unsigned i1, double k, bool forward,
              bool second, double* acc, double* sums, const float* const* ahead = nullptr,
              unsigned n_ahead = 0);

// Far from any edge the sums decay towards 0 and, over a wide flat area,
// into subnormal numbers, which many processors handle many times slower.
// While one of these lives they are flushed to 0 (a change below 1e-38).
class flush_subnormals
{
 public:
  flush_subnormals();
  ~flush_subnormals();
  flush_subnormals(const flush_subnormals&) = delete;
  flush_subnormals& operator=(const flush_subnormals&) = delete;

 private:
  std::fenv_t saved_;
};
}  // namespace vil_exp_filter_detail

// The fast path of the cost pipeline (float in, float out, double sums),
// compiled once with full optimisation.
void vil_exp_filter_2d_float(const vil_image_view<float>& src, vil_image_view<float>& dest,
                             double ki, double kj);

// dest (resized to src's size and planes) = src filtered along i with ki
// and along j with kj.  src and dest may be the same image.
template <class srcT, class destT, class accumT>
void vil_exp_filter_2d(const vil_image_view<srcT>& src, vil_image_view<destT>& dest, accumT ki,
                       accumT kj)
{
  if constexpr (std::is_same<srcT, float>::value && std::is_same<destT, float>::value &&
                std::is_same<accumT, double>::value) {
    vil_exp_filter_2d_float(src, dest, ki, kj);
    return;
  }
  vil_image_view<srcT> in = src;
  if (src.memory_chunk() && src.memory_chunk() == dest.memory_chunk()) in = vil_copy_deep(src);
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  for (unsigned p = 0; p < src.nplanes(); ++p)
    vil_exp_filter_detail::plane(in.top_left_ptr() + p * in.planestep(), in.istep(), in.jstep(),
                                 dest.top_left_ptr() + p * dest.planestep(), dest.istep(),
                                 dest.jstep(), src.ni(), src.nj(), ki, kj);
}

#endif

#include <vil/algo/vil_smooth_gradient_rms.h>

#include <algorithm>
#include <cstddef>
#include <vector>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/vil_math.h>

void vil_smooth_gradient_rms(const vil_image_view<vxl_byte>& src, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value)
{
  using namespace vil_exp_filter_detail;
  const unsigned ni = src.ni(), nj = src.nj();
  dest.set_size(ni, nj, 1);
  // Scratch that is dest itself, or shares its pixels, is replaced by an
  // image of its own for this call.
  vil_image_view<float> own_work;
  const bool shared = &scratch == &dest ||
                      (scratch.memory_chunk() && scratch.memory_chunk() == dest.memory_chunk());
  vil_image_view<float>& work = shared ? own_work : scratch;
  work.set_size(ni, nj, 1);
  if (dest.istep() != 1 || work.istep() != 1) {
    // Views into other images' memory: the calls one after the other.
    vil_gradient_rms_3x3(src, dest);
    vil_exp_filter_2d<float, float, double>(dest, work, k, k);
    vil_exp_filter_2d<float, float, double>(work, dest, k, k);
    vil_math_value_range(dest, min_value, max_value);
    return;
  }
  min_value = max_value = 0.0f;
  if (ni == 0 || nj == 0) return;

  const flush_subnormals flush;
  // One gradient row and the two filters' column sums, kept from call to call.
  static thread_local std::vector<float> grad;
  static thread_local std::vector<double> sums1, sums2;
  if (grad.size() < ni) grad.resize(ni);
  if (sums1.size() < ni) sums1.resize(ni), sums2.resize(ni);
  float* g = grad.data();
  double* acc1 = sums1.data();
  double* acc2 = sums2.data();
  auto w = [&](unsigned j) { return work.top_left_ptr() + j * work.jstep(); };
  auto d = [&](unsigned j) { return dest.top_left_ptr() + j * dest.jstep(); };
  // Rows of an image far larger than the caches, written in one sweep and
  // read only in the next, are written past the caches.
  const bool stream = std::size_t(ni) * nj * sizeof(float) > (std::size_t(16) << 20);
  // Rows are filtered in blocks of `block` from the top; those from `full`
  // down one by one.
  const unsigned block = row_block;
  const unsigned full = nj / block * block;
  float* rows[row_block];
  const float* ahead[2 * row_block];

  // Down: the gradient into dest, and the first filter's column sums from
  // above, centre included, into work.
  vil_gradient_rms_detail::start_sweep(src);
  std::fill(acc1, acc1 + ni, 0.0);
  for (unsigned j = 0; j < nj; ++j) {
    vil_gradient_rms_detail::row(src, j, g);
    copy_row(g, d(j), ni, stream);
    column_step_forward(g, acc1, w(j), ni, k, stream);
  }

  // Up: the first filter's columns completed with the sums from below, its
  // rows filtered a block at a time as they are finished (still in cache),
  // and then, on those rows, the second filter's column sums from below,
  // centre included, into dest, whose gradient rows are used up by then.
  std::fill(acc1, acc1 + ni, 0.0);
  std::fill(acc2, acc2 + ni, 0.0);
  for (unsigned j = nj; j-- > 0;) {
    column_step_back(d(j), acc1, w(j), ni, k);
    const unsigned n = j >= full ? 1 : j % block == 0 ? block : 0;
    for (unsigned r = 0; r < n; ++r) rows[r] = w(j + r);
    unsigned n_ahead = 0;
    for (unsigned r = 1; n == block && r <= block && r <= j; ++r) {
      ahead[n_ahead++] = w(j - r);
      ahead[n_ahead++] = d(j - r);
    }
    row_pass(rows, n, ni, k, ahead, n_ahead);
    for (unsigned r = n; r-- > 0;) column_step_forward(w(j + r), acc2, d(j + r), ni, k, stream);
  }

  // Down: the second filter's columns completed with the sums from above,
  // its rows filtered a block at a time, and the range taken on them.
  std::fill(acc2, acc2 + ni, 0.0);
  bool any = false;
  for (unsigned j = 0; j < nj; ++j) {
    column_step_back(w(j), acc2, d(j), ni, k);
    const unsigned n = j >= full ? 1 : (j + 1) % block == 0 ? block : 0;
    for (unsigned r = 0; r < n; ++r) rows[r] = d(j + 1 - n + r);
    unsigned n_ahead = 0;
    for (unsigned r = 1; n == block && r <= block && j + r < nj; ++r) {
      ahead[n_ahead++] = w(j + r);
      ahead[n_ahead++] = d(j + r);
    }
    row_pass(rows, n, ni, k, ahead, n_ahead);
    for (unsigned r = 0; r < n; ++r)
      vil_math_detail::add_to_range(rows[r], 1, ni, any, min_value, max_value);
  }
}

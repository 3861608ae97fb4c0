#include <vil/algo/vil_smooth_gradient_rms.h>

#include <algorithm>
#include <cstddef>
#include <vector>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_math.h>

void vil_smooth_gradient_rms(const vil_image_view<vxl_byte>& src, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value, unsigned n_threads)
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

  // Workers get column strips of whole 64-byte lines for the recursions down
  // and up the columns, and bands of whole row blocks for the row passes; a
  // worker for every 16K pixels at most.
  const std::size_t most = std::max<std::size_t>(1, std::size_t(ni) * nj >> 14);
  vil_thread_team team(unsigned(std::min<std::size_t>({n_threads, most, (ni + 15) / 16})));
  // The two filters' column sums, a strip to each worker.
  std::vector<double> sums1(ni), sums2(ni);
  struct range
  {
    bool any = false;
    float lo = 0, hi = 0;
  };
  std::vector<range> ranges(team.size());
  auto w = [&](unsigned j) { return work.top_left_ptr() + j * work.jstep(); };
  auto d = [&](unsigned j) { return dest.top_left_ptr() + j * dest.jstep(); };
  // Rows of an image far larger than the caches, written in one sweep and
  // read only in the next, are written past the caches.
  const bool stream = std::size_t(ni) * nj * sizeof(float) > (std::size_t(16) << 20);

  team.run([&](unsigned t) {
    const flush_subnormals flush;  // a mode of each thread's own
    const unsigned n = team.size();
    const unsigned i0 = vil_thread_team::part_begin(ni, n, t, 16);
    const unsigned wi = vil_thread_team::part_begin(ni, n, t + 1, 16) - i0;
    double* acc1 = sums1.data() + i0;
    double* acc2 = sums2.data() + i0;
    // The sweeps up and down go a block of rows at a time: the column steps
    // of a block on every strip, then its row passes on every band.  One
    // worker takes row_block rows, so that a block is still in cache when
    // its rows are filtered; more share blocks of about 1 MB.
    const unsigned block =
        n == 1 ? row_block : std::max(row_block, (1u << 18) / ni / row_block * row_block);
    const unsigned blocks = (nj + block - 1) / block;
    auto first = [&](unsigned q) { return q * block; };
    auto end = [&](unsigned q) { return std::min(nj, (q + 1) * block); };
    // This worker's share of block q's row passes on image rows row(j):
    // groups of row_block rows from the block's top, the rows below the last
    // whole group one by one; each group fetches ahead the rows the sweep
    // (up or down) reads next.  Down, the range is taken on the rows.
    range& r = ranges[t];
    auto row_passes = [&](unsigned q, bool up, auto row) {
      const unsigned groups = (end(q) - first(q) + row_block - 1) / row_block;
      for (unsigned g = vil_thread_team::part_begin(groups, n, t, 1);
           g < vil_thread_team::part_begin(groups, n, t + 1, 1); ++g) {
        const unsigned top = first(q) + g * row_block;
        const unsigned rows_here = std::min(row_block, nj - top);
        float* rows[row_block];
        for (unsigned m = 0; m < rows_here; ++m) rows[m] = row(top + m);
        const float* ahead[2 * row_block];
        unsigned n_ahead = 0;
        for (unsigned m = 1; rows_here == row_block && m <= row_block; ++m) {
          const unsigned j = up ? top - m : top + row_block - 1 + m;
          if (up ? m > top : j >= nj) break;
          ahead[n_ahead++] = w(j);
          ahead[n_ahead++] = d(j);
        }
        if (rows_here == row_block) {
          row_pass(rows, row_block, ni, k, ahead, n_ahead);
        } else {
          for (unsigned m = 0; m < rows_here; ++m) row_pass(rows + m, 1, ni, k);
        }
        if (!up)
          for (unsigned m = 0; m < rows_here; ++m)
            vil_math_detail::add_to_range(rows[m], 1, ni, r.any, r.lo, r.hi);
      }
    };
    auto forward2 = [&](unsigned q) {
      for (unsigned j = end(q); j-- > first(q);)
        column_step_forward(w(j) + i0, acc2, d(j) + i0, wi, k, stream);
    };

    // Down: the gradient into dest, and the first filter's column sums from
    // above, centre included, into work.
    std::vector<float> grad(wi);
    vil_gradient_rms_detail::start_sweep(src, i0, i0 + wi);
    std::fill(acc1, acc1 + wi, 0.0);
    for (unsigned j = 0; j < nj; ++j) {
      vil_gradient_rms_detail::row(src, j, i0, i0 + wi, grad.data());
      copy_row(grad.data(), d(j) + i0, wi, stream);
      column_step_forward(grad.data(), acc1, w(j) + i0, wi, k, stream);
    }

    // Up: the first filter's columns completed with the sums from below, its
    // rows filtered a block at a time as they are finished (still in cache),
    // and then, on those rows, the second filter's column sums from below,
    // centre included, into dest, whose gradient rows are used up by then.
    std::fill(acc1, acc1 + wi, 0.0);
    std::fill(acc2, acc2 + wi, 0.0);
    for (unsigned q = blocks; q-- > 0;) {
      if (q + 1 < blocks) forward2(q + 1);
      for (unsigned j = end(q); j-- > first(q);)
        column_step_back(d(j) + i0, acc1, w(j) + i0, wi, k);
      team.sync();
      row_passes(q, true, w);
      team.sync();
    }
    forward2(0);

    // Down: the second filter's columns completed with the sums from above,
    // its rows filtered a block at a time, and the range taken on them.
    std::fill(acc2, acc2 + wi, 0.0);
    for (unsigned q = 0; q < blocks; ++q) {
      for (unsigned j = first(q); j < end(q); ++j)
        column_step_back(w(j) + i0, acc2, d(j) + i0, wi, k);
      team.sync();
      row_passes(q, false, d);
    }
  });
  // Ranges merged in worker order: min and max of the same values.
  bool any = false;
  for (const range& r : ranges) {
    if (!r.any) continue;
    if (!any || r.lo < min_value) min_value = r.lo;
    if (!any || r.hi > max_value) max_value = r.hi;
    any = true;
  }
}

#include <vil/algo/vil_smooth_gradient_rms.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/algo/vil_thread_progress.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_copy_streamed.h>
#include <vil/vil_math.h>

namespace
{
// The gradient's rows, computed from the 8-bit image as they are needed.
struct rows_of_image
{
  const vil_image_view<vxl_byte>& src;
  // On a worker, before each sweep over the columns [i0, i1).
  void start(unsigned i0, unsigned i1) const { vil_gradient_rms_detail::start_sweep(src, i0, i1); }
  // Columns i0 .. i1-1 of row j, in buf (i1 - i0 floats) or elsewhere.
  const float* row(unsigned j, unsigned i0, unsigned i1, float* buf) const
  {
    vil_gradient_rms_detail::row(src, j, i0, i1, buf);
    return buf;
  }
};

// The gradient's rows read from an image of them.
struct rows_of_gradient
{
  const vil_image_view<float>& gradient;
  void start(unsigned, unsigned) const {}
  const float* row(unsigned j, unsigned i0, unsigned, float*) const
  {
    return gradient.top_left_ptr() + j * gradient.jstep() + i0;
  }
};

bool shares_memory(const vil_image_view<float>& a, const vil_image_view<float>& b)
{
  return &a == &b || (a.memory_chunk() && a.memory_chunk() == b.memory_chunk());
}

// Whether a block of row_block rows `pitch` floats apart crowds into a few
// sets of a cache that maps addresses 4096 bytes apart to the same set (a
// common L1 data cache), as rows of 1024, 2048 or 4096 floats do: the row
// passes, which read such a block column by column, then evict their own
// lines.
bool rows_crowd(std::ptrdiff_t pitch)
{
  using vil_exp_filter_detail::row_block;
  if (pitch > -64 && pitch < 64) return false;  // short rows share lines instead
  unsigned in_set[64] = {};
  for (unsigned r = 0; r < row_block; ++r) {
    const std::size_t line = std::size_t(r * pitch) * sizeof(float) / 64;
    if (++in_set[line % 64] > 4) return true;
  }
  return false;
}

// The pitch, in floats, of rows ni long made a cache line longer, so that
// they no longer crowd.
std::ptrdiff_t longer_pitch(unsigned ni) { return std::ptrdiff_t(ni) + 16; }

// work sized to ni x nj, one plane.  Where plain rows would crowd the cache,
// it is given rows a cache line longer, and keeps them from call to call;
// a view of the right size with other steps is left as it is.
void size_work(vil_image_view<float>& work, unsigned ni, unsigned nj)
{
  const bool sized = work.ni() == ni && work.nj() == nj && work.nplanes() == 1;
  if (sized && (work.istep() != 1 || !rows_crowd(work.jstep()))) return;
  if (!rows_crowd(std::ptrdiff_t(ni))) {
    if (sized) work = vil_image_view<float>();
    work.set_size(ni, nj, 1);
    return;
  }
  const std::ptrdiff_t pitch = longer_pitch(ni);
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(std::size_t(pitch), std::size_t(nj) * sizeof(float), &bytes)) {
    work.set_size(ni, nj, 1);  // reports and leaves it empty, as any image too large
    return;
  }
  auto chunk = std::make_shared<vil_memory_chunk>(bytes, VIL_PIXEL_FORMAT_FLOAT);
  work = vil_image_view<float>(chunk, static_cast<float*>(chunk->data()), ni, nj, 1, 1, pitch,
                               pitch * std::ptrdiff_t(nj));
}

// The three sweeps.  The first writes the gradient's rows into `kept`, when
// given, for the second to read there rather than get them from `gradient`
// again; kept may be dest, whose gradient rows the second sweep uses up
// before it writes them.
template <class gradient_rows>
void smooth_sweeps(const gradient_rows& gradient, unsigned ni, unsigned nj, double k,
                   vil_image_view<float>& dest, vil_image_view<float>& work,
                   vil_image_view<float>* kept, float& min_value, float& max_value,
                   unsigned n_threads)
{
  using namespace vil_exp_filter_detail;
  min_value = max_value = 0.0f;
  if (ni == 0 || nj == 0) return;

  // Each worker owns a strip of columns, of whole 64-byte lines, through all
  // three sweeps: the gradient and the column recursions need nothing from
  // the other strips, and a row pass only the sums that cross a strip's
  // edges, which neighbours hand each other through `progress`.  So workers
  // never wait at a barrier, and each strip stays in its worker's caches.
  // A strip is 64 columns at least.
  vil_thread_team team(
      std::min(vil_thread_team::for_pixels(n_threads, std::size_t(ni) * nj), (ni + 63) / 64));
  const unsigned n_max = team.size();
  // The row passes go in groups of row_block rows; the rows below the last
  // whole group form a group of their own.
  const unsigned groups = (nj + row_block - 1) / row_block;
  // Of a group's two half passes, the second comes `lag` groups after the
  // first, so that a worker has work of its own while its neighbours catch up.
  const unsigned lag = n_max / 2;
  // Column sums of the two filters, a strip to each worker; the first halves'
  // sums, lag + 1 groups of a strip per worker; the sums that cross the
  // strips' edges, for each row sweep (2), direction (2), worker and group.
  std::vector<double> sums1(ni), sums2(ni), halves((lag + 1) * std::size_t(ni) * row_block);
  std::vector<double> edges(4 * std::size_t(n_max) * groups * row_block);
  vil_thread_progress progress(4 * n_max);
  struct range
  {
    bool any = false;
    float lo = 0, hi = 0;
  };
  std::vector<range> ranges(n_max);
  // Where dest's rows crowd the cache, the second filter's rows are filtered
  // in rows of a worker's own, a cache line longer (lag + 1 groups of them,
  // of which a worker touches its strip only), and then copied to dest.
  const bool through = rows_crowd(dest.jstep());
  const std::size_t pitch = std::size_t(longer_pitch(ni));
  const std::size_t ring = (lag + 1) * std::size_t(row_block);
  std::unique_ptr<float[]> own_rows(through ? new float[n_max * ring * pitch] : nullptr);
  auto w = [&](unsigned j) { return work.top_left_ptr() + j * work.jstep(); };
  auto d = [&](unsigned j) { return dest.top_left_ptr() + j * dest.jstep(); };
  // Rows of an image far larger than the caches, written in one sweep and
  // read only in the next, are written past the caches.
  const bool stream = std::size_t(ni) * nj * sizeof(float) > vil_copy_streamed_above;
  auto kept_row = [&](unsigned j) -> float* {
    return kept ? kept->top_left_ptr() + j * kept->jstep() : nullptr;
  };

  team.run([&](unsigned t) {
    const flush_subnormals flush;  // a mode of each thread's own
    const unsigned n = team.size();
    const unsigned i0 = vil_thread_team::part_begin(ni, n, t, 64);
    const unsigned i1 = vil_thread_team::part_begin(ni, n, t + 1, 64), wi = i1 - i0;
    double* acc1 = sums1.data() + i0;
    double* acc2 = sums2.data() + i0;
    double* my_halves = halves.data() + (lag + 1) * std::size_t(i0) * row_block;
    // The forward sums come in from the left and the backward ones from the
    // right, so the left half of the workers go forward first and the right
    // half back first: no first half waits for a second one.
    const bool forward_first = 2 * t < n;

    // Half pass (the first or the second) of group q, in the order of row
    // sweep s, on this strip of rows[0 .. m-1].
    auto half = [&](unsigned s, unsigned q, bool second, float* const* rows, unsigned m,
                    const float* const* ahead, unsigned n_ahead) {
      const bool forward = forward_first != second;
      const bool from_left = forward && t > 0, from_right = !forward && t + 1 < n;
      const bool to_right = forward && t + 1 < n, to_left = !forward && t > 0;
      const unsigned counters = (2 * s + (forward ? 0 : 1)) * n_max;
      auto edge = [&](unsigned worker) {
        return edges.data() + ((counters + worker) * std::size_t(groups) + q) * row_block;
      };
      double acc[row_block] = {};
      if (from_left || from_right) {
        const unsigned from = from_left ? t - 1 : t + 1;
        progress.wait(counters + from, q + 1);
        std::copy(edge(from), edge(from) + m, acc);
      }
      double* sums = my_halves + (q % (lag + 1)) * std::size_t(wi) * row_block;
      row_half(rows, m, i0, i1, k, forward, second, acc, sums, ahead, n_ahead);
      if (to_right || to_left) {
        std::copy(acc, acc + m, edge(t));
        progress.post(counters + t, q + 1);
      }
    };

    // Row sweep s, up or down the image over the groups of rows of `image`:
    // for each group, column_step(j) on its rows in the sweep's order, its
    // first half pass, then the second half pass of the group `lag` before
    // and finish(j) on that group's rows.  The half passes fetch the rows the
    // next group's column steps read: of work, and other(j) where not null.
    auto row_sweep = [&](unsigned s, bool up, auto image, auto other, auto column_step,
                         auto finish) {
      auto top = [&](unsigned q) { return (up ? groups - 1 - q : q) * row_block; };
      auto height = [&](unsigned q) { return std::min(row_block, nj - top(q)); };
      auto each_row = [&](unsigned q, auto f) {
        const unsigned j0 = top(q), m = height(q);
        for (unsigned r = 0; r < m; ++r) f(up ? j0 + m - 1 - r : j0 + r);
      };
      auto halves_of = [&](unsigned q, bool second, unsigned next) {
        float* rows[row_block];
        const unsigned m = height(q);
        for (unsigned r = 0; r < m; ++r) rows[r] = image(top(q) + r);
        const float* ahead[2 * row_block];
        unsigned n_ahead = 0;
        if (next < groups)
          each_row(next, [&](unsigned j) {
            ahead[n_ahead++] = w(j);
            if (const float* o = other(j)) ahead[n_ahead++] = o;
          });
        const unsigned h = n_ahead / 2;
        half(s, q, second, rows, m, second ? ahead + h : ahead, second ? n_ahead - h : h);
      };
      for (unsigned q = 0; q < groups + lag; ++q) {
        if (q < groups) {
          each_row(q, column_step);
          halves_of(q, false, q + 1);
        }
        if (q >= lag) {
          halves_of(q - lag, true, q + 1);
          each_row(q - lag, finish);
        }
      }
    };

    // Down: the first filter's column sums from above, centre included, of
    // the gradient into work; the gradient into kept too.
    std::vector<float> grad(wi);
    gradient.start(i0, i1);
    std::fill(acc1, acc1 + wi, 0.0);
    for (unsigned j = 0; j < nj; ++j) {
      const float* g = gradient.row(j, i0, i1, grad.data());
      if (kept) copy_row(g, kept_row(j) + i0, wi, stream);
      column_step_forward(g, acc1, w(j) + i0, wi, k, stream);
    }

    // Up: the first filter's columns completed with the sums from below, its
    // rows filtered as they are finished (still in cache), and then, on those
    // rows, the second filter's column sums from below, centre included, into
    // dest.
    gradient.start(i0, i1);
    std::fill(acc1, acc1 + wi, 0.0);
    std::fill(acc2, acc2 + wi, 0.0);
    row_sweep(
        0, true, w, kept_row,
        [&](unsigned j) {
          const float* in = kept ? kept_row(j) + i0 : gradient.row(j, i0, i1, grad.data());
          column_step_back(in, acc1, w(j) + i0, wi, k);
        },
        [&](unsigned j) { column_step_forward(w(j) + i0, acc2, d(j) + i0, wi, k, stream); });

    // Down: the second filter's columns completed with the sums from above,
    // its rows filtered, and the range taken on them.
    std::fill(acc2, acc2 + wi, 0.0);
    range& r = ranges[t];
    if (!through) {
      row_sweep(
          1, false, d, d, [&](unsigned j) { column_step_back(w(j) + i0, acc2, d(j) + i0, wi, k); },
          [&](unsigned j) { vil_math_detail::add_to_range(d(j) + i0, 1, wi, r.any, r.lo, r.hi); });
      return;
    }
    auto own = [&](unsigned j) {
      const std::size_t slot = (j / row_block) % (lag + 1) * row_block + j % row_block;
      return own_rows.get() + (t * ring + slot) * pitch;
    };
    row_sweep(
        1, false, own, d,
        [&](unsigned j) { column_step_back(w(j) + i0, acc2, d(j) + i0, own(j) + i0, wi, k); },
        [&](unsigned j) {
          vil_math_detail::add_to_range(own(j) + i0, 1, wi, r.any, r.lo, r.hi);
          copy_row(own(j) + i0, d(j) + i0, wi, stream);
        });
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
}  // namespace

void vil_smooth_gradient_rms(const vil_image_view<vxl_byte>& src, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value, unsigned n_threads,
                             vil_image_view<float>* gradient)
{
  const unsigned ni = src.ni(), nj = src.nj();
  dest.set_size(ni, nj, 1);
  // Scratch that is dest itself, or shares its pixels, is replaced by an
  // image of its own for this call; so is a gradient that shares either's.
  vil_image_view<float> own_work;
  vil_image_view<float>& work = shares_memory(scratch, dest) ? own_work : scratch;
  size_work(work, ni, nj);
  if (gradient == &dest || gradient == &scratch) gradient = nullptr;  // it cannot be both
  if (gradient) {
    if (shares_memory(*gradient, dest) || shares_memory(*gradient, work))
      *gradient = vil_image_view<float>();
    gradient->set_size(ni, nj, 1);
  }
  if (dest.istep() != 1 || work.istep() != 1 || (gradient && gradient->istep() != 1)) {
    // Views into other images' memory: the calls one after the other.
    vil_gradient_rms_3x3(src, dest);
    if (gradient) gradient->deep_copy(dest);
    vil_exp_filter_2d<float, float, double>(dest, work, k, k);
    vil_exp_filter_2d<float, float, double>(work, dest, k, k);
    vil_math_value_range(dest, min_value, max_value);
    return;
  }
  // The gradient of one plane is computed again going up rather than written
  // out and read back, unless the caller keeps it: that costs less than the
  // memory.  Of several planes it costs more, and dest holds it meanwhile.
  vil_image_view<float>* kept = gradient ? gradient : src.nplanes() > 1 ? &dest : nullptr;
  smooth_sweeps(rows_of_image{src}, ni, nj, k, dest, work, kept, min_value, max_value, n_threads);
}

void vil_smooth_gradient_rms(const vil_image_view<float>& gradient, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value, unsigned n_threads)
{
  // Held by a view of its own, in case dest is the gradient's.
  vil_image_view<float> g = gradient;
  const unsigned ni = g.ni(), nj = g.nj();
  if (ni > 0 && nj > 0 && g.istep() != 1) g.deep_copy(gradient);  // the sweeps read unit steps
  // Outputs that share the gradient's pixels would overwrite it while it is
  // read: they get images of their own.
  if (&dest == &gradient || shares_memory(dest, g)) dest = vil_image_view<float>();
  dest.set_size(ni, nj, 1);
  vil_image_view<float> own_work;
  const bool own = &scratch == &gradient || shares_memory(scratch, dest) || shares_memory(scratch, g);
  vil_image_view<float>& work = own ? own_work : scratch;
  size_work(work, ni, nj);
  if (dest.istep() != 1 || work.istep() != 1) {
    vil_exp_filter_2d<float, float, double>(g, work, k, k);
    vil_exp_filter_2d<float, float, double>(work, dest, k, k);
    vil_math_value_range(dest, min_value, max_value);
    return;
  }
  smooth_sweeps(rows_of_gradient{g}, ni, nj, k, dest, work, nullptr, min_value, max_value,
                n_threads);
}

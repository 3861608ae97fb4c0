#include <vil/algo/vil_gradient_rms_3x3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include <vil/algo/vil_thread_team.h>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/algo/vil_gradient_rms_3x3.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

// Per pixel the unscaled Sobel responses di, dj (|d| <= 1020) of every plane
// are squared and summed as integers; the sum stays below 2^24, so it is
// exact both as int and as float.  Sobel-then-rms in float gives the same
// value bit for bit: each gradient is an integer over 8, each square and
// partial sum exact, then one division by 2 * nplanes and one sqrt, as here.
HWY_BEFORE_NAMESPACE();
namespace vil_gradient_rms_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// One plane's part of an output row, from the plane's rows a, b, c (above,
// at and below; unit step) that start one column left of the first output:
// for q = 0 .. n-1, di^2 + dj^2 at column q + 1 of a, b, c, plus sums_in[q]
// when given.  That goes to sums_out[q], or, when out is given, out[q] gets
// the root mean square over nplanes2 responses, sqrt(sum / 64 / nplanes2).
// sums_in and sums_out may be the same.
void PlaneRow(const vxl_byte* a, const vxl_byte* b, const vxl_byte* c, unsigned n,
              const int32_t* sums_in, int32_t* sums_out, float* out, float nplanes2)
{
  const hn::ScalableTag<int32_t> d;
  const hn::RebindToUnsigned<decltype(d)> du;
  const hn::Rebind<uint8_t, decltype(d)> d8;
  const hn::Rebind<float, decltype(d)> df;
  const size_t N = hn::Lanes(d);
  const float scale = 1.0f / 64.0f;  // (1/8)^2, exact
  // When nplanes2 is a power of two both steps are exact scalings, and one
  // multiplication gives the same bits as the division.
  const bool pow2 = (unsigned(nplanes2) & (unsigned(nplanes2) - 1)) == 0;
  const auto both = hn::Set(df, scale / nplanes2), scale_v = hn::Set(df, scale),
             np_v = hn::Set(df, nplanes2);
  auto load = [&](const vxl_byte* p) {
    return hn::BitCast(d, hn::PromoteTo(du, hn::LoadU(d8, p)));
  };
  unsigned i = 0;
  for (; i + N <= n; i += N) {
    const auto al = load(a + i), am = load(a + i + 1), ar = load(a + i + 2);
    const auto bl = load(b + i), br = load(b + i + 2);
    const auto cl = load(c + i), cm = load(c + i + 1), cr = load(c + i + 2);
    const auto di = hn::Add(hn::Add(hn::Sub(ar, al), hn::Sub(cr, cl)),
                            hn::ShiftLeft<1>(hn::Sub(br, bl)));
    const auto dj = hn::Add(hn::Add(hn::Sub(cl, al), hn::Sub(cr, ar)),
                            hn::ShiftLeft<1>(hn::Sub(cm, am)));
    auto sum = hn::Add(hn::Mul(di, di), hn::Mul(dj, dj));
    if (sums_in) sum = hn::Add(sum, hn::LoadU(d, sums_in + i));
    if (!out) {
      hn::StoreU(sum, d, sums_out + i);
      continue;
    }
    const auto f = hn::ConvertTo(df, sum);
    const auto m = pow2 ? hn::Mul(f, both) : hn::Div(hn::Mul(f, scale_v), np_v);
    hn::StoreU(hn::Sqrt(m), df, out + i);
  }
  for (; i < n; ++i) {
    const int di = (int(a[i + 2]) - a[i]) + 2 * (int(b[i + 2]) - b[i]) + (int(c[i + 2]) - c[i]);
    const int dj = (int(c[i]) - a[i]) + 2 * (int(c[i + 1]) - a[i + 1]) +
                   (int(c[i + 2]) - a[i + 2]);
    const int32_t sum = di * di + dj * dj + (sums_in ? sums_in[i] : 0);
    if (out)
      out[i] = std::sqrt(float(sum) * scale / nplanes2);
    else
      sums_out[i] = sum;
  }
}

// Splits the first pixels of an interleaved row s (np = 2, 3 or 4 samples
// per pixel, plane after plane) into lines[0 .. np-1], a vector of pixels
// at a time.  Returns how many pixels it did.
unsigned SplitRow(const vxl_byte* s, unsigned ni, unsigned np, vxl_byte* const* lines)
{
  const hn::ScalableTag<uint8_t> d;
  const size_t N = hn::Lanes(d);
  auto v0 = hn::Zero(d), v1 = v0, v2 = v0, v3 = v0;
  unsigned i = 0;
  for (; i + N <= ni; i += N) {
    const vxl_byte* p = s + std::size_t(i) * np;
    if (np == 2) hn::LoadInterleaved2(d, p, v0, v1);
    if (np == 3) hn::LoadInterleaved3(d, p, v0, v1, v2);
    if (np == 4) hn::LoadInterleaved4(d, p, v0, v1, v2, v3);
    hn::StoreU(v0, d, lines[0] + i);
    hn::StoreU(v1, d, lines[1] + i);
    if (np >= 3) hn::StoreU(v2, d, lines[2] + i);
    if (np == 4) hn::StoreU(v3, d, lines[3] + i);
  }
  return i;
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_gradient_rms_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_gradient_rms_detail
{
HWY_EXPORT(PlaneRow);
HWY_EXPORT(SplitRow);

namespace
{
// Rows of an image whose planes are not unit-step lines (interleaved
// colour), copied out plane by plane into a ring of three rows, so that
// each image row is copied once however many output rows use it.  Only the
// columns [from, from + ni) of a row are kept.
struct row_ring
{
  std::vector<vxl_byte> lines;  // [slot][plane][i]
  long held[3] = {-1, -1, -1};  // image row in each slot
  unsigned from = 0, ni = 0, np = 0;

  void reset(unsigned from_, unsigned ni_, unsigned np_)
  {
    from = from_;
    ni = ni_;
    np = np_;
    if (lines.size() < std::size_t(3) * np * ni) lines.resize(std::size_t(3) * np * ni);
    held[0] = held[1] = held[2] = -1;
  }
  const vxl_byte* row(const vil_image_view<vxl_byte>& src, unsigned j, unsigned p)
  {
    const unsigned slot = j % 3;
    vxl_byte* base = lines.data() + std::size_t(slot) * np * ni;
    if (held[slot] != long(j)) {
      const vxl_byte* s = src.top_left_ptr() + j * src.jstep() + from * src.istep();
      vxl_byte* lines_of[4];
      unsigned done = 0;
      if (np >= 2 && np <= 4 && src.istep() == std::ptrdiff_t(np) && src.planestep() == 1) {
        for (unsigned q = 0; q < np; ++q) lines_of[q] = base + std::size_t(q) * ni;
        done = HWY_DYNAMIC_DISPATCH(SplitRow)(s, ni, np, lines_of);
      }
      for (unsigned q = 0; q < np; ++q) {
        vxl_byte* line = base + std::size_t(q) * ni;
        const vxl_byte* sq = s + q * src.planestep();
        for (unsigned i = done; i < ni; ++i) line[i] = sq[i * src.istep()];
      }
      held[slot] = j;
    }
    return base + std::size_t(p) * ni;
  }
};

// Work lines of the worker on this thread, kept from call to call (the
// pipeline runs on every slider move): one row of sums and, for
// interleaved planes, three row copies.
thread_local std::vector<int32_t> sums;
thread_local row_ring ring;

// The columns whose responses are computed: all but the first and last.
unsigned inner_begin(unsigned i0) { return std::max(i0, 1u); }
unsigned inner_end(unsigned i1, unsigned ni) { return std::min(i1, ni - 1); }
}  // namespace
}  // namespace vil_gradient_rms_detail

void vil_gradient_rms_detail::start_sweep(const vil_image_view<vxl_byte>& src, unsigned i0,
                                          unsigned i1)
{
  if (sums.size() < i1 - i0) sums.resize(i1 - i0);
  if (src.istep() != 1 && src.ni() >= 3 && i0 < i1) {
    // The columns either side of those computed are read too.
    const unsigned from = inner_begin(i0) - 1, to = inner_end(i1, src.ni()) + 1;
    ring.reset(from, to > from ? to - from : 0, src.nplanes());
  }
}

void vil_gradient_rms_detail::row(const vil_image_view<vxl_byte>& src, unsigned j, unsigned i0,
                                  unsigned i1, float* d)
{
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  const unsigned lo = ni < 3 ? i1 : inner_begin(i0), hi = ni < 3 ? i1 : inner_end(i1, ni);
  if (nj < 3 || np == 0 || j == 0 || j + 1 == nj || lo >= hi) {
    std::fill(d, d + (i1 - i0), 0.0f);
    return;
  }
  // The border columns are 0, like Sobel's.
  if (i0 == 0) d[0] = 0.0f;
  if (i1 == ni) d[ni - 1 - i0] = 0.0f;
  // The planes' sums gather in `sums`; the last plane's pass finishes them.
  int32_t* acc = sums.data();
  for (unsigned p = 0; p < np; ++p) {
    const vxl_byte *a, *b, *c;
    if (src.istep() == 1) {
      b = src.top_left_ptr() + p * src.planestep() + j * src.jstep() + (lo - 1);
      a = b - src.jstep();
      c = b + src.jstep();
    } else {
      a = ring.row(src, j - 1, p);
      b = ring.row(src, j, p);
      c = ring.row(src, j + 1, p);
    }
    const bool last = p + 1 == np;
    HWY_DYNAMIC_DISPATCH(PlaneRow)(a, b, c, hi - lo, p == 0 ? nullptr : acc, acc,
                                   last ? d + (lo - i0) : nullptr, float(2 * np));
  }
}

void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest,
                          unsigned n_threads)
{
  const unsigned ni = src.ni(), nj = src.nj();
  dest.set_size(ni, nj, 1);
  if (ni == 0 || nj == 0) return;
  // Row bands.
  vil_thread_team team(vil_thread_team::for_pixels(n_threads, std::size_t(ni) * nj));
  team.run([&](unsigned t) {
    const unsigned n = team.size();
    vil_gradient_rms_detail::start_sweep(src, 0, ni);
    std::vector<float> line(dest.istep() == 1 ? 0 : ni);
    for (unsigned j = vil_thread_team::part_begin(nj, n, t, 1);
         j < vil_thread_team::part_begin(nj, n, t + 1, 1); ++j) {
      float* d = dest.top_left_ptr() + j * dest.jstep();
      if (dest.istep() == 1) {
        vil_gradient_rms_detail::row(src, j, 0, ni, d);
      } else {
        vil_gradient_rms_detail::row(src, j, 0, ni, line.data());
        for (unsigned i = 0; i < ni; ++i) d[i * dest.istep()] = line[i];
      }
    }
  });
}
#endif  // HWY_ONCE

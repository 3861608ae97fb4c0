#include <vil/algo/vil_gradient_rms_3x3.h>

#include <cmath>
#include <cstring>
#include <emmintrin.h>  // SSE2, part of every x86-64
#include <vector>

// Per pixel the unscaled Sobel responses di, dj (|d| <= 1020) of every plane
// are squared and summed as integers; the sum stays below 2^24, so it is
// exact both as int and as float.  Sobel-then-rms in float gives the same
// value bit for bit: each gradient is an integer over 8, each square and
// partial sum exact, then one division by 2 * nplanes and one sqrt, as here.
namespace
{
// acc[i] += di^2 + dj^2 for i in 1 .. ni-2, from three rows of one plane
// with unit step.  Eight pixels at a time in 16-bit lanes; pmaddwd squares
// and adds each (di, dj) pair into 32 bits.
void add_plane_row(const vxl_byte* a, const vxl_byte* b, const vxl_byte* c, unsigned ni, int* acc)
{
  unsigned i = 1;
  const __m128i zero = _mm_setzero_si128();
  auto load8 = [&](const vxl_byte* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
  };
  for (; i + 9 <= ni; i += 8) {
    const __m128i al = load8(a + i - 1), am = load8(a + i), ar = load8(a + i + 1);
    const __m128i bl = load8(b + i - 1), br = load8(b + i + 1);
    const __m128i cl = load8(c + i - 1), cm = load8(c + i), cr = load8(c + i + 1);
    const __m128i di = _mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(ar, al), _mm_sub_epi16(cr, cl)),
                                     _mm_slli_epi16(_mm_sub_epi16(br, bl), 1));
    const __m128i dj = _mm_add_epi16(_mm_add_epi16(_mm_sub_epi16(cl, al), _mm_sub_epi16(cr, ar)),
                                     _mm_slli_epi16(_mm_sub_epi16(cm, am), 1));
    const __m128i lo = _mm_unpacklo_epi16(di, dj), hi = _mm_unpackhi_epi16(di, dj);
    __m128i* out = reinterpret_cast<__m128i*>(acc + i);
    _mm_storeu_si128(out, _mm_add_epi32(_mm_loadu_si128(out), _mm_madd_epi16(lo, lo)));
    _mm_storeu_si128(out + 1, _mm_add_epi32(_mm_loadu_si128(out + 1), _mm_madd_epi16(hi, hi)));
  }
  for (; i + 1 < ni; ++i) {
    const int di = (int(a[i + 1]) - a[i - 1]) + 2 * (int(b[i + 1]) - b[i - 1]) +
                   (int(c[i + 1]) - c[i - 1]);
    const int dj = (int(c[i - 1]) - a[i - 1]) + 2 * (int(c[i]) - a[i]) +
                   (int(c[i + 1]) - a[i + 1]);
    acc[i] += di * di + dj * dj;
  }
}

// Rows of an image whose planes are not unit-step lines (interleaved
// colour), copied out plane by plane into a ring of three rows, so that
// each image row is copied once however many output rows use it.
struct row_ring
{
  std::vector<vxl_byte> lines;  // [slot][plane][i]
  long held[3] = {-1, -1, -1};  // image row in each slot
  unsigned ni = 0, np = 0;

  void reset(unsigned ni_, unsigned np_)
  {
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
      const vxl_byte* s = src.top_left_ptr() + j * src.jstep();
      for (unsigned q = 0; q < np; ++q) {
        vxl_byte* line = base + std::size_t(q) * ni;
        const vxl_byte* sq = s + q * src.planestep();
        for (unsigned i = 0; i < ni; ++i) line[i] = sq[i * src.istep()];
      }
      held[slot] = j;
    }
    return base + std::size_t(p) * ni;
  }
};
}  // namespace

void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest)
{
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  dest.set_size(ni, nj, 1);
  if (ni < 3 || nj < 3 || np == 0) {
    dest.fill(0.0f);
    return;
  }
  // Work lines kept from call to call (the pipeline runs on every slider
  // move): one row of sums and, for interleaved planes, three row copies.
  static thread_local std::vector<int> acc;
  static thread_local row_ring ring;
  if (acc.size() < ni + 8) acc.resize(ni + 8);
  const bool unit = src.istep() == 1;
  if (!unit) ring.reset(ni, np);
  const float scale = 1.0f / 64.0f;  // (1/8)^2, exact
  const float nplanes2 = float(2 * np);
  const __m128 scale4 = _mm_set1_ps(scale), np4 = _mm_set1_ps(nplanes2);
  const std::ptrdiff_t dj_step = dest.jstep(), di_step = dest.istep();
  for (unsigned j = 0; j < nj; ++j) {
    float* d = dest.top_left_ptr() + j * dj_step;
    if (j == 0 || j + 1 == nj) {
      for (unsigned i = 0; i < ni; ++i) d[i * di_step] = 0.0f;
      continue;
    }
    std::memset(acc.data(), 0, ni * sizeof(int));
    for (unsigned p = 0; p < np; ++p) {
      if (unit) {
        const vxl_byte* b = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
        add_plane_row(b - src.jstep(), b, b + src.jstep(), ni, acc.data());
      } else {
        add_plane_row(ring.row(src, j - 1, p), ring.row(src, j, p), ring.row(src, j + 1, p), ni,
                      acc.data());
      }
    }
    d[0] = 0.0f;
    unsigned i = 1;
    if (di_step == 1)
      for (; i + 5 <= ni; i += 4) {
        const __m128 s = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(acc.data() + i)));
        _mm_storeu_ps(d + i, _mm_sqrt_ps(_mm_div_ps(_mm_mul_ps(s, scale4), np4)));
      }
    for (; i + 1 < ni; ++i) d[i * di_step] = std::sqrt(float(acc[i]) * scale / nplanes2);
    d[(ni - 1) * di_step] = 0.0f;
  }
}

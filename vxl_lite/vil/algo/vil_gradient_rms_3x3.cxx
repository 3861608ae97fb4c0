#include <vil/algo/vil_gradient_rms_3x3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>  // SSE2 (every x86-64) and, where the processor has it, AVX2
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

__attribute__((target("avx2"))) inline __m256i load16(const vxl_byte* p)
{
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The same with 16 pixels at a time, where the processor has AVX2.
__attribute__((target("avx2"))) void add_plane_row_avx2(const vxl_byte* a, const vxl_byte* b,
                                                         const vxl_byte* c, unsigned ni, int* acc)
{
  unsigned i = 1;
  for (; i + 17 <= ni; i += 16) {
    const __m256i al = load16(a + i - 1), am = load16(a + i), ar = load16(a + i + 1);
    const __m256i bl = load16(b + i - 1), br = load16(b + i + 1);
    const __m256i cl = load16(c + i - 1), cm = load16(c + i), cr = load16(c + i + 1);
    const __m256i di =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(ar, al), _mm256_sub_epi16(cr, cl)),
                         _mm256_slli_epi16(_mm256_sub_epi16(br, bl), 1));
    const __m256i dj =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(cl, al), _mm256_sub_epi16(cr, ar)),
                         _mm256_slli_epi16(_mm256_sub_epi16(cm, am), 1));
    // Unpacking works within 128-bit lanes: lo holds pixels 0-3 and 8-11,
    // hi 4-7 and 12-15.
    const __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(di, dj), _mm256_unpacklo_epi16(di, dj));
    const __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(di, dj), _mm256_unpackhi_epi16(di, dj));
    __m256i* out = reinterpret_cast<__m256i*>(acc + i);
    _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out),
                                              _mm256_permute2x128_si256(lo, hi, 0x20)));
    _mm256_storeu_si256(out + 1, _mm256_add_epi32(_mm256_loadu_si256(out + 1),
                                                  _mm256_permute2x128_si256(lo, hi, 0x31)));
  }
  if (i + 1 < ni) add_plane_row(a + i - 1, b + i - 1, c + i - 1, ni - i + 1, acc + i - 1);
}

// out[i] = sqrt(sums[i] / 64 / nplanes2) for i in [i0, i1), eight at a time;
// returns where it stopped.  When nplanes2 is a power of two both steps are
// exact scalings, and one multiplication gives the same bits as the division.
__attribute__((target("avx"))) unsigned sums_to_rms_avx(const int* sums, unsigned i0, unsigned i1,
                                                        float nplanes2, float* out)
{
  const bool pow2 = (unsigned(nplanes2) & (unsigned(nplanes2) - 1)) == 0;
  const __m256 scale8 = _mm256_set1_ps(1.0f / 64.0f), np8 = _mm256_set1_ps(nplanes2),
               both8 = _mm256_set1_ps(1.0f / 64.0f / nplanes2);
  unsigned i = i0;
  for (; i + 8 <= i1; i += 8) {
    const __m256 s = _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i)));
    const __m256 m = pow2 ? _mm256_mul_ps(s, both8) : _mm256_div_ps(_mm256_mul_ps(s, scale8), np8);
    _mm256_storeu_ps(out + i, _mm256_sqrt_ps(m));
  }
  return i;
}

const bool avx2_available = __builtin_cpu_supports("avx2");

// Splits the first pixels of an interleaved row s (np = 2, 3 or 4 samples
// per pixel, plane after plane) into lines[0 .. np-1], 16 pixels at a time:
// output byte t of plane p is input byte 16 b + m of block b, picked out of
// each of the np blocks by a byte shuffle.  Returns how many pixels it did.
__attribute__((target("ssse3"))) unsigned split_interleaved(const vxl_byte* s, unsigned ni,
                                                            unsigned np, vxl_byte* const* lines)
{
  alignas(16) vxl_byte masks[4][4][16];  // [block][plane][t]
  for (unsigned b = 0; b < np; ++b)
    for (unsigned p = 0; p < np; ++p)
      for (unsigned t = 0; t < 16; ++t) {
        const unsigned at = t * np + p;
        masks[b][p][t] = at / 16 == b ? vxl_byte(at % 16) : vxl_byte(0x80);
      }
  unsigned i = 0;
  for (; i + 16 <= ni; i += 16) {
    __m128i in[4];
    for (unsigned b = 0; b < np; ++b)
      in[b] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + std::size_t(i) * np + 16 * b));
    for (unsigned p = 0; p < np; ++p) {
      __m128i out = _mm_setzero_si128();
      for (unsigned b = 0; b < np; ++b) {
        const __m128i m = _mm_load_si128(reinterpret_cast<const __m128i*>(masks[b][p]));
        out = _mm_or_si128(out, _mm_shuffle_epi8(in[b], m));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(lines[p] + i), out);
    }
  }
  return i;
}

const bool ssse3_available = __builtin_cpu_supports("ssse3");

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
      vxl_byte* lines_of[4];
      unsigned done = 0;
      if (ssse3_available && np >= 2 && np <= 4 && src.istep() == std::ptrdiff_t(np) &&
          src.planestep() == 1) {
        for (unsigned q = 0; q < np; ++q) lines_of[q] = base + std::size_t(q) * ni;
        done = split_interleaved(s, ni, np, lines_of);
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
}  // namespace

namespace
{
// Work lines kept from call to call (the pipeline runs on every slider
// move): one row of sums and, for interleaved planes, three row copies.
thread_local std::vector<int> sums;
thread_local row_ring ring;
}  // namespace

void vil_gradient_rms_detail::start_sweep(const vil_image_view<vxl_byte>& src)
{
  if (sums.size() < src.ni() + 8) sums.resize(src.ni() + 8);
  if (src.istep() != 1) ring.reset(src.ni(), src.nplanes());
}

void vil_gradient_rms_detail::row(const vil_image_view<vxl_byte>& src, unsigned j, float* d)
{
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  if (ni < 3 || nj < 3 || np == 0 || j == 0 || j + 1 == nj) {
    std::fill(d, d + ni, 0.0f);
    return;
  }
  const auto add_row = avx2_available ? add_plane_row_avx2 : add_plane_row;
  int* acc = sums.data();
  std::memset(acc, 0, ni * sizeof(int));
  for (unsigned p = 0; p < np; ++p) {
    if (src.istep() == 1) {
      const vxl_byte* b = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      add_row(b - src.jstep(), b, b + src.jstep(), ni, acc);
    } else {
      add_row(ring.row(src, j - 1, p), ring.row(src, j, p), ring.row(src, j + 1, p), ni, acc);
    }
  }
  const float scale = 1.0f / 64.0f;  // (1/8)^2, exact
  const float nplanes2 = float(2 * np);
  const __m128 scale4 = _mm_set1_ps(scale), np4 = _mm_set1_ps(nplanes2);
  d[0] = 0.0f;
  unsigned i = avx2_available ? sums_to_rms_avx(acc, 1, ni - 1, nplanes2, d) : 1;
  for (; i + 5 <= ni; i += 4) {
    const __m128 s = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i)));
    _mm_storeu_ps(d + i, _mm_sqrt_ps(_mm_div_ps(_mm_mul_ps(s, scale4), np4)));
  }
  for (; i + 1 < ni; ++i) d[i] = std::sqrt(float(acc[i]) * scale / nplanes2);
  d[ni - 1] = 0.0f;
}

void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest)
{
  const unsigned ni = src.ni(), nj = src.nj();
  dest.set_size(ni, nj, 1);
  vil_gradient_rms_detail::start_sweep(src);
  static thread_local std::vector<float> line;
  if (dest.istep() != 1 && line.size() < ni) line.resize(ni);
  for (unsigned j = 0; j < nj; ++j) {
    float* d = dest.top_left_ptr() + j * dest.jstep();
    if (dest.istep() == 1) {
      vil_gradient_rms_detail::row(src, j, d);
    } else {
      vil_gradient_rms_detail::row(src, j, line.data());
      for (unsigned i = 0; i < ni; ++i) d[i * dest.istep()] = line[i];
    }
  }
}

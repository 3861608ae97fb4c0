#include <vil/algo/vil_stretch_percentiles.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>
#include <vil/vil_memory_chunk.h>

namespace
{
// Ranks are found a 16-bit digit at a time over keys that sort as the
// values do: one histogram, however large the image.
const int digit_bits = 16;

template <class T>
using key_of_t = std::conditional_t<
  sizeof(T) == 1, std::uint8_t,
  std::conditional_t<sizeof(T) == 2, std::uint16_t, std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <class T>
key_of_t<T> key_of(T v)
{
  typedef key_of_t<T> K;
  if constexpr (std::is_same<T, bool>::value) {
    return K(v ? 1 : 0);
  } else {
    K k;
    std::memcpy(&k, &v, sizeof k);
    const K top = K(K(1) << (8 * sizeof(K) - 1));
    // Negative floats sort backwards by their bits; signed integers after
    // the unsigned ones.
    if constexpr (std::is_floating_point<T>::value) return (k & top) ? K(~k) : K(k | top);
    if constexpr (std::is_signed<T>::value) return K(k ^ top);
    return k;
  }
}

template <class T>
T value_of(key_of_t<T> k)
{
  typedef key_of_t<T> K;
  if constexpr (std::is_same<T, bool>::value) {
    return k != 0;
  } else {
    const K top = K(K(1) << (8 * sizeof(K) - 1));
    if constexpr (std::is_floating_point<T>::value) k = (k & top) ? K(k & ~top) : K(~k);
    else if constexpr (std::is_signed<T>::value) k = K(k ^ top);
    T v;
    std::memcpy(&v, &k, sizeof v);
    return v;
  }
}

template <class T>
bool finite(T v)
{
  if constexpr (std::is_floating_point<T>::value) return std::isfinite(v);
  return true;
}

// f(v) for every sample, in any layout.
template <class T, class F>
void each_sample(const vil_image_view<T>& im, F f)
{
  for (unsigned p = 0; p < im.nplanes(); ++p)
    for (unsigned j = 0; j < im.nj(); ++j) {
      const T* s = im.top_left_ptr() + p * im.planestep() + j * im.jstep();
      for (unsigned i = 0; i < im.ni(); ++i, s += im.istep()) f(*s);
    }
}

// The finite sample of the given rank (0 the smallest; below the number of
// finite samples), one pass over the image per digit of its key.
template <class T>
T sample_of_rank(const vil_image_view<T>& im, std::uint64_t rank, std::vector<std::uint64_t>& hist)
{
  typedef key_of_t<T> K;
  const int bits = 8 * int(sizeof(K)), width = std::min(bits, digit_bits);
  const K mask = K((std::uint64_t(1) << width) - 1);
  K prefix = 0;
  for (int shift = bits - width; shift >= 0; shift -= width) {
    // The digits above this one are fixed: only keys that share them count.
    const int above = shift + width;
    std::fill(hist.begin(), hist.end(), 0);
    each_sample(im, [&](T v) {
      if (!finite(v)) return;
      const K k = key_of(v);
      if (above < bits && K(k >> above) != K(prefix >> above)) return;
      ++hist[(k >> shift) & mask];
    });
    std::size_t d = 0;
    while (d + 1 < std::size_t(mask) + 1 && rank >= hist[d]) rank -= hist[d++];
    prefix = K(prefix | K(K(d) << shift));
  }
  return value_of<T>(prefix);
}

template <class T>
bool stretch(const vil_image_view<T>& src, double lo_fraction, double hi_fraction,
             vil_image_view<vxl_byte>& dest, double& lo, double& hi)
{
  std::uint64_t n = 0;
  each_sample(src, [&n](T v) { n += finite(v) ? 1 : 0; });
  if (n == 0) return false;
  auto rank = [n](double f) {
    const double r = std::floor(std::clamp(f, 0.0, 1.0) * double(n - 1) + 0.5);
    return std::min(std::uint64_t(r), n - 1);
  };
  std::vector<std::uint64_t> hist(std::size_t(1) << std::min<int>(8 * sizeof(key_of_t<T>), digit_bits));
  const double l = double(sample_of_rank(src, rank(lo_fraction), hist));
  const double h = double(sample_of_rank(src, rank(hi_fraction), hist));

  // Interleaved, as the loaders give 8-bit images.
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  auto mem = std::make_shared<vil_memory_chunk>(std::size_t(ni) * nj * np, VIL_PIXEL_FORMAT_BYTE);
  vil_image_view<vxl_byte> out(mem, static_cast<vxl_byte*>(mem->data()), ni, nj, np, np,
                               std::ptrdiff_t(ni) * np, 1);
  // Halved, so that the widest range of doubles does not overflow.
  const double base = 0.5 * l, span = 0.5 * h - 0.5 * l;
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j) {
      const T* s = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      vxl_byte* d = out.top_left_ptr() + p + std::ptrdiff_t(j) * out.jstep();
      for (unsigned i = 0; i < ni; ++i, s += src.istep(), d += np) {
        const double v = double(*s);
        const double t = (0.5 * v - base) / span;
        // The negated tests send NaN to 0.
        *d = !(v > l) ? vxl_byte(0) : v >= h ? vxl_byte(255) : !(t > 0) ? vxl_byte(0)
           : vxl_byte(std::min(255.0, t * 255.0 + 0.5));
      }
    }
  dest = out;
  lo = l;
  hi = h;
  return true;
}

template <class T>
bool stretch_base(const vil_image_view_base& src, double lo_fraction, double hi_fraction,
                  vil_image_view<vxl_byte>& dest, double& lo, double& hi)
{
  return stretch(static_cast<const vil_image_view<T>&>(src), lo_fraction, hi_fraction, dest, lo, hi);
}
}  // namespace

bool vil_stretch_percentiles(const vil_image_view_base& src, double lo_fraction, double hi_fraction,
                             vil_image_view<vxl_byte>& dest, double& lo, double& hi)
{
  switch (src.pixel_format()) {
    case VIL_PIXEL_FORMAT_BOOL: return stretch_base<bool>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_BYTE: return stretch_base<vxl_byte>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_SBYTE: return stretch_base<vxl_sbyte>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_UINT_16: return stretch_base<vxl_uint_16>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_INT_16: return stretch_base<vxl_int_16>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_UINT_32: return stretch_base<vxl_uint_32>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_INT_32: return stretch_base<vxl_int_32>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_UINT_64: return stretch_base<vxl_uint_64>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_INT_64: return stretch_base<vxl_int_64>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_FLOAT: return stretch_base<float>(src, lo_fraction, hi_fraction, dest, lo, hi);
    case VIL_PIXEL_FORMAT_DOUBLE: return stretch_base<double>(src, lo_fraction, hi_fraction, dest, lo, hi);
    default: return false;
  }
}

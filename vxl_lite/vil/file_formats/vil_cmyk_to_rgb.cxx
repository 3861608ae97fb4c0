#include <vil/file_formats/vil_cmyk_to_rgb.h>

namespace
{
template <class T>
void convert(const T* src, std::size_t src_step, T* dst, std::size_t dst_step, std::size_t n, bool inverted)
{
  const unsigned long long max = T(~T(0));
  for (std::size_t k = 0; k < n; ++k, src += src_step, dst += dst_step) {
    // Read the whole pixel first: in place, dst overlaps it.
    unsigned long long light[4];  // max less the ink
    for (unsigned c = 0; c < 4; ++c) light[c] = inverted ? src[c] : max - src[c];
    for (unsigned c = 0; c < 3; ++c) dst[c] = T((light[c] * light[3] + max / 2) / max);
  }
}
}  // namespace

void vil_cmyk_to_rgb(const vxl_byte* src, std::size_t src_step, vxl_byte* dst, std::size_t dst_step,
                     std::size_t n, bool inverted)
{
  convert(src, src_step, dst, dst_step, n, inverted);
}

void vil_cmyk_to_rgb(const vxl_uint_16* src, std::size_t src_step, vxl_uint_16* dst, std::size_t dst_step,
                     std::size_t n, bool inverted)
{
  convert(src, src_step, dst, dst_step, n, inverted);
}

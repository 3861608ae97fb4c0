#include <vil/file_formats/vil_bgr_to_rgb.h>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/file_formats/vil_bgr_to_rgb.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace vil_bgr_to_rgb_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// Whole vectors of pixels; returns how many were converted.
std::size_t BgrToRgb(const vxl_byte* src, unsigned src_step, vxl_byte* dst, std::size_t n)
{
  const hn::ScalableTag<uint8_t> d;
  const std::size_t N = hn::Lanes(d);
  std::size_t i = 0;
  hn::Vec<decltype(d)> b, g, r, x;
  if (src_step == 3) {
    for (; i + N <= n; i += N) {
      hn::LoadInterleaved3(d, src + 3 * i, b, g, r);
      hn::StoreInterleaved3(r, g, b, d, dst + 3 * i);
    }
  } else {
    for (; i + N <= n; i += N) {
      hn::LoadInterleaved4(d, src + 4 * i, b, g, r, x);
      hn::StoreInterleaved3(r, g, b, d, dst + 3 * i);
    }
  }
  return i;
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_bgr_to_rgb_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_bgr_to_rgb_detail
{
HWY_EXPORT(BgrToRgb);
}

void vil_bgr_to_rgb(const vxl_byte* src, unsigned src_step, vxl_byte* dst, std::size_t n)
{
  std::size_t i = HWY_DYNAMIC_DISPATCH(vil_bgr_to_rgb_detail::BgrToRgb)(src, src_step, dst, n);
  for (; i < n; ++i) {
    const vxl_byte* s = src + std::size_t(src_step) * i;
    dst[3 * i] = s[2];
    dst[3 * i + 1] = s[1];
    dst[3 * i + 2] = s[0];
  }
}
#endif  // HWY_ONCE

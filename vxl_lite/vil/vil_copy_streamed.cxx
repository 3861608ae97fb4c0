#include <vil/vil_copy_streamed.h>

#include <cstdint>
#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/vil_copy_streamed.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/cache_control.h>
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace vil_copy_streamed_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// The whole aligned vectors of dest; returns the bytes copied from `begin`,
// where the first of them starts.
std::size_t CopyStreamed(const uint8_t* src, uint8_t* dest, std::size_t n, std::size_t* begin)
{
  const hn::ScalableTag<uint8_t> d;
  const std::size_t N = hn::Lanes(d);
  const std::size_t skew = reinterpret_cast<std::uintptr_t>(dest) % N;
  std::size_t i = skew == 0 ? 0 : N - skew;
  *begin = i;
  if (i >= n) return 0;
  const std::size_t end = i + (n - i) / N * N;
  for (; i < end; i += N) hn::Stream(hn::LoadU(d, src + i), d, dest + i);
  hwy::FlushStream();
  return end - *begin;
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_copy_streamed_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_copy_streamed_detail
{
HWY_EXPORT(CopyStreamed);
}

void vil_copy_streamed(const void* src, void* dest, std::size_t n_bytes)
{
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = static_cast<uint8_t*>(dest);
  std::size_t begin = 0;
  const std::size_t n = HWY_DYNAMIC_DISPATCH(vil_copy_streamed_detail::CopyStreamed)(s, d, n_bytes, &begin);
  if (n == 0) {
    if (n_bytes) std::memcpy(d, s, n_bytes);
    return;
  }
  // The unaligned head and the tail, with plain stores.
  std::memcpy(d, s, begin);
  std::memcpy(d + begin + n, s + begin + n, n_bytes - begin - n);
}
#endif  // HWY_ONCE

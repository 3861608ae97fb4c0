#include <vil/vil_convert.h>

#include <algorithm>
#include <vil/algo/vil_thread_team.h>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/vil_convert.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace vil_convert_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// The stretch in doubles, a vector at a time: NaN and negative values go to
// 0 (a comparison with NaN is false), the rest are held at 255, and the
// conversion truncates, as the pixel-by-pixel code does.
unsigned StretchRow(const float* s, vxl_byte* d, unsigned n, double a, double b)
{
  const hn::ScalableTag<double> dd;
  const hn::Rebind<float, decltype(dd)> df;
  const hn::Rebind<int32_t, decltype(dd)> di;
  const hn::Rebind<uint8_t, decltype(dd)> d8;
  const size_t N = hn::Lanes(dd);
  const auto aa = hn::Set(dd, a), bb = hn::Set(dd, b), zero = hn::Zero(dd),
             top = hn::Set(dd, 255.0);
  unsigned i = 0;
  for (; i + N <= n; i += N) {
    const auto v = hn::Mul(bb, hn::Add(hn::PromoteTo(dd, hn::LoadU(df, s + i)), aa));
    const auto held = hn::Min(hn::IfThenElseZero(hn::Ge(v, zero), v), top);
    hn::StoreU(hn::DemoteTo(d8, hn::DemoteTo(di, held)), d8, d + i);
  }
  return i;
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_convert_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_convert_detail
{
HWY_EXPORT(StretchRow);
}

void vil_convert_detail::in_row_bands(unsigned n_rows, std::size_t n_pixels, unsigned n_threads,
                                      const std::function<void(unsigned, unsigned)>& rows)
{
  vil_thread_team team(std::min(n_rows, vil_thread_team::for_pixels(n_threads, n_pixels)));
  team.run([&](unsigned t) {
    const unsigned n = team.size();
    rows(vil_thread_team::part_begin(n_rows, n, t, 1), vil_thread_team::part_begin(n_rows, n, t + 1, 1));
  });
}

unsigned vil_convert_detail::stretch_row_fast(const float* s, vxl_byte* d, unsigned n, double a,
                                              double b)
{
  return HWY_DYNAMIC_DISPATCH(StretchRow)(s, d, n, a, b);
}
#endif  // HWY_ONCE

#include <vil/vil_math.h>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "vil/vil_math.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace vil_math_detail
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// Widens [lo, hi] by row[i .. n-1] (unit step) in whole vectors and returns
// where it stopped.  A lane takes v only when v < lo (or v > hi), which a
// NaN never is.  Two pairs, so that the loop is not held up by latency.
unsigned RangeOfRow(const float* row, unsigned i, unsigned n, float& lo, float& hi)
{
  const hn::ScalableTag<float> d;
  const size_t N = hn::Lanes(d);
  auto l0 = hn::Set(d, lo), l1 = l0, h0 = hn::Set(d, hi), h1 = h0;
  for (; i + 2 * N <= n; i += 2 * N) {
    const auto v0 = hn::LoadU(d, row + i), v1 = hn::LoadU(d, row + i + N);
    l0 = hn::IfThenElse(hn::Lt(v0, l0), v0, l0);
    l1 = hn::IfThenElse(hn::Lt(v1, l1), v1, l1);
    h0 = hn::IfThenElse(hn::Gt(v0, h0), v0, h0);
    h1 = hn::IfThenElse(hn::Gt(v1, h1), v1, h1);
  }
  lo = hn::GetLane(hn::MinOfLanes(d, hn::Min(l0, l1)));
  hi = hn::GetLane(hn::MaxOfLanes(d, hn::Max(h0, h1)));
  return i;
}
}  // namespace HWY_NAMESPACE
}  // namespace vil_math_detail
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vil_math_detail
{
HWY_EXPORT(RangeOfRow);
}

void vil_math_detail::add_to_range(const float* row, std::ptrdiff_t istep, unsigned n,
                                   bool& any, float& lo, float& hi)
{
  unsigned i = 0;
  if (!any)
    for (; i < n; ++i) {
      const float v = row[i * istep];
      if (v == v) {
        lo = hi = v;
        any = true;
        break;
      }
    }
  if (!any) return;
  if (istep == 1) i = HWY_DYNAMIC_DISPATCH(RangeOfRow)(row, i, n, lo, hi);
  for (; i < n; ++i) {
    const float v = row[i * istep];
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
}

void vil_math_value_range_float(const vil_image_view<float>& view, float& min_value,
                                float& max_value)
{
  bool any = false;
  float lo = 0, hi = 0;
  for (unsigned p = 0; p < view.nplanes(); ++p)
    for (unsigned j = 0; j < view.nj(); ++j)
      vil_math_detail::add_to_range(view.top_left_ptr() + p * view.planestep() + j * view.jstep(),
                                    view.istep(), view.ni(), any, lo, hi);
  min_value = lo;
  max_value = hi;
}
#endif  // HWY_ONCE

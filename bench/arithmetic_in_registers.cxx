#include "arithmetic_in_registers.h"

// The chains are an array of vectors, which SVE's sizeless vectors cannot
// be: processors with SVE run the NEON code.
#undef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128)
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "arithmetic_in_registers.cxx"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace bench_arithmetic
{
namespace HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

// Sixteen chains keep both the multiplier and the adder busy despite their
// latencies; a multiply and an add, not a fused one, as the filters do.
double Recursions(std::size_t steps)
{
  const hn::ScalableTag<double> d;
  constexpr int kChains = 16;
  const auto k = hn::Set(d, 0.999), c = hn::Set(d, 1e-3);
  hn::Vec<decltype(d)> a[kChains];
  for (int i = 0; i < kChains; ++i) a[i] = hn::Set(d, 1.0 + i);
  for (std::size_t s = 0; s < steps; ++s)
    for (int i = 0; i < kChains; ++i) a[i] = hn::Add(hn::Mul(a[i], k), c);
  for (int i = 1; i < kChains; ++i) a[0] = hn::Add(a[0], a[i]);
  return hn::GetLane(hn::SumOfLanes(d, a[0]));
}
}  // namespace HWY_NAMESPACE
}  // namespace bench_arithmetic
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace bench_arithmetic
{
HWY_EXPORT(Recursions);

double Dispatch(std::size_t steps) { return HWY_DYNAMIC_DISPATCH(Recursions)(steps); }
}  // namespace bench_arithmetic

double arithmetic_in_registers(std::size_t steps) { return bench_arithmetic::Dispatch(steps); }
#endif

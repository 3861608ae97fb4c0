// Cost of the closed Bezier curve as the shape figure uses it (a spline
// through n points, then 20 samples per segment), of arc length by adaptive
// flattening, and of equal spacing; times are per curve.
#include <shape_data/vsml_bezier.h>

#include <cmath>
#include <vector>
#include <benchmark/benchmark.h>

namespace
{
typedef vgl_point_2d<double> pt;

// A wobbly closed outline of n points, like a snake after a run.
std::vector<pt> outline(int n)
{
  std::vector<pt> pts;
  for (int k = 0; k < n; ++k) {
    const double a = 2 * M_PI * k / n;
    const double r = 40 + 6 * std::sin(5 * a);
    pts.push_back(pt(170 + r * std::cos(a), 125 + r * std::sin(a)));
  }
  return pts;
}

void BM_SetAndSample(benchmark::State& state)
{
  const std::vector<pt> pts = outline(int(state.range(0)));
  for (auto _ : state) {
    vsml_bezier b;
    b.set(pts);
    double sum = 0;
    for (int s = 0; s < int(b.size()); ++s)
      for (int j = 0; j < 20; ++j) sum += b.value(s, j / 19.0).x();
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_SetAndSample)->Arg(10)->Arg(50)->Arg(500);

void BM_Integrate(benchmark::State& state)
{
  vsml_bezier b;
  b.set(outline(50));
  const double tol = std::pow(10.0, -double(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(b.integrate(0, 0, tol));
}
BENCHMARK(BM_Integrate)->DenseRange(2, 8, 2);

void BM_EqualSpace(benchmark::State& state)
{
  vsml_bezier b;
  b.set(outline(50));
  for (auto _ : state) benchmark::DoNotOptimize(b.equal_space(int(state.range(0)), 0, 0, 1e-4));
}
BENCHMARK(BM_EqualSpace)->Arg(50)->Arg(1000);

// The worst case the subdivision bound allows: a tolerance no curved chord
// can meet.
void BM_IntegrateZeroTolerance(benchmark::State& state)
{
  vsml_bezier b;
  b.set(outline(50));
  for (auto _ : state) benchmark::DoNotOptimize(b.integrate(0, 0, 0.0));
}
BENCHMARK(BM_IntegrateZeroTolerance);
}  // namespace

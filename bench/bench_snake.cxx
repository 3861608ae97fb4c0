// Cost of the snake: one step on 50 points, and a full run (10 passes of
// resampling then 10 steps) from a triangle, both in time per point-step
// (the "per_point_step" counter, in seconds).
#include <app/tessaly_snake.h>

#include <cmath>
#include <vector>
#include <benchmark/benchmark.h>

namespace
{
typedef vgl_point_2d<double> pt;

// 250 x 250 cost image with a soft ridge on the circle of radius 40 about
// (170, 125), much like the smoothed edge of the start image's disc.
vimt_image_2d_of<float> ring_cost(float& max_cost)
{
  vimt_image_2d_of<float> im(250, 250);
  max_cost = 0.0f;
  for (unsigned j = 0; j < 250; ++j)
    for (unsigned i = 0; i < 250; ++i) {
      const double r = std::hypot(i - 170.0, j - 125.0) - 40.0;
      const float v = float(20.0 * std::exp(-r * r / 18.0));
      im.image()(i, j) = v;
      if (v > max_cost) max_cost = v;
    }
  return im;
}

std::vector<pt> circle(std::size_t n, double radius)
{
  std::vector<pt> pts;
  for (std::size_t k = 0; k < n; ++k) {
    const double a = 2 * M_PI * k / n;
    pts.push_back(pt(170 + radius * std::cos(a), 125 + radius * std::sin(a)));
  }
  return pts;
}

void BM_OneStep50Points(benchmark::State& state)
{
  float max_cost;
  const vimt_image_2d_of<float> cost = ring_cost(max_cost);
  const std::vector<pt> start = circle(50, 46.0);
  std::vector<pt> pts = start;
  for (auto _ : state) {
    pts.assign(start.begin(), start.end());  // same start each time; no allocation
    one_snake_iteration(pts, cost, max_cost, 5.0, 0.5, 1, 0.9);
    benchmark::DoNotOptimize(pts.data());
  }
  state.counters["per_point_step"] = benchmark::Counter(
      double(start.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OneStep50Points);

// Same without pausing the timer: a step moves the points a little, so the
// later steps work near the ridge, as in a real run.
void BM_OneStep50PointsRepeated(benchmark::State& state)
{
  float max_cost;
  const vimt_image_2d_of<float> cost = ring_cost(max_cost);
  std::vector<pt> pts = circle(50, 46.0);
  for (auto _ : state) {
    one_snake_iteration(pts, cost, max_cost, 5.0, 0.5, 1, 0.9);
    benchmark::DoNotOptimize(pts.data());
  }
  state.counters["per_point_step"] = benchmark::Counter(
      50.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OneStep50PointsRepeated);

void BM_HundredStepsWithResampling(benchmark::State& state)
{
  float max_cost;
  const vimt_image_2d_of<float> cost = ring_cost(max_cost);
  const std::vector<pt> triangle = {pt(170, 70), pt(230, 160), pt(120, 170)};
  double point_steps = 0;
  for (auto _ : state) {
    std::vector<pt> pts = triangle;
    for (int pass = 0; pass < 10; ++pass) {
      resample_curve(pts, pts, 5.0, 50);
      for (int k = 0; k < 10; ++k) one_snake_iteration(pts, cost, max_cost, 5.0, 0.5, 1, 0.9);
      point_steps += 10.0 * pts.size();
    }
    benchmark::DoNotOptimize(pts.data());
  }
  state.counters["per_point_step"] =
      benchmark::Counter(point_steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HundredStepsWithResampling);
}  // namespace

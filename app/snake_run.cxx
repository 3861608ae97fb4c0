#include <app/snake_run.h>

#include <utility>

snake_run::snake_run(std::vector<vgl_point_2d<double>> start, const vimt_image_2d_of<float>& cost,
                     float max_cost, const snake_run_settings& settings)
  : pts_(std::move(start)), cost_(cost), max_cost_(max_cost), settings_(settings)
{
}

void snake_run::advance()
{
  if (done()) return;
  const snake_run_settings& s = settings_;
  if (next_step_ == 0)
    resample_curve(pts_, pts_, s.spacing, s.max_segments);
  else
    one_snake_iteration(pts_, cost_, max_cost_, s.spacing, s.weight, s.neighbour_offset,
                        s.move_fraction, s.pressure);
  pass_ = next_pass_;
  step_ = next_step_;
  if (++next_step_ > s.steps) {
    next_step_ = 0;
    ++next_pass_;
  }
}

#ifndef snake_run_h_
#define snake_run_h_
// A run of the snake taken one unit at a time: each pass's resampling, then
// each of its steps.  run_snake() loops over it in one go; the window plays
// it from a timer, one unit per tick, and both end on the same points.
#include <vector>
#include <app/tessaly_snake.h>
#include <vgl/vgl_point_2d.h>
#include <vimt/vimt_image_2d_of.h>

class snake_run
{
 public:
  // start holds the start points (at least one).  cost shares its pixels
  // with the caller's image, whose largest value is max_cost; the pixels
  // must not change while the run goes on.
  snake_run(std::vector<vgl_point_2d<double>> start, const vimt_image_2d_of<float>& cost,
            float max_cost, const snake_run_settings& settings);

  // True once every pass and step has been taken.
  bool done() const { return next_pass_ >= settings_.passes; }

  // Takes the next unit: the current pass's resampling (step 0) or its next
  // step.  Does nothing once done().
  void advance();

  // The pass (from 0) and step of the unit last taken; -1 and -1 before the
  // first.
  int pass() const { return pass_; }
  int step() const { return step_; }

  const std::vector<vgl_point_2d<double>>& points() const { return pts_; }
  const snake_run_settings& settings() const { return settings_; }

 private:
  std::vector<vgl_point_2d<double>> pts_;
  vimt_image_2d_of<float> cost_;
  float max_cost_;
  snake_run_settings settings_;
  int pass_ = -1;
  int step_ = -1;
  int next_pass_ = 0;
  int next_step_ = 0;
};

#endif

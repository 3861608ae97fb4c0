#include <cli/cli_job.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <app/snake_image_file.h>
#include <app/snake_overlay.h>
#include <app/tessaly_snake.h>
#include <cli/cli_output.h>
#include <vil/vil_convert.h>
#include <vimt/vimt_image_2d_of.h>

namespace
{
typedef vgl_point_2d<double> point;

// Mean energy of the points where they are, each with its neighbours.
double mean_energy(const std::vector<point>& pts, const vimt_image_2d_of<float>& cost,
                   float max_cost, const snake_run_settings& s)
{
  const std::size_t n = pts.size();
  if (n == 0) return 0.0;
  const std::size_t off = std::size_t(s.neighbour_offset) % n;
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    sum += evaluate_snake_point_fn(cost, max_cost, s.spacing, pts[i], pts[(i + off) % n],
                                   pts[(i + n - off) % n], s.weight);
  return sum / double(n);
}

bool save_overlay(const std::string& path, const vil_image_view<vxl_byte>& shown,
                  const std::vector<point>& pts, std::string& error)
{
  return cli_save_image(path, snake_overlay(shown, pts), error);
}
}  // namespace

bool cli_run_image(const std::string& path, const std::vector<point>& start,
                   const cli_options& opt, const cli_complain& complain)
{
  vil_image_view<vxl_byte> image;
  std::string why;
  if (!snake_load_image(path, image, why)) {
    complain(path, why);
    return false;
  }

  vimt_image_2d_of<float> cost;
  vil_image_view<float> scratch;
  float lo = 0.0f, hi = 0.0f;
  snake_cost_image(image, opt.smooth_k(), cost.image(), scratch, lo, hi);
  scratch.clear();

  // What overlays and frames show.
  vil_image_view<vxl_byte> shown = image;
  if (opt.cost) {
    shown = vil_image_view<vxl_byte>();
    vil_convert_stretch_range_known(cost.image(), lo, hi, shown);
  }

  bool ok = true;
  const std::string frames = cli_expand_name(opt.frames, path);
  const long long total = (long long)opt.run.passes * opt.run.steps;
  const int digits = std::max(3, int(std::to_string(total).size()));
  bool frames_ok = !frames.empty();
  std::string trace;
  if (!opt.trace.empty()) trace = "pass,step,points,mean_move,max_move,mean_energy\n";
  std::vector<point> before;

  std::vector<point> pts = start;
  run_snake(pts, cost, hi, opt.run, [&](int pass, int step, const std::vector<point>& now) {
    if (step > 0 && !opt.trace.empty()) {
      double sum = 0.0, most = 0.0;
      for (std::size_t k = 0; k < now.size(); ++k) {
        const double d = (now[k] - before[k]).length();
        sum += d;
        most = std::max(most, d);
      }
      trace += std::to_string(pass + 1) + "," + std::to_string(step) + "," +
               std::to_string(now.size()) + "," + snake_number(now.empty() ? 0.0 : sum / now.size()) +
               "," + snake_number(most) + "," + snake_number(mean_energy(now, cost, hi, opt.run)) + "\n";
    }
    before = now;
    if (step > 0 && frames_ok) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%0*lld.png", digits,
                    (long long)pass * opt.run.steps + step);
      const std::string frame = frames + "/" + name;
      std::string error;
      if (!save_overlay(frame, shown, now, error)) {
        complain(frame, error);
        ok = frames_ok = false;
      }
    }
  });

  snake_points_record r;
  r.image = path;
  r.ni = image.ni();
  r.nj = image.nj();
  r.weight = opt.weight;
  r.smooth = opt.smooth;
  r.run = opt.run;
  r.pts = pts;
  std::string error;
  for (const std::string& name : opt.outputs) {
    const std::string out = cli_expand_name(name, path);
    if (!cli_write_points(out, r, error)) {
      complain(out, error);
      ok = false;
    }
  }
  if (!opt.overlay.empty()) {
    const std::string out = cli_expand_name(opt.overlay, path);
    if (!save_overlay(out, shown, pts, error)) {
      complain(out, error);
      ok = false;
    }
  }
  if (!opt.trace.empty()) {
    const std::string out = cli_expand_name(opt.trace, path);
    const bool written = cli_write_text(out, trace, error);
    if (!written) {
      complain(out, error);
      ok = false;
    }
  }
  if (opt.outputs.empty() && opt.overlay.empty() && opt.frames.empty() && opt.trace.empty())
    std::cout << snake_points_csv(pts) << std::flush;
  return ok;
}

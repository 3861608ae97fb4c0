#include <cli/cli_job.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <sstream>
#include <app/snake_image_file.h>
#include <app/snake_measures.h>
#include <app/snake_overlay.h>
#include <app/snake_points_file.h>
#include <app/tessaly_snake.h>
#include <cli/cli_check_names.h>
#include <cli/cli_output.h>
#include <vil/vil_convert.h>
#include <vil/vil_load.h>
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
                  const std::vector<point>& pts, const snake_overlay_style& style, std::string& error)
{
  return cli_save_image(path, snake_overlay(shown, pts, style), error);
}

// A job's share of the memory budget, given back when the job ends.
class budget_share
{
 public:
  explicit budget_share(cli_memory_budget& budget) : budget_(budget) {}
  ~budget_share() { budget_.give(held_); }
  budget_share(const budget_share&) = delete;
  budget_share& operator=(const budget_share&) = delete;
  // Holds n bytes instead of what it held; false when n exceeds the budget.
  bool hold(std::size_t n)
  {
    budget_.give(held_);
    held_ = 0;
    if (!budget_.take(n)) return false;
    held_ = n;
    return true;
  }
  std::size_t total() const { return budget_.total(); }

 private:
  cli_memory_budget& budget_;
  std::size_t held_ = 0;
};

// This thread's loads ask `check` about each image's size while it lives.
class size_check_scope
{
 public:
  explicit size_check_scope(vil_load_size_check check) : was_(vil_load_set_size_check(std::move(check))) {}
  ~size_check_scope() { vil_load_set_size_check(std::move(was_)); }
  size_check_scope(const size_check_scope&) = delete;
  size_check_scope& operator=(const size_check_scope&) = delete;

 private:
  vil_load_size_check was_;
};

bool all_finite(const std::vector<point>& pts)
{
  return std::all_of(pts.begin(), pts.end(),
                     [](const point& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); });
}

// A closed curve that encloses nothing: fewer than 3 points, or an area
// lost in the rounding of its coordinates.
bool encloses_nothing(const std::vector<point>& pts)
{
  return pts.size() < snake_min_start_points || measure_snake(pts).orientation == 0;
}

// A snake that encloses nothing, or one so small that the next pass's
// resampling would leave fewer than 3 points of it (as a shrinking pressure
// can leave it, its points crossing over each step).
bool collapsed(const std::vector<point>& pts, const snake_run_settings& s)
{
  if (encloses_nothing(pts)) return true;
  std::vector<point> next;
  resample_curve(next, pts, s.spacing, s.max_segments);
  return next.size() < snake_min_start_points;
}

// Why a snake from start collapsed with these settings, and what to change.
std::string collapse_advice(const std::vector<point>& start, const std::vector<point>& end,
                            const cli_options& opt)
{
  std::string what = "the snake collapsed to " + std::to_string(end.size()) +
                     (end.size() == 1 ? " point" : " points") +
                     (end.size() < snake_min_start_points ? ""
                      : encloses_nothing(end)               ? " enclosing no area"
                                                            : " within a spacing of each other") + ": ";
  if (opt.run.max_segments < snake_min_start_points)
    return what + "give --max-segments 3 or more (it is " + std::to_string(opt.run.max_segments) + ")";
  if (measure_snake(start).perimeter < 3 * opt.run.spacing)
    return what + "give a --spacing below a third of the start curve's length (it is " +
           snake_number(opt.run.spacing) + ")";
  if (encloses_nothing(start)) return what + "the start points lie on one line; place them around the object";
  if (opt.pressure < 0)
    return what + "the shrinking --pressure (it is " + std::to_string(opt.pressure) +
           ") carried it through the object's edge; give one nearer 0, or less smoothing";
  return what + "start the points closer to the object's edge, or raise --weight (it is " +
         std::to_string(opt.weight) + ") so that the image holds the curve";
}

// A CSV field: quoted, its quotes doubled, when it holds a separator, a
// quote or a line break.
std::string csv_field(const std::string& text)
{
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The measures row of a frame's final points.
std::string measures_row(const cli_frame& f, const std::vector<point>& pts, double energy)
{
  const snake_measures m = measure_snake(pts);
  std::string row = csv_field(f.path) + "," + std::to_string(f.index ? f.index : 1) + "," +
                    std::to_string(m.points);
  for (double v : {m.area, m.perimeter, m.centroid_x, m.centroid_y, m.min_x, m.min_y, m.max_x, m.max_y})
    row += "," + snake_number(v);
  // A flat image has no defined energy: an empty field, never "nan".
  return row + "," + (std::isfinite(energy) ? snake_number(energy) : "") + "\n";
}

cli_outcome run_image(const cli_frame& frame, const std::vector<point>& start, const cli_options& opt,
                      budget_share& share, const cli_complain& complain, cli_frame_result& result)
{
  const std::string& path = frame.path;
  const std::string what = frame.label();
  vil_image_view<vxl_byte> image;
  // What the points files record; its smoothing factor is the cost's.
  snake_points_record r;
  std::string why;
  bool loaded = false;
  {
    size_check_scope scope([&](unsigned long long ni, unsigned long long nj, unsigned long long np,
                               unsigned bytes, std::string& refusal) {
      const std::size_t need = cli_job_need(ni, nj, np, bytes, opt);
      if (share.hold(need)) return true;
      refusal = "needs about " + cli_memory_budget::text(need) + " of memory, more than the whole budget of " +
                cli_memory_budget::text(share.total()) + " (--memory)";
      if (opt.style.zoom > 1 && (!opt.overlay.empty() || !opt.frames.empty()))
        refusal += "; a smaller --overlay-zoom than " + std::to_string(opt.style.zoom) + " needs less";
      return false;
    });
    loaded = snake_load_image(path, image, r.stretch, why, frame.page);
  }
  if (!loaded) {
    complain(what, why);
    return cli_outcome::failed;
  }
  for (const point& p : start)
    if (snake_point_far_outside(p, image.ni(), image.nj())) {
      std::ostringstream at;
      at << p.x() << ',' << p.y();
      complain(what, "the start point " + at.str() +
                         " lies more than 10 image sizes outside this " + std::to_string(image.ni()) +
                         " x " + std::to_string(image.nj()) + " image");
      return cli_outcome::misused;
    }

  r.image = path;
  r.ni = image.ni();
  r.nj = image.nj();
  r.weight = opt.weight;
  r.smooth = opt.smooth;
  r.smooth_px = opt.smooth_px;
  r.pressure = opt.pressure;
  r.run = opt.run;

  vimt_image_2d_of<float> cost;
  vil_image_view<float> scratch;
  float lo = 0.0f, hi = 0.0f;
  snake_cost_image(image, r.smooth_k(), cost.image(), scratch, lo, hi, opt.threads_per_job);
  scratch.clear();

  // What overlays and frames show.
  vil_image_view<vxl_byte> shown = image;
  if (opt.cost) {
    shown = vil_image_view<vxl_byte>();
    vil_convert_stretch_range_known(cost.image(), lo, hi, shown, opt.threads_per_job);
  }

  bool ok = true;
  const std::string frames = cli_expand_name(opt.frames, path);
  auto expand = [&](const std::string& name) { return cli_expand_name(name, path, frame.index, frame.count); };
  const std::string prefix = frame.index ? expand("%i-step-") : "frame-";
  const long long total = (long long)opt.run.passes * opt.run.steps;
  bool frames_ok = !frames.empty();
  std::string trace;
  if (!opt.trace.empty()) trace = "pass,step,points,mean_move,max_move,mean_energy,pressure\n";
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
      // A flat image has no defined energy: an empty field, never "nan".
      const double energy = mean_energy(now, cost, hi, opt.run);
      trace += std::to_string(pass + 1) + "," + std::to_string(step) + "," +
               std::to_string(now.size()) + "," + snake_number(now.empty() ? 0.0 : sum / now.size()) +
               "," + snake_number(most) + "," + (std::isfinite(energy) ? snake_number(energy) : "") + "," +
               std::to_string(opt.pressure) + "\n";
    }
    before = now;
    if (step > 0 && frames_ok) {
      const std::string frame =
          frames + "/" + cli_frame_name((long long)pass * opt.run.steps + step, total, prefix);
      std::string error;
      if (!save_overlay(frame, shown, now, opt.style, error)) {
        complain(frame, error);
        ok = frames_ok = false;
      }
    }
  });

  const bool finite = all_finite(pts);
  if (!finite) {
    complain(what, "the run gave a point that is not a finite number; no points are written");
    ok = false;
  }
  r.pts = pts;
  std::string error;
  for (const std::string& name : opt.outputs) {
    const std::string out = expand(name);
    if (finite && !cli_write_points(out, r, error)) {
      complain(out, error);
      ok = false;
    }
  }
  if (!opt.overlay.empty() && finite) {
    const std::string out = expand(opt.overlay);
    if (!save_overlay(out, shown, pts, opt.style, error)) {
      complain(out, error);
      ok = false;
    }
  }
  if (!opt.trace.empty()) {
    const std::string out = expand(opt.trace);
    if (!cli_write_text(out, trace, error)) {
      complain(out, error);
      ok = false;
    }
  }
  if (opt.outputs.empty() && opt.overlay.empty() && opt.frames.empty() && opt.trace.empty() &&
      opt.measures.empty() && finite &&
      !cli_write_standard_output(snake_points_csv(pts), error)) {
    complain("standard output", error);
    ok = false;
  }
  if (finite && !opt.measures.empty())
    result.measures = measures_row(frame, pts, mean_energy(pts, cost, hi, opt.run));
  result.pts = pts;
  if (finite && collapsed(pts, opt.run)) {
    complain(what, collapse_advice(start, pts, opt));
    ok = false;
  }
  return ok ? cli_outcome::done : cli_outcome::failed;
}
}  // namespace

std::size_t cli_job_need(unsigned long long ni, unsigned long long nj, unsigned long long nplanes,
                         unsigned bytes_per_sample, const cli_options& opt)
{
  // Measured peaks: the image (an image of more than 8 bits is brought to
  // 8 while loaded, at most a byte a sample more, then let go), then a
  // float cost image and a float work image (8 bytes a pixel); with
  // pictures, the work image gone, a colour overlay and what drawing and
  // encoding it take (about 6 a picture pixel, zoom^2 of them an image
  // pixel), and the cost shown as bytes.
  const bool pictures = !opt.overlay.empty() || !opt.frames.empty();
  const double zoom = opt.style.zoom;
  const double per_pixel = double(nplanes) * bytes_per_sample +
                           (pictures ? std::max(8.0, 4 + 6 * zoom * zoom) : 8) + (pictures && opt.cost ? 1 : 0);
  const double need = double(ni) * double(nj) * per_pixel;
  return need < double(std::size_t(-1) / 2) ? std::size_t(need) : std::size_t(-1) / 2;
}

const char* cli_measures_header()
{
  return "image,frame,points,area,perimeter,centroid_x,centroid_y,min_x,min_y,max_x,max_y,mean_energy\n";
}

cli_outcome cli_run_image(const cli_frame& frame, const std::vector<point>& start, const cli_options& opt,
                          cli_memory_budget& budget, const cli_complain& complain, cli_frame_result& result)
{
  budget_share share(budget);
  try {
    return run_image(frame, start, opt, share, complain, result);
  } catch (const std::bad_alloc&) {
    complain(frame.label(), "not enough memory (try fewer jobs at once, or a smaller --memory than " +
                                cli_memory_budget::text(budget.total()) + ")");
    return cli_outcome::failed;
  }
}

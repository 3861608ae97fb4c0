#include <app/tessaly_snake.h>
#include <app/snake_measures.h>
#include <app/snake_run.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/algo/vil_smooth_gradient_rms.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_bilin_interp.h>
#include <vil/vil_fill.h>
#include <vil/vil_math.h>

namespace
{
typedef vgl_point_2d<double> point;
typedef vgl_vector_2d<double> vec;

// The energy with the midpoint of the neighbours and the external factor
// 10 / max_cost already worked out, so that a step computes them once per
// point and per call instead of once per candidate.
inline double snake_energy(const vimt_image_2d_of<float>& cost_image, double ext_factor,
                           double spacing, const point& p, const point& m, double w)
{
  const double internal = (m - p).length() / spacing;
  const point q = cost_image.world2im()(p);
  const double g = vil_bilin_interp_safe(cost_image.image(), q.x(), q.y());
  return (1.0 - w) * internal - w * ext_factor * g;
}

inline point midpoint_of(const point& a, const point& b)
{
  return point((a.x() + b.x()) * 0.5, (a.y() + b.y()) * 0.5);
}

// Rounds halves away from zero: the integer part of x + 0.5 (x - 0.5 below 0).
// Kept in double so that huge or NaN values never reach an integer conversion.
inline double round_half_away(double x)
{
  return x >= 0.0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
}
}  // namespace

double evaluate_snake_point_fn(const vimt_image_2d_of<float>& cost_image, float max_cost,
                               double spacing, const point& p, const point& a, const point& b,
                               double w)
{
  assert(spacing > 0.0);
  // A cost image of zeros has no scale for the external term: 10 / 0 would be
  // infinite and every energy NaN.  Give that NaN without dividing, so that
  // no floating-point trap fires.
  if (max_cost == 0.0f) return std::numeric_limits<double>::quiet_NaN();
  return snake_energy(cost_image, 10.0 / double(max_cost), spacing, p, midpoint_of(a, b), w);
}

void one_snake_iteration(std::vector<point>& pts, const vimt_image_2d_of<float>& cost_image,
                         float max_cost, double spacing, double w, int d, double f, double pressure)
{
  assert(spacing > 0.0);
  const std::size_t n = pts.size();
  if (n == 0) return;
  // Every energy is NaN then, so no candidate would ever win.
  if (max_cost == 0.0f) return;
  const double ext_factor = 10.0 / double(max_cost);

  // The neighbour offset as a shift in 0 .. n-1, whatever its sign or size.
  long shift = long(d) % long(n);
  if (shift < 0) shift += long(n);
  const std::size_t off = std::size_t(shift);

  // The outward normal of a chord (b to a) is the chord turned a quarter
  // clockwise on a curve of positive area, anticlockwise otherwise.
  const double outwards = pressure == 0.0 ? 0.0 : measure_snake(pts).orientation;
  const double pressure_per_unit = pressure * outwards / spacing;

  std::vector<vec> moves(n);
  for (std::size_t i = 0; i < n; ++i) {
    const point& p = pts[i];
    const point& a = pts[(i + off) % n];
    const point& b = pts[(i + n - off) % n];
    const point m = midpoint_of(a, b);

    vec u = m - p;
    const double len = u.length();
    // The pressure's gain a unit of t along u; 0 without pressure, so that
    // the energies are then the plain ones.
    double gain = 0.0;
    if (pressure_per_unit != 0.0) {
      vec normal(a.y() - b.y(), b.x() - a.x());
      const double chord = normal.length();
      if (chord > 0.0) {
        normal /= chord;
        if (len == 0.0) u = normal;
        gain = pressure_per_unit * dot_product(len == 0.0 ? u : u / len, normal);
      }
    }
    if (len != 0.0) u /= len;

    double best_t = 0.0;
    double best_e = snake_energy(cost_image, ext_factor, spacing, p, m, w);
    double centre = 0.0;
    double step = 1.0;
    for (int level = 0; level < 4; ++level) {
      for (int k = -3; k <= 3; ++k) {
        if (k == 0) continue;
        const double t = centre + k * step;
        const double e = snake_energy(cost_image, ext_factor, spacing, p + u * t, m, w) - gain * t;
        // Only a strictly lower energy wins, so a point on a plateau stays.
        // std::isless stays quiet on NaN energies.
        if (std::isless(e, best_e)) {
          best_e = e;
          best_t = t;
        }
      }
      step *= 0.5;
      centre = best_t;
    }
    moves[i] = u * best_t;
  }

  for (std::size_t j = 0; j < n; ++j) pts[j] += moves[j] * f;
}

void resample_curve(std::vector<point>& dest, const std::vector<point>& src, double spacing,
                    unsigned max_segments)
{
  assert(spacing > 0.0);
  std::vector<point> out;  // built apart, so that dest may be src
  const std::size_t n = src.size();
  if (n == 0) {
    dest.clear();
    return;
  }

  double perimeter = 0.0;
  for (std::size_t i = 0; i < n; ++i) perimeter += (src[(i + 1) % n] - src[i]).length();

  double s = spacing;
  if (round_half_away(perimeter / s) > double(max_segments))
    s = max_segments > 0 ? perimeter / max_segments : std::numeric_limits<double>::infinity();

  // No edge is longer than the perimeter, so with the spacing capped no edge
  // needs more than max_segments points; the clamp below only keeps absurd
  // input (NaN or infinite coordinates) from asking for unbounded memory.
  const double most_per_edge = max_segments > 0 ? double(max_segments) : 1.0;

  out.push_back(src[0]);
  point p = src[0];
  for (std::size_t i = 1; i <= n; ++i) {
    const point& q = src[i % n];
    const vec v = q - p;
    const double len = v.length();
    if (len < 0.75 * s) continue;

    double md = round_half_away(len / s);
    if (!(md >= 1.0)) md = 1.0;
    if (md > most_per_edge) md = most_per_edge;
    const std::size_t m = std::size_t(md);
    const vec step = v / double(m);
    for (std::size_t k = 0; k < m; ++k) out.push_back(p + step * double(k));
    p = q;
  }
  dest = std::move(out);
}

bool snake_point_far_outside(const vgl_point_2d<double>& p, unsigned ni, unsigned nj)
{
  // How far outside [0, n - 1] v lies, in sizes n.
  auto outside = [](double v, unsigned n) { return std::max({0.0, -v, v - (double(n) - 1.0)}) / double(n); };
  return outside(p.x(), ni) > snake_most_sizes_outside || outside(p.y(), nj) > snake_most_sizes_outside;
}

double snake_weight_from_slider(int v)
{
  return std::clamp(v, 0, snake_slider_max) / 100.0;
}

double snake_pressure_from_slider(int v)
{
  return std::clamp(v, -snake_pressure_slider_max, snake_pressure_slider_max) / 100.0;
}

double snake_smooth_k_from_slider(int v)
{
  return std::clamp(v, 0, snake_slider_max) / 201.0 + 0.5;
}

double snake_smooth_k_from_px(double s)
{
  if (!(s > 0.0)) return 0.0;
  // (sqrt(1 + S^2) - 1) / S, written as S / (sqrt(1 + S^2) + 1) so that a
  // small S loses no digits.
  const double r = s / (std::sqrt(1.0 + s * s) + 1.0);
  return r * r;
}

double snake_smooth_px_from_k(double k)
{
  return k > 0.0 && k < 1.0 ? 2.0 * std::sqrt(k) / (1.0 - k) : 0.0;
}

void snake_cost_image(const vil_image_view<vxl_byte>& image, double smooth_k,
                      vil_image_view<float>& cost, vil_image_view<float>& scratch, float& lo,
                      float& hi, unsigned n_threads)
{
  if (n_threads == 0) n_threads = vil_thread_team::available();
  // In sweeps that keep neither the full-size gradient planes nor any image
  // beyond scratch.
  if (smooth_k > 0) {
    vil_smooth_gradient_rms(image, smooth_k, cost, scratch, lo, hi, n_threads);
  } else {
    vil_gradient_rms_3x3(image, cost, n_threads);
    vil_math_value_range(cost, lo, hi);
  }
}

void run_snake(std::vector<point>& pts, const vimt_image_2d_of<float>& cost, float max_cost,
               const snake_run_settings& s, const snake_step_callback& on_step)
{
  snake_run run(std::move(pts), cost, max_cost, s);
  while (!run.done()) {
    run.advance();
    if (on_step) on_step(run.pass(), run.step(), run.points());
  }
  pts = run.points();
}

void snake_start_image(vil_image_view<vxl_byte>& image)
{
  image.set_size(250, 250, 1);
  image.fill(30);
  for (unsigned j = 80; j <= 160; ++j)
    for (unsigned i = 50; i <= 110; ++i) image(i, j) = 250;
  vil_fill_disk(image, 170.0, 125.0, 40.0, vxl_byte(250));
}

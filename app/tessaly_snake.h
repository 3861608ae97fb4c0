#ifndef tessaly_snake_h_
#define tessaly_snake_h_
// The basic active contour: the energy of one snake point, one step of the
// snake, resampling a closed polygon to even spacing, and a whole run of
// passes and steps on an image's cost, as the window's "Run Snake" and
// tessaly-snake both do it.  No Qt here.
//
// A snake point list is a closed curve in world coordinates: the point after
// the last is the first, and the first is not repeated at the end.
#include <cstddef>
#include <functional>
#include <vector>
#include <vgl/vgl_point_2d.h>
#include <vil/vil_image_view.h>
#include <vimt/vimt_image_2d_of.h>
#include <vxl_config.h>

// Energy of a snake point placed at p whose neighbours are a and b:
//   (1 - w) |(a + b)/2 - p| / spacing  -  w (10 / max_cost) G
// with G the cost image sampled bilinearly at p (0 outside the image).
// spacing (world units) must be positive.  With max_cost 0 the external term
// is undefined and the result is a quiet NaN, which no comparison prefers.
double evaluate_snake_point_fn(const vimt_image_2d_of<float>& cost_image, float max_cost,
                               double spacing, const vgl_point_2d<double>& p,
                               const vgl_point_2d<double>& a, const vgl_point_2d<double>& b,
                               double w);

// One step of the snake: every point searches the line towards the midpoint
// of its neighbours (the points d places before and after it) for the lowest
// energy, coarse to fine over at most 5.625 world units either way; then every
// point moves by the fraction f of its best step.  All points search from
// their positions at the start of the step.  An empty list is left alone.
//
// pressure (-1 shrink .. 1 grow) adds a force along the curve's outward
// normal: a candidate that lies t world units outwards of the point gains
// pressure * t / spacing, so that at 1 a move of one spacing gains what the
// internal term at weight 0 charges for it, at every spacing.  Against the
// internal term's pull of (1 - w) / spacing a world unit, a pressure above
// 1 - w (below w - 1) moves points outwards (inwards) until an edge holds
// them.  The normal is the neighbours' chord turned outwards, by the sign
// of the curve's area; a point on its neighbours' midpoint then searches
// along it.  A curve that encloses no area feels no pressure, and at 0 the
// step is the one without it.
void one_snake_iteration(std::vector<vgl_point_2d<double>>& pts,
                         const vimt_image_2d_of<float>& cost_image, float max_cost,
                         double spacing, double w, int d, double f, double pressure = 0.0);

// Resamples the closed polygon src into dest with points about `spacing`
// world units apart; when that would give more than max_segments points the
// spacing is widened to perimeter / max_segments.  Vertices closer than
// 0.75 spacing to the last kept one are dropped.  The first input point
// stands twice at the head of the output whenever any edge is kept.
// dest may be the same list as src.  An empty src gives an empty dest.
void resample_curve(std::vector<vgl_point_2d<double>>& dest,
                    const std::vector<vgl_point_2d<double>>& src, double spacing,
                    unsigned max_segments);


// ---- a run, with the settings both programs share

// Fewest start points that define a closed snake.
const std::size_t snake_min_start_points = 3;
// Start points further than this many image sizes outside the image are
// refused: nothing useful starts there, and far enough out their distances
// overflow.
const double snake_most_sizes_outside = 10;
// True when p lies more than snake_most_sizes_outside sizes outside an image
// of ni x nj pixels (pixel centres 0..ni - 1, 0..nj - 1).
bool snake_point_far_outside(const vgl_point_2d<double>& p, unsigned ni, unsigned nj);
// The sliders run from 0 to this.
const int snake_slider_max = 100;
// The smoothing factor the window starts with (its slider then reads 50, which
// would map to 0.7488).
const double snake_start_smooth_k = 0.75;

// The weight slider's position v as the external term's weight, v / 100.
// v is clamped to the slider's range, so the weight stays within 0..1.
double snake_weight_from_slider(int v);
// The pressure slider's position v, -100 (shrink) .. 100 (grow), as the
// pressure's weight v / 100; v is clamped to the slider's range.
const int snake_pressure_slider_max = 100;
double snake_pressure_from_slider(int v);
// The smoothing slider's position v as the exponential filter's factor,
// 0.5 + v / 201.  v is clamped to the slider's range, so the factor stays
// within 0.5..0.9975 and the filter never diverges.
double snake_smooth_k_from_slider(int v);

// The exponential filter's factor k from a width in pixels and back.  The
// cost is smoothed by the filter twice along each axis; one filter's
// response ((1 - k)/(1 + k)) k^|n| has the variance 2k / (1 - k)^2, so two
// have 4k / (1 - k)^2, and the standard deviation S gives
//   sqrt(k) = (sqrt(1 + S^2) - 1) / S   (k = 0 for S = 0).
// S must be finite and not negative; k stays below 1.
double snake_smooth_k_from_px(double s);
double snake_smooth_px_from_k(double k);
// The widest smoothing tessaly-snake --smooth-px takes, pixels; the
// smoothing slider's right end is about 800.
const double snake_most_smooth_px = 1000;

// The cost image of an 8-bit image of one or more planes: the gradient
// magnitude (3x3 Sobel, root mean square over every plane's two gradients),
// smoothed twice by the exponential filter with factor smooth_k (0 <= k < 1,
// 0 for no smoothing).  cost becomes one float plane of image's size; scratch
// is a work image that a caller running this often keeps from call to call.
// [lo, hi] is cost's value range; hi is the largest cost, which the snake
// step normalises the external term with.  Up to n_threads threads work on
// it, 0 for one per CPU the process may run on; any count gives the same
// cost, bit for bit.
void snake_cost_image(const vil_image_view<vxl_byte>& image, double smooth_k,
                      vil_image_view<float>& cost, vil_image_view<float>& scratch, float& lo,
                      float& hi, unsigned n_threads = 0);

// The settings of one run; the defaults are the window's.
struct snake_run_settings
{
  // Passes of a run: each resamples the curve and then takes `steps` steps.
  int passes = 10;
  int steps = 10;
  // Target distance between points and the length unit of the internal
  // term, world units (> 0).
  double spacing = 5.0;
  // Most segments of the resampled curve; the spacing widens to keep to it.
  unsigned max_segments = 50;
  // Weight of the external term, 0..1.
  double weight = 0.5;
  // A point's neighbours are this many places before and after it.
  int neighbour_offset = 1;
  // Part of its best move that a point makes in a step.
  double move_fraction = 0.9;
  // Weight of the pressure along the outward normal, -1 (shrink) .. 1
  // (grow); 0 for none (one_snake_iteration).
  double pressure = 0.0;
};

// Told the pass (from 0) and step of a run with the points as they are then:
// step 0 just after the pass's resampling, then steps 1 .. steps.
typedef std::function<void(int pass, int step, const std::vector<vgl_point_2d<double>>& pts)>
  snake_step_callback;

// One run: for each pass, pts is resampled (spacing, max_segments) and then
// moved by `steps` snake steps on cost, whose largest value is max_cost;
// on_step is called after the resampling and after every step.  A snake_run
// takes the same run one unit at a time.  pts holds
// the start points (at least one) and ends holding the snake.
void run_snake(std::vector<vgl_point_2d<double>>& pts, const vimt_image_2d_of<float>& cost,
               float max_cost, const snake_run_settings& settings,
               const snake_step_callback& on_step);

// The synthetic 250 x 250 grey start image: ground 30, a rectangle (columns
// 50..110, rows 80..160) and a disc (centre (170, 125), radius 40) of 250.
void snake_start_image(vil_image_view<vxl_byte>& image);

#endif

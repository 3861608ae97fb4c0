#ifndef tessaly_snake_h_
#define tessaly_snake_h_
// The basic active contour: the energy of one snake point, one step of the
// snake, and resampling a closed polygon to even spacing.
//
// A snake point list is a closed curve in world coordinates: the point after
// the last is the first, and the first is not repeated at the end.
#include <vector>
#include <vgl/vgl_point_2d.h>
#include <vimt/vimt_image_2d_of.h>

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
void one_snake_iteration(std::vector<vgl_point_2d<double>>& pts,
                         const vimt_image_2d_of<float>& cost_image, float max_cost,
                         double spacing, double w, int d, double f);

// Resamples the closed polygon src into dest with points about `spacing`
// world units apart; when that would give more than max_segments points the
// spacing is widened to perimeter / max_segments.  Vertices closer than
// 0.75 spacing to the last kept one are dropped.  The first input point
// stands twice at the head of the output whenever any edge is kept.
// dest may be the same list as src.  An empty src gives an empty dest.
void resample_curve(std::vector<vgl_point_2d<double>>& dest,
                    const std::vector<vgl_point_2d<double>>& src, double spacing,
                    unsigned max_segments);

#endif

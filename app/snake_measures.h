#ifndef snake_measures_h_
#define snake_measures_h_
// What a closed snake encloses, as those who follow an object measure it.
// No Qt here, so that both programs share it.
#include <cstddef>
#include <vector>
#include <vgl/vgl_point_2d.h>

struct snake_measures
{
  std::size_t points = 0;
  // Enclosed area by the shoelace formula, in square image pixels (never
  // negative, whichever way the curve runs), and the closed curve's length.
  double area = 0, perimeter = 0;
  // +1 when the shoelace area (in the coordinates as given) is positive, -1
  // when negative, 0 when the curve encloses no area: none, or one lost in
  // the rounding of the coordinates, whose sign means nothing.
  int orientation = 0;
  // Centroid of the enclosed region; of the points themselves when they
  // enclose no area.
  double centroid_x = 0, centroid_y = 0;
  // Bounding box of the points.
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
};

// The measures of the closed curve pts (the point after the last is the
// first).  All zero for no points.
snake_measures measure_snake(const std::vector<vgl_point_2d<double>>& pts);

#endif

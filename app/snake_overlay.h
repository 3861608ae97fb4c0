#ifndef snake_overlay_h_
#define snake_overlay_h_
// The picture of a snake on its image, as the window shows it.
#include <vector>
#include <vgl/vgl_point_2d.h>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// What the picture shows of the snake, and how large.
struct snake_overlay_style
{
  bool curve = true;   // the closed curve, in red
  bool points = true;  // each point, a green disc above the curve
  // The curve's width in picture pixels; 1 is the window's thin line.
  int line_width = 1;
  // Each image pixel drawn as zoom x zoom picture pixels, as the window
  // shows it at that zoom: a small image's curve and points then show apart.
  int zoom = 1;
};

// image (1 or 2 planes shown grey, 3 or 4 in colour, alpha ignored) with
// the closed curve through pts in red lines and each point as a green disc
// of radius 2 (or a little wider than a thick line) above it, at the pixels
// the window paints them; pts in image pixel coordinates.  The result has 3
// planes (red, green, blue) and zoom times the image's size.  Throws
// std::bad_alloc when that picture cannot be had.
vil_image_view<vxl_byte> snake_overlay(const vil_image_view<vxl_byte>& image,
                                       const std::vector<vgl_point_2d<double>>& pts,
                                       const snake_overlay_style& style = snake_overlay_style());

#endif

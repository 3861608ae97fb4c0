#ifndef snake_overlay_h_
#define snake_overlay_h_
// The picture of a snake on its image, as the window shows it at zoom 1.
#include <vector>
#include <vgl/vgl_point_2d.h>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// image (1 or 2 planes shown grey, 3 or 4 in colour, alpha ignored) with the
// closed curve through pts drawn in thin red lines and each point as a green
// disc of radius 2 above it, at the pixels the window paints them; pts in
// image pixel coordinates.  The result has 3 planes (red, green, blue).
vil_image_view<vxl_byte> snake_overlay(const vil_image_view<vxl_byte>& image,
                                       const std::vector<vgl_point_2d<double>>& pts);

#endif

#ifndef vil_bgr_to_rgb_h_
#define vil_bgr_to_rgb_h_
// Blue-green-red pixels as red, green and blue, for readers of files that
// store them that way (BMP).
#include <cstddef>
#include <vil/vil_pixel_format.h>

// Converts n pixels of blue, green and red at src (a pixel every src_step
// samples, 3 or 4; a fourth sample is dropped) to red, green and blue at
// dst, 3 samples a pixel.  src and dst do not overlap.
void vil_bgr_to_rgb(const vxl_byte* src, unsigned src_step, vxl_byte* dst, std::size_t n);

#endif

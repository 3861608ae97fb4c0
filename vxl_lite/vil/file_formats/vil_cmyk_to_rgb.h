#ifndef vil_cmyk_to_rgb_h_
#define vil_cmyk_to_rgb_h_
// The colour a CMYK pixel prints, for readers of CMYK files.
#include <cstddef>
#include <vil/vil_pixel_format.h>

// Converts n pixels of cyan, magenta, yellow and black ink at src (a pixel
// every src_step samples) to red, green and blue at dst (every dst_step
// samples): R = (max - C)(max - K) / max rounded, and so on, max being 255
// or 65535.  inverted: the samples are max less the ink (Adobe's CMYK JPEG
// files).  dst may be src when dst_step <= src_step, converting in place.
void vil_cmyk_to_rgb(const vxl_byte* src, std::size_t src_step, vxl_byte* dst, std::size_t dst_step,
                     std::size_t n, bool inverted);
void vil_cmyk_to_rgb(const vxl_uint_16* src, std::size_t src_step, vxl_uint_16* dst, std::size_t dst_step,
                     std::size_t n, bool inverted);

#endif

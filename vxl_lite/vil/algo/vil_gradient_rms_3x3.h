#ifndef vil_gradient_rms_3x3_h_
#define vil_gradient_rms_3x3_h_
// Gradient magnitude of an 8-bit image in one pass: exactly what
// vil_sobel_3x3 into a float image followed by vil_math_rms gives, i.e. at
// each pixel sqrt(mean over all 2*nplanes gradient planes of the squares),
// without ever holding the 2*nplanes full-size gradient planes.
#include <vil/vil_image_view.h>

// dest is resized to src's ni x nj, one plane; its border is 0 like Sobel's.
void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest);

namespace vil_gradient_rms_detail
{
// The same row by row, for callers that consume the gradient as it comes:
// start_sweep(src) before each sweep over src (up or down the image), then
// row(src, j, out) writes row j to out[0 .. ni-1].
void start_sweep(const vil_image_view<vxl_byte>& src);
void row(const vil_image_view<vxl_byte>& src, unsigned j, float* out);
}  // namespace vil_gradient_rms_detail

#endif

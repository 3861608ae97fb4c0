#ifndef vil_gradient_rms_3x3_h_
#define vil_gradient_rms_3x3_h_
// Gradient magnitude of an 8-bit image in one pass: exactly what
// vil_sobel_3x3 into a float image followed by vil_math_rms gives, i.e. at
// each pixel sqrt(mean over all 2*nplanes gradient planes of the squares),
// without ever holding the 2*nplanes full-size gradient planes.
#include <vil/vil_image_view.h>

// dest is resized to src's ni x nj, one plane; its border is 0 like Sobel's.
// Bands of rows go to up to n_threads workers (fewer on small images); the
// result is the same for any count.
void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest,
                          unsigned n_threads = 1);

namespace vil_gradient_rms_detail
{
// The same row by row and in a strip of columns [i0, i1), for callers that
// consume the gradient as it comes: start_sweep(src, i0, i1) on the thread
// before each sweep over src (up or down the image), then row(src, j, i0,
// i1, out) writes columns i0 .. i1-1 of row j to out[0 .. i1-i0-1].
void start_sweep(const vil_image_view<vxl_byte>& src, unsigned i0, unsigned i1);
void row(const vil_image_view<vxl_byte>& src, unsigned j, unsigned i0, unsigned i1, float* out);
}  // namespace vil_gradient_rms_detail

#endif

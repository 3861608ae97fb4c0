#ifndef vil_smooth_gradient_rms_h_
#define vil_smooth_gradient_rms_h_
// The gradient magnitude of an 8-bit image smoothed twice: what
// vil_gradient_rms_3x3 followed by vil_exp_filter_2d (factor k along i and
// along j) twice and vil_math_value_range give, in three sweeps over the
// image instead of the six those calls make.
//
// The values agree with those calls to a few float roundings (the second
// filter sums its columns' two sides in the other order); the range is
// exactly that of dest.  The gradient waits in dest (or is computed again)
// for the first filter's backward sweep, and the second filter's column pass
// rides on that sweep, going up the image.
#include <vil/vil_image_view.h>

// dest is resized to src's ni x nj, one plane, and so is scratch, an image
// a caller running this often keeps from call to call so that nothing of
// image size is allocated (one that shares dest's memory is left alone, and
// the call allocates its own).  Scratch rows may be given a little more
// memory than ni floats, for widths such as 1024 or 4096 whose rows would
// evict each other from the cache.
// [min_value, max_value] is dest's value range (0, 0 for an empty image).
// Column strips go to up to n_threads workers (fewer on small or narrow
// images); the result is the same, bit for bit, for any count.
// When gradient is given, it becomes src's vil_gradient_rms_3x3 on the way,
// for later calls at other k to start from (one that shares dest's or
// scratch's pixels is given memory of its own).
void vil_smooth_gradient_rms(const vil_image_view<vxl_byte>& src, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value, unsigned n_threads = 1,
                             vil_image_view<float>* gradient = nullptr);

// The same from the gradient, vil_gradient_rms_3x3 of src (one plane), with
// the same bits: for callers that smooth one image at many k, such as a
// slider, and keep its gradient.  Outputs that share the gradient's pixels
// are given memory of their own.
void vil_smooth_gradient_rms(const vil_image_view<float>& gradient, double k,
                             vil_image_view<float>& dest, vil_image_view<float>& scratch,
                             float& min_value, float& max_value, unsigned n_threads = 1);

#endif

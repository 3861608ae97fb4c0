#ifndef vil_histogram_equalise_h_
#define vil_histogram_equalise_h_
// Histogram equalisation of an 8-bit image, in place.
#include <vil/vil_image_view.h>

// Maps every value v (all planes share one histogram) to
//   floor(255.1 / (N - C(lo)) * (C(v) - C(lo)))
// where C is the cumulative histogram, lo the smallest value present and N
// the number of samples: the darkest value becomes 0, the brightest 255 and
// the values between spread by how often they occur.  An image of one
// value (or none) is left as it is.
void vil_histogram_equalise(vil_image_view<vxl_byte>& image);

#endif

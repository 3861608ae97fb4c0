#ifndef snake_image_file_h_
#define snake_image_file_h_
// Opening an image file for the snake, as the window and tessaly-snake both
// do it, with the reason for a refusal in plain words.
#include <string>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// Loads path into image if tessaly can work on it: 8-bit pixels in 1 to 4
// planes (grey, grey and alpha, colour, colour and alpha).  False, with the
// reason in why (for example "16-bit pixels: the window works on 8-bit
// images ...", with a hint to use tessaly-snake, "the file ends early" or
// "not an image file tessaly can read"); image is then left as it was.
// Nothing is printed.  page picks an image of a file that holds several (a
// TIFF's pages, from 0).
bool snake_load_image(const std::string& path, vil_image_view<vxl_byte>& image, std::string& why,
                      unsigned page = 0);

// How an image of other than 8-bit pixels was brought to 8 bits.
struct snake_stretch
{
  bool applied = false;
  // The values that became 0 and 255.
  double lo = 0.0, hi = 0.0;
};

// The fractions of an image's values that tessaly-snake stretches to 0 and
// 255: a few extreme pixels do not set the scale.
const double snake_stretch_lo_fraction = 0.001;
const double snake_stretch_hi_fraction = 0.999;

// As above, but pixels of any other type (16- and 32-bit integers, floats,
// doubles) are taken too, mapped to 8 bits by vil_stretch_percentiles with
// the fractions above; stretch says with which values.  An 8-bit image is
// taken as it is.
bool snake_load_image(const std::string& path, vil_image_view<vxl_byte>& image, snake_stretch& stretch,
                      std::string& why, unsigned page = 0);

#endif

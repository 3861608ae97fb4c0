#ifndef snake_image_file_h_
#define snake_image_file_h_
// Opening an image file for the snake, as the window and tessaly-snake both
// do it, with the reason for a refusal in plain words.
#include <string>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// Loads path into image if tessaly can work on it: 8-bit pixels in 1 to 4
// planes (grey, grey and alpha, colour, colour and alpha).  False, with the
// reason in why (for example "16-bit pixels: tessaly works on 8-bit images",
// "the file ends early" or "not an image file tessaly can read"); image is
// then left as it was.  Nothing is printed.  page picks an image of a file
// that holds several (a TIFF's pages, from 0).
bool snake_load_image(const std::string& path, vil_image_view<vxl_byte>& image, std::string& why,
                      unsigned page = 0);

#endif

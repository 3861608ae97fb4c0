#ifndef vil_load_h_
#define vil_load_h_
// Loading an image file into memory.
#include <cstddef>
#include <functional>
#include <string>
#include <vil/vil_image_view_base.h>

// The pixels of the file at path, or a null pointer when it cannot be read
// (missing, not a regular file, unknown format, truncated, corrupt, or too
// big: see vil_load_set_max_bytes).  A failure prints one line naming the
// file and the reason on the standard error stream.  The format is found
// from the file's first bytes, not its name.  Planes follow the file: grey
// 1, grey with alpha 2, colour 3, colour with alpha 4, stored interleaved
// (istep = nplanes, planestep = 1); 16-bit samples give 16-bit pixels,
// 1-bit ones bool pixels.  Where VXL hands back stored samples that are not
// the picture, this loader gives the picture: min-is-white TIFF inverted,
// CMYK JPEG and TIFF as RGB, a VIFF colour map applied, and 3 planes for a
// 32-bit BMP without an alpha mask.
vil_image_view_base_sptr vil_load(const char* path);
vil_image_view_base_sptr vil_load(const std::string& path);
// As above, but a failure's reason goes to *why (cleared first), not to the
// standard error stream.
vil_image_view_base_sptr vil_load(const char* path, std::string* why);

// Largest pixel memory (ni * nj * nplanes * bytes per sample) any reader
// will allocate for one image; a file whose header asks for more is refused
// before anything is allocated.  1 GiB unless set otherwise.
void vil_load_set_max_bytes(std::size_t max_bytes);
std::size_t vil_load_max_bytes();

// (Not part of VXL.)  A check that every reader on this thread makes once it
// knows the image's size (ni x nj x nplanes samples of bytes_per_sample
// bytes, within the limit above) and before it allocates the pixels: for a
// caller that budgets memory image by image, and may wait here for its
// share.  False, with the reason in why, refuses the file with that reason.
// A reader may ask more than once for one file; each answer stands for the
// latest size.
typedef std::function<bool(unsigned long long ni, unsigned long long nj, unsigned long long nplanes,
                           unsigned bytes_per_sample, std::string& why)>
  vil_load_size_check;
// Sets this thread's check (an empty one for none); returns the one it
// replaces, for the caller to put back.
vil_load_size_check vil_load_set_size_check(vil_load_size_check check);

#endif

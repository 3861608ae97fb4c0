#ifndef vil_load_h_
#define vil_load_h_
// Loading an image file into memory.
#include <cstddef>
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

#endif

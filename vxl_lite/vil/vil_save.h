#ifndef vil_save_h_
#define vil_save_h_
// Saving an image to a file.
#include <vil/vil_image_view_base.h>

// Writes view to path in the format its extension names: ".png" gives PNG;
// ".pgm", ".ppm", ".pbm" and ".pnm" give raw PNM; anything else PNM.
// False, with one line on the standard error stream, on failure (a format
// that cannot hold the view's pixel type or planes, or a write error).
bool vil_save(const vil_image_view_base& view, const char* path);

// As above with the format given by name: "png" or "pnm".
bool vil_save(const vil_image_view_base& view, const char* path, const char* file_format);

#endif

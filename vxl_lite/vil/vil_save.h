#ifndef vil_save_h_
#define vil_save_h_
// Saving an image to a file.
#include <string>
#include <vil/vil_image_view_base.h>

// Writes view to path in the format its extension names (any case), whole
// or not at all, through vul_save_file (links followed, devices written in
// place, a file one may not write refused, the old file's mode kept):
// ".tif"/".tiff" TIFF, ".png" PNG, ".bmp" BMP, ".jpg"/".jpeg" JPEG,
// ".pbm"/".pgm"/".ppm"/".pnm" raw PNM.  Any other name is written as PNM,
// with a line on the standard error stream saying so.
// False, with one line on standard error, on failure (a format that cannot
// hold the view's pixel type or planes, or a write error); the file at path
// is then as it was before: a failed write leaves no partial file.
bool vil_save(const vil_image_view_base& view, const char* path);

// As above, but a failure's reason goes to *why (cleared first) and nothing
// is printed.
bool vil_save(const vil_image_view_base& view, const char* path, std::string* why);

// As above with the format given by name: "tiff", "png", "bmp", "jpeg" or
// "pnm" (or "pbm", "pgm", "ppm").
bool vil_save(const vil_image_view_base& view, const char* path, const char* file_format);

#endif

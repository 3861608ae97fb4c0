#ifndef vil_png_h_
#define vil_png_h_
// PNG files through libpng.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with the PNG signature.
bool vil_png_probe(const unsigned char* head, std::size_t n);

// Reads the PNG file open in f (at its start).  1-bit grey gives bool
// pixels, 2- and 4-bit grey bytes scaled to 0..255, 16-bit samples
// vxl_uint_16; palettes are expanded to colour (with alpha if the file has
// transparency).  Null, with the error line, on any failure.
vil_image_view_base_sptr vil_png_read(const char* path, std::FILE* f);

// Writes an 8- or 16-bit view of 1 to 4 planes (grey, grey + alpha, colour,
// colour + alpha) to f, open for writing; path only names the file in
// messages.  False, with one line on standard error, on failure.
bool vil_png_write(const char* path, std::FILE* f, const vil_image_view_base& view);

#endif

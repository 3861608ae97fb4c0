#ifndef vil_tiff_h_
#define vil_tiff_h_
// TIFF (and BigTIFF) files through libtiff.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vil/vil_image_view_base.h>

// True when the bytes start with a TIFF or BigTIFF header of either byte order.
bool vil_tiff_probe(const unsigned char* head, std::size_t n);

// Reads the first image of the TIFF file at path.  Samples keep their type:
// 1 bit gives bool, 8 bits vxl_byte, 16 bits vxl_uint_16 (vxl_int_16 if
// signed), 32 bits vxl_uint_32, vxl_int_32 or float, 64-bit floats double;
// planes are the samples per pixel.  Min-is-white grey is inverted (unsigned
// samples) and 8- and 16-bit CMYK becomes RGB, so both read as they look.
// Palette, YCbCr and odd bit depths are converted to 8-bit colour by
// libtiff.  Null, with the error line, on failure.
vil_image_view_base_sptr vil_tiff_read(const char* path, std::FILE* f);

// The pages of the TIFF file at path: the images of its main chain, not the
// thumbnails hanging off them.  0, with the reason in why, when the file
// cannot be opened, a link of the chain leads nowhere, or there are more
// than `most`.
unsigned vil_tiff_page_count(const char* path, unsigned most, std::string& why);

// Reads page `page` (from 0) as vil_tiff_read reads the first.  Null, with
// the error line, on failure.
vil_image_view_base_sptr vil_tiff_read_page(const char* path, unsigned page);

// Writes the view to f, open for writing, uncompressed, in any pixel type the
// reader gives back (bool of 1 plane, 8-, 16- and 32-bit integers, float,
// double) and any number of planes: 1 and 2 as grey (and alpha), 3 and more
// as colour (alpha, then unspecified samples).  path only names the file in
// messages.  False, with one line on standard error, on failure.
bool vil_tiff_write(const char* path, std::FILE* f, const vil_image_view_base& view);

#endif

#ifndef vil_bmp_h_
#define vil_bmp_h_
// Windows and OS/2 bitmap files, read and written natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with "BM" and a plausible header size.
bool vil_bmp_probe(const unsigned char* head, std::size_t n);

// Reads uncompressed (and bit-field) bitmaps of 1, 4, 8, 16, 24 and 32 bits
// and run-length compressed ones (RLE8, RLE4), bottom-up or top-down.
// Palette images give 1 plane when the palette is grey and 3 otherwise;
// pixels a run-length stream skips take palette entry 0.  16, 24 and 32 bits
// give 3 planes, and 4 (colour and alpha) only when the header declares an
// alpha mask.  Null, with the error line, on failure.
vil_image_view_base_sptr vil_bmp_read(const char* path, std::FILE* f);

// Writes an 8-bit view to f, open for writing, uncompressed and bottom-up:
// 1 plane as 8 bits with a grey palette, 3 planes as 24 bits, 4 as 32 bits
// (colour and alpha) with a header that declares the alpha mask.  path only
// names the file in messages.  False, with one line on standard error, on
// failure.
bool vil_bmp_write(const char* path, std::FILE* f, const vil_image_view_base& view);

#endif

#ifndef vil_bmp_h_
#define vil_bmp_h_
// Windows and OS/2 bitmap files, read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with "BM" and a plausible header size.
bool vil_bmp_probe(const unsigned char* head, std::size_t n);

// Reads uncompressed (and bit-field) bitmaps of 1, 4, 8, 16, 24 and 32 bits,
// bottom-up or top-down.  Palette images give 1 plane when the palette is
// grey and 3 otherwise; 16 and 24 bits give 3 planes; 32 bits 4 planes
// (colour and alpha).  Run-length compressed files are refused.  Null, with
// the error line, on failure.
vil_image_view_base_sptr vil_bmp_read(const char* path, std::FILE* f);

#endif

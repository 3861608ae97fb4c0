#ifndef vil_jpeg_h_
#define vil_jpeg_h_
// JPEG files through libjpeg.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with a JPEG start-of-image marker.
bool vil_jpeg_probe(const unsigned char* head, std::size_t n);

// Reads the JPEG file open in f: grey gives 1 plane, colour 3 (RGB), and
// CMYK (or YCCK) 3 too, converted to RGB, all bytes.  Corrupt data that
// libjpeg would only warn about (and patch over) is a failure here too.
// Null, with the error line, on failure.
vil_image_view_base_sptr vil_jpeg_read(const char* path, std::FILE* f);

// Writes an 8-bit view of 1 (grey) or 3 (colour) planes to f, open for
// writing, at quality 75; path only names the file in messages.  False,
// with one line on standard error, on failure.
bool vil_jpeg_write(const char* path, std::FILE* f, const vil_image_view_base& view);

#endif

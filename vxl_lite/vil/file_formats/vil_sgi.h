#ifndef vil_sgi_h_
#define vil_sgi_h_
// SGI (IRIS) image files, read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with the SGI magic number 474 (big-endian).
bool vil_sgi_probe(const unsigned char* head, std::size_t n);

// Reads verbatim and run-length encoded images of 8 bits (vxl_byte) or 16
// bits (vxl_uint_16) with 1 to 4 channels, one plane per channel.  SGI rows
// run from the bottom up; the view's row 0 is the top.  Colour-map-only
// files are refused.  Null, with the error line, on failure.
vil_image_view_base_sptr vil_sgi_read(const char* path, std::FILE* f);

#endif

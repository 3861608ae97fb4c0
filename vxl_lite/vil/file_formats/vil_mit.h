#ifndef vil_mit_h_
#define vil_mit_h_
// MIT image files (an 8-byte little-endian header and raw samples), read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the header names a grey (type 1) or RGB (type 2) image of 8 or
// 16 bits with a non-zero size.  The format has no magic number, so this is
// tried after every other format.
bool vil_mit_probe(const unsigned char* head, std::size_t n);

// Reads grey (1 plane) and RGB (3 planes, samples of a pixel together)
// images of 8 bits (vxl_byte) or 16 little-endian bits (vxl_uint_16).  The
// file must hold exactly the samples the header promises.  Null, with the
// error line, on failure.
vil_image_view_base_sptr vil_mit_read(const char* path, std::FILE* f);

#endif

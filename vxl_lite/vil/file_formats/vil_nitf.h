#ifndef vil_nitf_h_
#define vil_nitf_h_
// NITF 2.0 / 2.1 (and NSIF 1.0) files, read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with "NITF" or "NSIF" (the reader takes versions
// 2.0, 2.1 and NSIF 1.0).
bool vil_nitf_probe(const unsigned char* head, std::size_t n);

// Reads the first image segment of the file when it is uncompressed (IC NC,
// or NM with a block mask): blocked or not, in any of the four interleave
// modes (B, P, R, S), one plane per band.  Samples of 8 bits give vxl_byte
// (vxl_sbyte when signed), 16 bits vxl_uint_16 / vxl_int_16, 32 bits
// vxl_uint_32 / vxl_int_32 / float, 64 bits double, and 1-bit bi-level or
// integer images bool.  Look-up tables are not applied; blocks missing from
// a mask read as 0.  Compressed images are refused.  Null, with the error
// line, on failure.
vil_image_view_base_sptr vil_nitf_read(const char* path, std::FILE* f);

#endif

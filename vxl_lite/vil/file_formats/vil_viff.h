#ifndef vil_viff_h_
#define vil_viff_h_
// Khoros VIFF (xv image) files, read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with the VIFF identifier 0xab and file type 1.
bool vil_viff_probe(const unsigned char* head, std::size_t n);

// Reads raw (unencoded) VIFF data of bytes, 16-bit, 32-bit, float or double
// samples, in either byte order, as vxl_byte, vxl_uint_16, vxl_uint_32,
// float or double pixels with one plane per data band (bands are stored one
// after the other).  Colour maps and explicit locations are skipped, only
// the first of several images is read.  Null, with the error line, on failure.
vil_image_view_base_sptr vil_viff_read(const char* path, std::FILE* f);

#endif

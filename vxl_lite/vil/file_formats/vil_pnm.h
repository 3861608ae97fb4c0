#ifndef vil_pnm_h_
#define vil_pnm_h_
// Netpbm files (PBM, PGM, PPM), plain (ASCII) and raw, read and written natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with "P1" .. "P6" and a separator.
bool vil_pnm_probe(const unsigned char* head, std::size_t n);

// Reads P1 .. P6: bitmaps give bool pixels (1 = black, as stored), grey
// maps 1 plane, pixmaps 3.  A maxval up to 255 gives bytes, up to 65535
// vxl_uint_16; plain files may go up to 2^32 - 1 (vxl_uint_32).  Samples
// above maxval, short rasters and malformed headers are failures.
vil_image_view_base_sptr vil_pnm_read(const char* path, std::FILE* f);

// Writes raw PGM/PPM (1 or 3 planes of bytes or vxl_uint_16) or raw PBM
// (bool, 1 plane) to f, open for writing; path only names the file in
// messages.  False, with one line on standard error, on failure.
bool vil_pnm_write(const char* path, std::FILE* f, const vil_image_view_base& view);

#endif

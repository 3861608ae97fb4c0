#ifndef vil_ras_h_
#define vil_ras_h_
// Sun raster files, read natively.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with the Sun raster magic number 0x59a66a95.
bool vil_ras_probe(const unsigned char* head, std::size_t n);

// Reads standard, old, RGB-ordered and byte-encoded (run-length) rasters of
// 1, 8, 24 and 32 bits into bytes.  8 and 1 bits with a colour map give 3
// planes, or 1 plane of the map's values when the map is grey; without a
// map 8 bits give their values and 1 bit 0 (set) or 255 (clear).  24 and 32
// bits give 3 planes (the pad byte of 32 bits is dropped).  Null, with the
// error line, on failure.
vil_image_view_base_sptr vil_ras_read(const char* path, std::FILE* f);

#endif

#ifndef vil_j2k_h_
#define vil_j2k_h_
// JPEG 2000 files (JP2 and raw codestreams) through libopenjp2.
#include <cstddef>
#include <cstdio>
#include <vil/vil_image_view_base.h>

// True when the bytes start with a JPEG 2000 codestream (SOC, SIZ) or the
// JP2 signature box.
bool vil_j2k_probe(const unsigned char* head, std::size_t n);

// Decodes the whole image at full resolution, one plane per component
// (grey 1, grey and alpha 2, colour 3, colour and alpha 4).  Components of
// up to 8 bits give vxl_byte (vxl_sbyte when signed), up to 16 bits
// vxl_uint_16 (vxl_int_16), more vxl_int_32; samples keep their coded
// range.  Subsampled components are repeated to full size and sYCC colour
// is turned into RGB.  Any decoder error gives null, with the error line.
vil_image_view_base_sptr vil_j2k_read(const char* path, std::FILE* f);

#endif

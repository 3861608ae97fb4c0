#ifndef vil_pixel_format_h_
#define vil_pixel_format_h_
// The scalar type of an image's pixels.
#include <vxl_config.h>

enum vil_pixel_format
{
  VIL_PIXEL_FORMAT_UNKNOWN = 0,
  VIL_PIXEL_FORMAT_BOOL,
  VIL_PIXEL_FORMAT_BYTE,
  VIL_PIXEL_FORMAT_SBYTE,
  VIL_PIXEL_FORMAT_UINT_16,
  VIL_PIXEL_FORMAT_INT_16,
  VIL_PIXEL_FORMAT_UINT_32,
  VIL_PIXEL_FORMAT_INT_32,
  VIL_PIXEL_FORMAT_UINT_64,
  VIL_PIXEL_FORMAT_INT_64,
  VIL_PIXEL_FORMAT_FLOAT,
  VIL_PIXEL_FORMAT_DOUBLE
};

template <class T> struct vil_pixel_format_of { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_UNKNOWN; };
template <> struct vil_pixel_format_of<bool> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_BOOL; };
template <> struct vil_pixel_format_of<vxl_byte> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_BYTE; };
template <> struct vil_pixel_format_of<vxl_sbyte> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_SBYTE; };
template <> struct vil_pixel_format_of<vxl_uint_16> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_UINT_16; };
template <> struct vil_pixel_format_of<vxl_int_16> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_INT_16; };
template <> struct vil_pixel_format_of<vxl_uint_32> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_UINT_32; };
template <> struct vil_pixel_format_of<vxl_int_32> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_INT_32; };
template <> struct vil_pixel_format_of<vxl_uint_64> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_UINT_64; };
template <> struct vil_pixel_format_of<vxl_int_64> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_INT_64; };
template <> struct vil_pixel_format_of<float> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_FLOAT; };
template <> struct vil_pixel_format_of<double> { static constexpr vil_pixel_format value = VIL_PIXEL_FORMAT_DOUBLE; };

// Bytes of one sample of the format; 0 for an unknown format.
unsigned vil_pixel_format_sizeof_components(vil_pixel_format f);

const char* vil_pixel_format_name(vil_pixel_format f);

#endif

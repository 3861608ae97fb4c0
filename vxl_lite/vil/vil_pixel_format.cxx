#include <vil/vil_pixel_format.h>

unsigned vil_pixel_format_sizeof_components(vil_pixel_format f)
{
  switch (f) {
    case VIL_PIXEL_FORMAT_BOOL: return sizeof(bool);
    case VIL_PIXEL_FORMAT_BYTE:
    case VIL_PIXEL_FORMAT_SBYTE: return 1;
    case VIL_PIXEL_FORMAT_UINT_16:
    case VIL_PIXEL_FORMAT_INT_16: return 2;
    case VIL_PIXEL_FORMAT_UINT_32:
    case VIL_PIXEL_FORMAT_INT_32:
    case VIL_PIXEL_FORMAT_FLOAT: return 4;
    case VIL_PIXEL_FORMAT_UINT_64:
    case VIL_PIXEL_FORMAT_INT_64:
    case VIL_PIXEL_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

const char* vil_pixel_format_name(vil_pixel_format f)
{
  switch (f) {
    case VIL_PIXEL_FORMAT_BOOL: return "bool";
    case VIL_PIXEL_FORMAT_BYTE: return "vxl_byte";
    case VIL_PIXEL_FORMAT_SBYTE: return "vxl_sbyte";
    case VIL_PIXEL_FORMAT_UINT_16: return "vxl_uint_16";
    case VIL_PIXEL_FORMAT_INT_16: return "vxl_int_16";
    case VIL_PIXEL_FORMAT_UINT_32: return "vxl_uint_32";
    case VIL_PIXEL_FORMAT_INT_32: return "vxl_int_32";
    case VIL_PIXEL_FORMAT_UINT_64: return "vxl_uint_64";
    case VIL_PIXEL_FORMAT_INT_64: return "vxl_int_64";
    case VIL_PIXEL_FORMAT_FLOAT: return "float";
    case VIL_PIXEL_FORMAT_DOUBLE: return "double";
    default: return "unknown";
  }
}

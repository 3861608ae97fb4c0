#ifndef vxl_config_h_
#define vxl_config_h_
// Fixed-width pixel and integer types under VXL's names.
#include <cstdint>

typedef std::uint8_t  vxl_byte;
typedef std::int8_t   vxl_sbyte;
typedef std::uint16_t vxl_uint_16;
typedef std::int16_t  vxl_int_16;
typedef std::uint32_t vxl_uint_32;
typedef std::int32_t  vxl_int_32;

// VXL code tests this before using the 64-bit types.
#define VXL_HAS_INT_64 1
#if VXL_HAS_INT_64
typedef std::uint64_t vxl_uint_64;
typedef std::int64_t  vxl_int_64;
#endif

#endif

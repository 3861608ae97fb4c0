// vsl_binary_explicit_io.h included alone, first, as VXL code does: it must
// bring the streams, their writers and the 64-bit types with it.
#include <vsl/vsl_binary_explicit_io.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <gtest/gtest.h>

#if !VXL_HAS_INT_64
#error "vxl_config.h must offer the 64-bit types"
#endif

TEST(VslExplicitIo, IncludedAloneDecodesWhatTheStreamWrites)
{
  const vxl_int_64 values[] = {INT64_MIN, -65, 300, INT64_MAX};
  std::ostringstream ss(std::ios::binary);
  vsl_b_ostream os(&ss);
  for (vxl_int_64 v : values) vsl_b_write(os, v);
  const std::string bytes = ss.str().substr(6);
  vxl_int_64 back[4] = {0, 0, 0, 0};
  EXPECT_EQ(vsl_convert_from_arbitrary_length(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              bytes.size(), back, 4),
            bytes.size());
  EXPECT_TRUE(std::equal(values, values + 4, back));
}

#ifndef tessaly_tests_test_data_h_
#define tessaly_tests_test_data_h_
// Where the external test files live (real VXL streams, real image files).
// They sit beside the checkout and may be absent: tests that need them
// call TESSALY_REQUIRE_TESTDATA() first and are skipped with a message.
#include <string>
#include <sys/stat.h>
#include <gtest/gtest.h>

inline std::string tessaly_testdata(const std::string& rel)
{
  return std::string(TESSALY_TESTDATA_DIR) + "/" + rel;
}

inline bool tessaly_testdata_present()
{
  struct stat st;
  return ::stat(TESSALY_TESTDATA_DIR, &st) == 0 && S_ISDIR(st.st_mode);
}

#define TESSALY_REQUIRE_TESTDATA()                                              \
  do {                                                                          \
    if (!tessaly_testdata_present())                                            \
      GTEST_SKIP() << "external test files not found at " TESSALY_TESTDATA_DIR; \
  } while (0)

#endif

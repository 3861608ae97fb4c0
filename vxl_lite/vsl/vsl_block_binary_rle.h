#ifndef vsl_block_binary_rle_h_
#define vsl_block_binary_rle_h_
// Run-length coded arrays: a short version 1, then (value, run length) pairs,
// each value through its vsl_b_write and each run as a std::size_t.  There is
// no element count: the reader is told how many elements to fill.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>
#include <vsl/vsl_binary_io.h>

template <class T>
void vsl_block_binary_rle_write(vsl_b_ostream& os, const T* begin, std::size_t n)
{
  vsl_b_write(os, static_cast<short>(1));
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i + 1;
    while (j < n && begin[j] == begin[i]) ++j;
    vsl_b_write(os, begin[i]);
    vsl_b_write(os, static_cast<std::size_t>(j - i));
    i = j;
  }
}

// Fills the n elements at begin; on failure they keep their old values.
template <class T>
void vsl_block_binary_rle_read(vsl_b_istream& is, T* begin, std::size_t n)
{
  static const char* const reader = "vsl_block_binary_rle_read()";
  if (!is) return;
  short ver = 0;
  vsl_b_read(is, ver);
  if (!is) return;
  if (ver != 1) {
    is.report_error(reader, "Unknown version number " + std::to_string(ver));
    return;
  }
  // Collected as runs first so that a bad run leaves the target untouched.
  std::vector<std::pair<T, std::size_t>> runs;
  for (std::size_t filled = 0; filled < n;) {
    T value{};
    std::size_t run = 0;
    vsl_b_read(is, value);
    vsl_b_read(is, run);
    if (!is) return;
    if (run == 0 || run > n - filled) {
      is.report_error(reader, "Run length " + std::to_string(run) + " does not fit the " +
                                  std::to_string(n - filled) + " elements left");
      return;
    }
    runs.emplace_back(value, run);
    filled += run;
  }
  for (const auto& r : runs) begin = std::fill_n(begin, r.second, r.first);
}

#endif

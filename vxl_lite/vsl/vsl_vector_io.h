#ifndef vsl_vector_io_h_
#define vsl_vector_io_h_
// std::vector in vsl's layout: a short version, the element count as an
// unsigned integer, then for a non-empty vector the block of
// vsl_block_binary.h.  Written as version 2; read in versions 2 and 3, which
// share the layout except for the char types: version 2 flags their bytes
// false, as older VXL wrote them and as VXL still demands there.  std::vector<bool> has its own layout: version 1, the
// count, then one byte per element.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_block_binary.h>
#include <vsl/vsl_indent.h>

void vsl_b_write(vsl_b_ostream& os, const std::vector<bool>& v);
void vsl_b_read(vsl_b_istream& is, std::vector<bool>& v);
void vsl_print_summary(std::ostream& os, const std::vector<bool>& v);

template <class T>
void vsl_b_write(vsl_b_ostream& os, const std::vector<T>& v)
{
  const short version_no = 2;
  vsl_b_write(os, version_no);
  vsl_b_write(os, v.size());
  if (!v.empty()) vsl_block_detail::write_block(os, v.data(), v.size(), true);
}

// On any failure v keeps its old content and the stream goes bad.
template <class T>
void vsl_b_read(vsl_b_istream& is, std::vector<T>& v)
{
  static const char* const reader = "vsl_b_read(vsl_b_istream&, std::vector<T>&)";
  if (!is) return;
  short ver = 0;
  vsl_b_read(is, ver);
  if (!is) return;
  if (ver != 2 && ver != 3) {
    is.report_error(reader, "Unknown version number " + std::to_string(ver));
    return;
  }
  std::size_t n = 0;
  vsl_b_read(is, n);
  if (!is) return;
  if (n == 0) {
    v.clear();
    return;
  }
  vsl_block_detail::read_block(is, v, n, reader, ver == 2);
}

// "Vector length: n", then the first few elements, one a line.
template <class T>
void vsl_print_summary(std::ostream& os, const std::vector<T>& v)
{
  os << "Vector length: " << v.size() << '\n';
  for (std::size_t i = 0; i < v.size() && i < 5; ++i) {
    os << vsl_indent() << ' ' << i << ": ";
    vsl_indent_inc(os);
    vsl_print_summary(os, v[i]);
    os << '\n';
    vsl_indent_dec(os);
  }
  if (v.size() > 5) os << vsl_indent() << " ...\n";
}

#endif

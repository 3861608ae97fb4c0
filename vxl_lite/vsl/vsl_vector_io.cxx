#include <vsl/vsl_vector_io.h>

void vsl_b_write(vsl_b_ostream& os, const std::vector<bool>& v)
{
  const short version_no = 1;
  vsl_b_write(os, version_no);
  vsl_b_write(os, v.size());
  for (bool b : v) vsl_b_write(os, b);
}

void vsl_b_read(vsl_b_istream& is, std::vector<bool>& v)
{
  static const char* const reader = "vsl_b_read(vsl_b_istream&, std::vector<bool>&)";
  if (!is) return;
  short ver = 0;
  vsl_b_read(is, ver);
  if (!is) return;
  if (ver != 1) {
    is.report_error(reader, "Unknown version number " + std::to_string(ver));
    return;
  }
  std::size_t n = 0;
  vsl_b_read(is, n);
  if (!is) return;
  if (!is.may_hold(n)) {
    is.report_error(reader, "Vector of " + std::to_string(n) + " elements exceeds the bytes left in the stream");
    return;
  }
  std::vector<bool> tmp;
  if (is.size_known()) tmp.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char c;
    if (!is.read_byte(c, reader)) return;
    tmp.push_back(c != 0);
  }
  v.swap(tmp);
}

void vsl_print_summary(std::ostream& os, const std::vector<bool>& v)
{
  os << "Vector length: " << v.size() << '\n';
  for (std::size_t i = 0; i < v.size() && i < 5; ++i) os << vsl_indent() << ' ' << i << ": " << v[i] << '\n';
  if (v.size() > 5) os << vsl_indent() << " ...\n";
}

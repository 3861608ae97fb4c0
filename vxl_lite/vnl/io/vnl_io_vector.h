#ifndef vnl_io_vector_h_
#define vnl_io_vector_h_
// vnl_vector in vsl's layout: a short version 2, the size as an unsigned
// integer, then for a non-empty vector the element block (flag true and the
// raw values for float and double).
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>
#include <vnl/vnl_vector.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_block_binary.h>

template <class T>
void vsl_b_write(vsl_b_ostream& os, const vnl_vector<T>& v)
{
  const short io_version_no = 2;
  vsl_b_write(os, io_version_no);
  vsl_b_write(os, v.size());
  if (v.size()) vsl_block_binary_write(os, v.data_block(), v.size());
}

// On any failure v keeps its old content and the stream goes bad.
template <class T>
void vsl_b_read(vsl_b_istream& is, vnl_vector<T>& v)
{
  static const char* const reader = "vsl_b_read(vsl_b_istream&, vnl_vector<T>&)";
  if (!is) return;
  short ver = 0;
  vsl_b_read(is, ver);
  if (!is) return;
  if (ver != 2) {
    is.report_error(reader, "Unknown version number " + std::to_string(ver));
    return;
  }
  std::size_t n = 0;
  vsl_b_read(is, n);
  if (!is) return;
  std::vector<T> tmp;
  if (n && !vsl_block_binary_read(is, tmp, n, reader)) return;
  v = vnl_vector<T>(tmp.data(), tmp.size());
}

// "Len: n (" and up to the first five elements, then ")".
template <class T>
void vsl_print_summary(std::ostream& os, const vnl_vector<T>& v)
{
  os << "Len: " << v.size() << " (";
  for (std::size_t i = 0; i < v.size() && i < 5; ++i) os << (i ? " " : "") << v[i];
  if (v.size() > 5) os << " ...";
  os << ')';
}

#endif

#ifndef vgl_io_point_2d_h_
#define vgl_io_point_2d_h_
// vgl_point_2d in vsl's layout: a short version 1, then x and y.
#include <ostream>
#include <string>
#include <vgl/vgl_point_2d.h>
#include <vsl/vsl_binary_io.h>

template <class T>
void vsl_b_write(vsl_b_ostream& os, const vgl_point_2d<T>& p)
{
  const short io_version_no = 1;
  vsl_b_write(os, io_version_no);
  vsl_b_write(os, p.x());
  vsl_b_write(os, p.y());
}

// On any failure p keeps its old value and the stream goes bad.
template <class T>
void vsl_b_read(vsl_b_istream& is, vgl_point_2d<T>& p)
{
  if (!is) return;
  short ver = 0;
  vsl_b_read(is, ver);
  if (!is) return;
  if (ver != 1) {
    is.report_error("vsl_b_read(vsl_b_istream&, vgl_point_2d<T>&)", "Unknown version number " + std::to_string(ver));
    return;
  }
  T x = 0, y = 0;
  vsl_b_read(is, x);
  vsl_b_read(is, y);
  if (!is) return;
  p.set(x, y);
}

template <class T>
void vsl_print_summary(std::ostream& os, const vgl_point_2d<T>& p)
{
  os << p;
}

#endif

#ifndef vil_save_support_h_
#define vil_save_support_h_
// What every image file writer shares: the error line, the refusal of a
// view the format cannot hold, and rows in the order files store them.
#include <cstddef>
#include <string>
#include <vil/vil_image_view.h>

// Writes "vil_save: <path>: <reason>" as one line on the standard error
// stream (line breaks inside reason become spaces).  Always returns false,
// so writers can `return vil_save_fail(path, "...");`.
bool vil_save_fail(const char* path, const std::string& reason);

// The line for a view a format cannot hold: "<format> takes <what>, not
// vil_image_view<T> with n planes".  Returns false.
bool vil_save_refuse(const char* path, const vil_image_view_base& view, const char* format,
                     const char* what);

// Copies row j of v to out with the samples of each pixel side by side
// (ni * nplanes values), whatever the view's steps.
template <class T>
void vil_save_interleaved_row(const vil_image_view<T>& v, unsigned j, T* out)
{
  const unsigned np = v.nplanes();
  const T* row = v.top_left_ptr() + std::ptrdiff_t(j) * v.jstep();
  for (unsigned i = 0; i < v.ni(); ++i, row += v.istep())
    for (unsigned p = 0; p < np; ++p) *out++ = row[std::ptrdiff_t(p) * v.planestep()];
}

#endif

#ifndef vil_load_support_h_
#define vil_load_support_h_
// What every image file reader shares: the error line, the size limit and
// the interleaved view it reads into.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vil/vil_image_view.h>

// Writes "vil_load: <path>: <reason>" as one line on the standard error
// stream (line breaks inside reason become spaces).  Always returns a null
// pointer, so readers can `return vil_load_fail(path, "...");`.
vil_image_view_base_sptr vil_load_fail(const char* path, const char* reason);

// Writes "<who>: <path>: <reason>" as one line on the standard error stream,
// as vil_load_fail does; the writers' error lines share it.  While this
// thread's lines are redirected, the first reason goes to the redirection
// instead and nothing is printed.
void vil_error_line(const char* who, const char* path, const char* reason);

// Redirects this thread's error lines to *to (null: back to the standard
// error stream); returns the redirection it replaces, for the caller to put
// back.
std::string* vil_error_redirect(std::string* to);

// True when an image of ni x nj x nplanes samples of bytes_per_sample bytes
// has at least one pixel and fits under vil_load_max_bytes() without
// overflowing; otherwise reports why and returns false.
bool vil_load_size_ok(const char* path, unsigned long long ni, unsigned long long nj,
                      unsigned long long nplanes, unsigned bytes_per_sample);

// A fresh ni x nj x nplanes view with the samples of a pixel interleaved
// (istep = nplanes, jstep = ni * nplanes, planestep = 1): the layout a file's
// rows are read into directly.  Call vil_load_size_ok first.  An empty view
// when the memory cannot be had.
template <class T>
vil_image_view<T> vil_load_interleaved_view(unsigned ni, unsigned nj, unsigned nplanes)
{
  const std::size_t n = std::size_t(ni) * nj * nplanes * sizeof(T);
  vil_memory_chunk_sptr mem = vil_memory_chunk::try_create(n, vil_pixel_format_of<T>::value);
  if (!mem) return vil_image_view<T>();
  return vil_image_view<T>(mem, static_cast<T*>(mem->data()), ni, nj, nplanes, nplanes,
                           std::ptrdiff_t(ni) * nplanes, 1);
}

// Wraps a view as the loader's result.
template <class T>
vil_image_view_base_sptr vil_load_result(const vil_image_view<T>& view)
{
  return vil_image_view_base_sptr(new vil_image_view<T>(view));
}

// Bytes from f's position to the end of the file.
unsigned long long vil_load_bytes_left(std::FILE* f);

// Reads exactly n bytes; false on a short read (a truncated file).
bool vil_load_read_exact(std::FILE* f, void* buf, std::size_t n);

#endif

#ifndef vil_copy_h_
#define vil_copy_h_
// Copies of image views that own their pixels.
#include <vil/vil_image_view.h>

// Copies src's pixels into dest, which is resized to match.
template <class T>
void vil_copy_deep(const vil_image_view<T>& src, vil_image_view<T>& dest)
{
  dest.deep_copy(src);
}

// A copy of src in memory of its own.
template <class T>
vil_image_view<T> vil_copy_deep(const vil_image_view<T>& src)
{
  vil_image_view<T> dest;
  dest.deep_copy(src);
  return dest;
}

#endif

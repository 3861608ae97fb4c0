#ifndef tessaly_tests_support_pixels_are_h_
#define tessaly_tests_support_pixels_are_h_
// Checks a loaded image against its pixels worked out another way.
#include <gtest/gtest.h>
#include <vil/vil_image_view.h>
#include <vil/vil_pixel_format.h>

// The pixels read must be exactly `want(i, j, p)` with the given format and size.
template <class T, class F>
::testing::AssertionResult pixels_are(const vil_image_view_base_sptr& im, unsigned ni, unsigned nj,
                                      unsigned np, F want)
{
  if (!im) return ::testing::AssertionFailure() << "not loaded";
  if (im->pixel_format() != vil_pixel_format_of<T>::value)
    return ::testing::AssertionFailure() << "format " << vil_pixel_format_name(im->pixel_format());
  const vil_image_view<T> v = im;
  if (v.ni() != ni || v.nj() != nj || v.nplanes() != np)
    return ::testing::AssertionFailure() << "size " << v.ni() << 'x' << v.nj() << 'x' << v.nplanes();
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i)
        if (v(i, j, p) != T(want(i, j, p)))
          return ::testing::AssertionFailure() << "pixel " << i << ',' << j << ',' << p << " is "
                                               << double(v(i, j, p)) << ", not " << double(T(want(i, j, p)));
  return ::testing::AssertionSuccess();
}

#endif

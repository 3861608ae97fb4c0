#ifndef vil_bilin_interp_h_
#define vil_bilin_interp_h_
// Bilinear interpolation of one image plane at a real-valued position
// (x along the columns, y along the rows, pixel centres at whole numbers).
// The safe forms give 0 for any position not inside [0, nx-1] x [0, ny-1].
#include <cassert>
#include <cstddef>
#include <vil/vil_image_view.h>

// Interpolates at (x, y) without checking the position: the caller makes sure
// that 0 <= x <= nx-1 and 0 <= y <= ny-1.  A whole-numbered coordinate reads no
// pixel beyond it, so the last column and row are valid positions.
template <class T>
inline double vil_bilin_interp_unsafe(double x, double y, const T* data, std::ptrdiff_t xstep,
                                      std::ptrdiff_t ystep)
{
  const int p1x = int(x);
  const double normx = x - p1x;
  const int p1y = int(y);
  const double normy = y - p1y;

  const T* pix1 = data + p1y * ystep + p1x * xstep;

  if (normx == 0.0 && normy == 0.0) return double(pix1[0]);
  if (normx == 0.0) return pix1[0] + (double(pix1[ystep]) - double(pix1[0])) * normy;
  if (normy == 0.0) return pix1[0] + (double(pix1[xstep]) - double(pix1[0])) * normx;

  const double i1 = pix1[0] + (double(pix1[ystep]) - double(pix1[0])) * normy;
  const double i2 = pix1[xstep] + (double(pix1[xstep + ystep]) - double(pix1[xstep])) * normy;
  return i1 + (i2 - i1) * normx;
}

// Interpolates at (x, y); 0 outside the image.  The test is written so that a
// NaN coordinate also counts as outside.
template <class T>
inline double vil_bilin_interp_safe(double x, double y, const T* data, int nx, int ny,
                                    std::ptrdiff_t xstep, std::ptrdiff_t ystep)
{
  if (!(x >= 0.0 && y >= 0.0 && x <= nx - 1 && y <= ny - 1)) return 0.0;
  return vil_bilin_interp_unsafe(x, y, data, xstep, ystep);
}

// Plane p of the view at (x, y); 0 outside the view.
template <class T>
inline double vil_bilin_interp_safe(const vil_image_view<T>& view, double x, double y,
                                    unsigned p = 0)
{
  assert(p < view.nplanes() || view.size() == 0);
  if (view.size() == 0) return 0.0;
  return vil_bilin_interp_safe(x, y, view.top_left_ptr() + p * view.planestep(), int(view.ni()),
                               int(view.nj()), view.istep(), view.jstep());
}

// Plane p of the view at (x, y), which must lie inside the view.
template <class T>
inline double vil_bilin_interp_unsafe(const vil_image_view<T>& view, double x, double y,
                                      unsigned p = 0)
{
  assert(p < view.nplanes());
  assert(x >= 0.0 && y >= 0.0 && x <= view.ni() - 1.0 && y <= view.nj() - 1.0);
  return vil_bilin_interp_unsafe(x, y, view.top_left_ptr() + p * view.planestep(), view.istep(),
                                 view.jstep());
}

#endif

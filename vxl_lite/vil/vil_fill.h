#ifndef vil_fill_h_
#define vil_fill_h_
// Filling parts of an image with a value.
#include <algorithm>
#include <cmath>
#include <vil/vil_image_view.h>

// Sets every plane of the pixels (i, j) with (i - ci)^2 + (j - cj)^2 < r^2
// (strictly) to value.  ci, cj and r are in pixels; a disc partly or wholly
// outside the image fills only what lies inside.
template <class T>
void vil_fill_disk(vil_image_view<T>& image, double ci, double cj, double r, T value)
{
  if (image.size() == 0 || !(r > 0.0) || !std::isfinite(ci) || !std::isfinite(cj) ||
      !std::isfinite(r))
    return;
  // Bounding rows and columns, clamped in double before any integer conversion.
  const double ilo = std::max(0.0, std::floor(ci - r));
  const double ihi = std::min(double(image.ni()) - 1.0, std::ceil(ci + r));
  const double jlo = std::max(0.0, std::floor(cj - r));
  const double jhi = std::min(double(image.nj()) - 1.0, std::ceil(cj + r));
  if (ilo > ihi || jlo > jhi) return;
  const double r2 = r * r;
  for (unsigned j = unsigned(jlo); j <= unsigned(jhi); ++j) {
    const double dj = double(j) - cj;
    for (unsigned i = unsigned(ilo); i <= unsigned(ihi); ++i) {
      const double di = double(i) - ci;
      if (di * di + dj * dj < r2)
        for (unsigned p = 0; p < image.nplanes(); ++p) image(i, j, p) = value;
    }
  }
}

#endif

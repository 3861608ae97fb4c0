#include <vil/algo/vil_histogram_equalise.h>

void vil_histogram_equalise(vil_image_view<vxl_byte>& image)
{
  double histo[256] = {0};
  const std::ptrdiff_t istep = image.istep();
  for (unsigned p = 0; p < image.nplanes(); ++p)
    for (unsigned j = 0; j < image.nj(); ++j) {
      const vxl_byte* row = image.top_left_ptr() + p * image.planestep() + j * image.jstep();
      for (unsigned i = 0; i < image.ni(); ++i) histo[row[i * istep]] += 1.0;
    }
  for (int v = 1; v < 256; ++v) histo[v] += histo[v - 1];
  int lo = 0;
  while (lo < 255 && histo[lo] == 0.0) ++lo;
  const double below = histo[lo], range = histo[255] - below;
  if (range <= 0.0) return;
  // VXL's scale (255.1, not 255) and order of operations, so that the
  // truncated bytes match VXL's.
  const double s = 255.1 / range;
  vxl_byte lut[256];
  for (int v = 0; v < 256; ++v) lut[v] = v < lo ? 0 : vxl_byte(s * (histo[v] - below));
  for (unsigned p = 0; p < image.nplanes(); ++p)
    for (unsigned j = 0; j < image.nj(); ++j) {
      vxl_byte* row = image.top_left_ptr() + p * image.planestep() + j * image.jstep();
      for (unsigned i = 0; i < image.ni(); ++i) row[i * istep] = lut[row[i * istep]];
    }
}

#include <vil/algo/vil_gradient_rms_3x3.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
// Sum over the planes of the unscaled squared Sobel responses; it stays
// below 2^24, so it is exact both as int and as float, and the float
// result below equals the Sobel-then-rms one bit for bit: every gradient
// is an integer over 8, every square and partial sum exact.
void add_plane_row(const vxl_byte* a, const vxl_byte* b, const vxl_byte* c, std::ptrdiff_t istep,
                   unsigned ni, int* acc)
{
  if (istep == 1) {
    for (unsigned i = 1; i + 1 < ni; ++i) {
      const int di = (int(a[i + 1]) - a[i - 1]) + 2 * (int(b[i + 1]) - b[i - 1]) +
                     (int(c[i + 1]) - c[i - 1]);
      const int dj = (int(c[i - 1]) - a[i - 1]) + 2 * (int(c[i]) - a[i]) +
                     (int(c[i + 1]) - a[i + 1]);
      acc[i] += di * di + dj * dj;
    }
    return;
  }
  for (unsigned i = 1; i + 1 < ni; ++i) {
    const std::ptrdiff_t l = (std::ptrdiff_t(i) - 1) * istep, m = i * istep, r = (i + 1) * istep;
    const int di = (int(a[r]) - a[l]) + 2 * (int(b[r]) - b[l]) + (int(c[r]) - c[l]);
    const int dj = (int(c[l]) - a[l]) + 2 * (int(c[m]) - a[m]) + (int(c[r]) - a[r]);
    acc[i] += di * di + dj * dj;
  }
}
}  // namespace

void vil_gradient_rms_3x3(const vil_image_view<vxl_byte>& src, vil_image_view<float>& dest)
{
  const unsigned ni = src.ni(), nj = src.nj(), np = src.nplanes();
  dest.set_size(ni, nj, 1);
  if (ni < 3 || nj < 3 || np == 0) {
    dest.fill(0.0f);
    return;
  }
  // One row of sums, kept from call to call (the pipeline runs on every
  // slider move).
  static thread_local std::vector<int> acc;
  if (acc.size() < ni) acc.resize(ni);
  const float scale = 1.0f / 64.0f;  // (1/8)^2, exact
  const float nplanes2 = float(2 * np);
  const std::ptrdiff_t dj_step = dest.jstep(), di_step = dest.istep();
  for (unsigned j = 0; j < nj; ++j) {
    float* d = dest.top_left_ptr() + j * dj_step;
    if (j == 0 || j + 1 == nj) {
      for (unsigned i = 0; i < ni; ++i) d[i * di_step] = 0.0f;
      continue;
    }
    std::memset(acc.data(), 0, ni * sizeof(int));
    for (unsigned p = 0; p < np; ++p) {
      const vxl_byte* b = src.top_left_ptr() + p * src.planestep() + j * src.jstep();
      add_plane_row(b - src.jstep(), b, b + src.jstep(), src.istep(), ni, acc.data());
    }
    d[0] = 0.0f;
    for (unsigned i = 1; i + 1 < ni; ++i)
      d[i * di_step] = std::sqrt(float(acc[i]) * scale / nplanes2);
    d[(ni - 1) * di_step] = 0.0f;
  }
}

#ifndef vil_sobel_3x3_h_
#define vil_sobel_3x3_h_
// Image gradients by the 3x3 Sobel kernels, scaled by 1/8:
//   gi = ((s(i+1,j-1) + 2 s(i+1,j) + s(i+1,j+1)) - (s(i-1,j-1) + 2 s(i-1,j) + s(i-1,j+1))) / 8
//   gj = ((s(i-1,j+1) + 2 s(i,j+1) + s(i+1,j+1)) - (s(i-1,j-1) + 2 s(i,j-1) + s(i+1,j-1))) / 8
// so a step of height h along i gives gi = h/2 beside it.  The outermost
// row and column on every side have no full neighbourhood and are set to 0.
#include <vil/vil_image_view.h>

// One plane: writes gi and gj through the given pointers and steps.
template <class srcT, class destT>
void vil_sobel_3x3_1plane(const srcT* src, std::ptrdiff_t s_istep, std::ptrdiff_t s_jstep,
                          destT* gi, std::ptrdiff_t gi_istep, std::ptrdiff_t gi_jstep,
                          destT* gj, std::ptrdiff_t gj_istep, std::ptrdiff_t gj_jstep,
                          unsigned ni, unsigned nj)
{
  const destT k8 = destT(0.125);
  for (unsigned j = 0; j < nj; ++j) {
    destT* pi = gi + j * gi_jstep;
    destT* pj = gj + j * gj_jstep;
    const bool border_row = j == 0 || j + 1 >= nj || ni < 3;
    if (border_row) {
      for (unsigned i = 0; i < ni; ++i) pi[i * gi_istep] = pj[i * gj_istep] = destT(0);
      continue;
    }
    const srcT* a = src + (j - 1) * s_jstep;  // row above
    const srcT* b = src + j * s_jstep;
    const srcT* c = src + (j + 1) * s_jstep;  // row below
    pi[0] = pj[0] = destT(0);
    for (unsigned i = 1; i + 1 < ni; ++i) {
      const std::ptrdiff_t l = (std::ptrdiff_t(i) - 1) * s_istep, m = i * s_istep,
                           r = (i + 1) * s_istep;
      // Sum in destT before the one scaling, so integer inputs stay exact.
      const destT di = (destT(a[r]) - destT(a[l])) + destT(2) * (destT(b[r]) - destT(b[l])) +
                       (destT(c[r]) - destT(c[l]));
      const destT dj = (destT(c[l]) - destT(a[l])) + destT(2) * (destT(c[m]) - destT(a[m])) +
                       (destT(c[r]) - destT(a[r]));
      pi[i * gi_istep] = k8 * di;
      pj[i * gj_istep] = k8 * dj;
    }
    pi[(ni - 1) * gi_istep] = pj[(ni - 1) * gj_istep] = destT(0);
  }
}

// grad_ij gets 2 planes per plane p of src: 2p the gradient along i (the
// column direction), 2p+1 along j.  It is resized to src's ni x nj.
template <class srcT, class destT>
void vil_sobel_3x3(const vil_image_view<srcT>& src, vil_image_view<destT>& grad_ij)
{
  const unsigned np = src.nplanes();
  grad_ij.set_size(src.ni(), src.nj(), 2 * np);
  for (unsigned p = 0; p < np; ++p)
    vil_sobel_3x3_1plane(src.top_left_ptr() + p * src.planestep(), src.istep(), src.jstep(),
                         grad_ij.top_left_ptr() + 2 * p * grad_ij.planestep(), grad_ij.istep(),
                         grad_ij.jstep(),
                         grad_ij.top_left_ptr() + (2 * p + 1) * grad_ij.planestep(),
                         grad_ij.istep(), grad_ij.jstep(), src.ni(), src.nj());
}

// The same gradients into two images of nplanes planes each.
template <class srcT, class destT>
void vil_sobel_3x3(const vil_image_view<srcT>& src, vil_image_view<destT>& grad_i,
                   vil_image_view<destT>& grad_j)
{
  const unsigned np = src.nplanes();
  grad_i.set_size(src.ni(), src.nj(), np);
  grad_j.set_size(src.ni(), src.nj(), np);
  for (unsigned p = 0; p < np; ++p)
    vil_sobel_3x3_1plane(src.top_left_ptr() + p * src.planestep(), src.istep(), src.jstep(),
                         grad_i.top_left_ptr() + p * grad_i.planestep(), grad_i.istep(),
                         grad_i.jstep(), grad_j.top_left_ptr() + p * grad_j.planestep(),
                         grad_j.istep(), grad_j.jstep(), src.ni(), src.nj());
}

#endif

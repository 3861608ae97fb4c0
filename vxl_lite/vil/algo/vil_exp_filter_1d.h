#ifndef vil_exp_filter_1d_h_
#define vil_exp_filter_1d_h_
// The symmetric exponential filter along one line:
//   out(x) = ((1 - k) / (1 + k)) * sum over y of k^|x - y| * in(y),
// the sum cut off at the ends of the line (samples outside count 0, nothing
// is renormalised), with 0 <= k < 1.  Its cost is linear in the length
// whatever k is: one forward recursive pass that includes the centre sample
// and one backward pass that adds the samples after it.
#include <cstddef>
#include <vector>
#include <vil/vil_image_view.h>

// Work line of accumT kept from call to call on this thread.
template <class accumT>
accumT* vil_exp_filter_line_scratch(std::size_t n)
{
  static thread_local std::vector<accumT> line;
  if (line.size() < n) line.resize(n);
  return line.data();
}

// Filters n samples of src (step sstep) into dest (step dstep).  src and
// dest may be the same line: each sample is read before it is overwritten.
template <class srcT, class destT, class accumT>
void vil_exp_filter_1d(const srcT* src, std::ptrdiff_t sstep, destT* dest, std::ptrdiff_t dstep,
                       int n, accumT k)
{
  if (n <= 0) return;
  const accumT norm = (accumT(1) - k) / (accumT(1) + k);
  accumT* f = vil_exp_filter_line_scratch<accumT>(std::size_t(n));
  accumT rt = 0;
  for (int x = 0; x < n; ++x) {
    rt = rt * k + accumT(src[x * sstep]);
    f[x] = rt;
  }
  rt = 0;  // sum of the samples after x, weighted
  for (int x = n - 1; x >= 0; --x) {
    const accumT in = accumT(src[x * sstep]);
    dest[x * dstep] = destT(norm * (f[x] + rt));
    rt = k * (rt + in);
  }
}

// Filters every row (along i) of every plane of src_im into dest_im, which
// is resized to match.
template <class srcT, class destT, class accumT>
void vil_exp_filter_1d(const vil_image_view<srcT>& src_im, vil_image_view<destT>& dest_im,
                       accumT k)
{
  const unsigned ni = src_im.ni(), nj = src_im.nj(), np = src_im.nplanes();
  dest_im.set_size(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      vil_exp_filter_1d(src_im.top_left_ptr() + p * src_im.planestep() + j * src_im.jstep(),
                        src_im.istep(),
                        dest_im.top_left_ptr() + p * dest_im.planestep() + j * dest_im.jstep(),
                        dest_im.istep(), int(ni), k);
}

#endif

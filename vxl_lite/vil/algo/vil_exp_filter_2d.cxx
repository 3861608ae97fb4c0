#include <vil/algo/vil_exp_filter_2d.h>

void vil_exp_filter_2d_float(const vil_image_view<float>& src, vil_image_view<float>& dest,
                             double ki, double kj)
{
  vil_image_view<float> in = src;
  // Filtering in place would read columns the first pass already wrote.
  if (src.memory_chunk() && src.memory_chunk() == dest.memory_chunk()) in = vil_copy_deep(src);
  dest.set_size(src.ni(), src.nj(), src.nplanes());
  for (unsigned p = 0; p < src.nplanes(); ++p)
    vil_exp_filter_detail::plane(in.top_left_ptr() + p * in.planestep(), in.istep(), in.jstep(),
                                 dest.top_left_ptr() + p * dest.planestep(), dest.istep(),
                                 dest.jstep(), src.ni(), src.nj(), ki, kj);
}

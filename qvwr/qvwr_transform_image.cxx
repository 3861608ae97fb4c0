#include <qvwr/qvwr_transform_image.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <vector>
#include <QtEndian>

#include <vil/algo/vil_histogram_equalise.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_image_view.h>

namespace
{
// Rounds half away from zero.  Values far outside any widget are first
// brought into int range (they are clipped to the widget afterwards), and a
// NaN reports failure, so no conversion is ever undefined.
bool display_round(double v, int& out)
{
  if (std::isnan(v)) return false;
  const double lim = 1.0e9;
  if (v > lim) v = lim;
  if (v < -lim) v = -lim;
  out = v >= 0.0 ? int(v + 0.5) : int(v - 0.5);
  return true;
}

// Memory offset of the source pixel for output positions first ..
// first + count - 1 along one axis of n_out.  Positions start at the last
// output pixel (last + 0.5) and go down by one subtraction of step per
// pixel; truncation then picks the nearest source pixel.  Inside the
// display area the positions lie in the image; the clamp keeps any other
// caller (or rounding at the edge) inside it too.
void source_offsets(std::vector<std::ptrdiff_t>& out, int n_out, double last, double step,
                    unsigned n_src, std::ptrdiff_t src_step, int first, int count)
{
  out.resize(std::size_t(count));
  const double hi = double(n_src) - 1.0;
  double pos = last + 0.5;
  for (int k = n_out - 1; k >= first; --k) {
    if (k < first + count) {
      double v = pos;
      if (!(v >= 0.0))  // below the image, or NaN
        v = 0.0;
      else if (v > hi)
        v = hi;
      out[std::size_t(k - first)] = std::ptrdiff_t(v) * src_step;
    }
    pos -= step;
  }
}

// The sampling grid of an image-to-output transform over an ni x nj
// output, for the part of w x h pixels from (i0, j0): column and row
// offsets into the image's memory, from the part's first.  Every row uses
// the same column positions, so they are computed once.
struct sample_grid
{
  std::vector<std::ptrdiff_t> cols, rows;

  sample_grid(int ni, int nj, const vil_image_view<vxl_byte>& im, const vimt_transform_2d& i2a,
              int i0, int j0, int w, int h)
  {
    const vimt_transform_2d inv = i2a.inverse();
    const vgl_point_2d<double> origin(0.0, 0.0);
    const double step_x = inv.delta(origin, vgl_vector_2d<double>(1.0, 0.0)).x();
    const double step_y = inv.delta(origin, vgl_vector_2d<double>(0.0, 1.0)).y();
    const vgl_point_2d<double> last = inv(ni - 1, nj - 1);
    source_offsets(cols, ni, last.x(), step_x, im.ni(), im.istep(), i0, w);
    source_offsets(rows, nj, last.y(), step_y, im.nj(), im.jstep(), j0, h);
  }
  sample_grid(int ni, int nj, const vil_image_view<vxl_byte>& im, const vimt_transform_2d& i2a)
    : sample_grid(ni, nj, im, i2a, 0, 0, ni, nj)
  {
  }
};

// Runs band(j0, j1) over rows 0..nj-1.  A large picture (a high-density
// frame has 8 million pixels) goes in bands to several threads at once:
// each row is written from its own grid entry alone, so the picture is the
// same bit for bit.
template <class F>
void in_bands(int ni, int nj, F band)
{
  const bool large = std::size_t(ni) * std::size_t(nj) >= (std::size_t(1) << 20);
  vil_thread_team team(large ? std::min(vil_thread_team::available(), 4u) : 1);
  team.run([&](unsigned k) {
    band(int(vil_thread_team::part_begin(unsigned(nj), team.size(), k, 1)),
         int(vil_thread_team::part_begin(unsigned(nj), team.size(), k + 1, 1)));
  });
}

// The n columns at cols of a row of a colour image, src its first pixel's
// row, into out: opaque, as the 32-bit formats require of every pixel.  A
// pixel's colours side by side, as files load, come with one 4-byte read
// for the first n_packed, where the fourth byte is still inside the row.
void sample_colour(const vxl_byte* src, const std::ptrdiff_t* cols, int n, int n_packed,
                   std::ptrdiff_t ps, vxl_uint_32* out)
{
  const vxl_uint_32 alpha = 0xff000000u;
  int i = 0;
  for (; i < n_packed; ++i) out[i] = alpha | qFromBigEndian<vxl_uint_32>(src + cols[i]) >> 8;
  for (; i < n; ++i) {
    const vxl_byte* p = src + cols[i];
    out[i] = alpha | (vxl_uint_32(p[0]) << 16) | (vxl_uint_32(p[ps]) << 8) | vxl_uint_32(p[2 * ps]);
  }
}

// The columns whose colours one 4-byte read gives (see sample_colour).
int packed_columns(const vil_image_view<vxl_byte>& im, const std::vector<std::ptrdiff_t>& cols)
{
  if (im.planestep() != 1 || im.istep() < 3) return 0;
  const std::ptrdiff_t row_end = std::ptrdiff_t(im.ni() - 1) * im.istep() + 2;
  int n = 0;
  while (n < int(cols.size()) && cols[std::size_t(n)] + 3 <= row_end) ++n;
  return n;
}
}  // namespace

vgl_box_2d<int> qvwr_transform_image::displayArea(int display_width, int display_height,
                                                  const vgl_box_2d<int>& image_box,
                                                  vimt_transform_2d& i2d)
{
  const vgl_point_2d<double> corners[4] = {
      i2d(image_box.min_x(), image_box.min_y()), i2d(image_box.max_x(), image_box.min_y()),
      i2d(image_box.max_x(), image_box.max_y()), i2d(image_box.min_x(), image_box.max_y())};
  double xmin = corners[0].x(), xmax = xmin;
  double ymin = corners[0].y(), ymax = ymin;
  for (int k = 1; k < 4; ++k) {
    const double x = corners[k].x(), y = corners[k].y();
    if (x < xmin) xmin = x;
    if (x > xmax) xmax = x;
    if (y < ymin) ymin = y;
    if (y > ymax) ymax = y;
  }

  // Half a display pixel in on every side: from the first pixel centre to
  // the last, so each output pixel's nearest image pixel is in the image.
  int x0, y0, x1, y1;
  if (!display_round(xmin + 0.5, x0) || !display_round(ymin + 0.5, y0) ||
      !display_round(xmax - 0.5, x1) || !display_round(ymax - 0.5, y1))
    return vgl_box_2d<int>();

  // The last row allowed is display_height itself, one below the widget.
  const int X0 = x0 > 0 ? x0 : 0;
  const int Y0 = y0 > 0 ? y0 : 0;
  const int X1 = x1 < display_width - 1 ? x1 : display_width - 1;
  const int Y1 = y1 < display_height ? y1 : display_height;
  if (X1 < X0 || Y1 < Y0) return vgl_box_2d<int>();

  vgl_box_2d<int> area;
  area.set_min_point(vgl_point_2d<int>(X0, Y0));
  area.set_max_point(vgl_point_2d<int>(X1, Y1));
  return area;
}

void qvwr_transform_image::transform(unsigned char** rows, int ni, int nj,
                                     const vimt_image_2d_of<vxl_byte>& image,
                                     const vimt_transform_2d& i2a, bool /*interpolate*/,
                                     bool hist_eq)
{
  if (i2a.form() != vimt_transform_2d::Identity && i2a.form() != vimt_transform_2d::ZoomOnly) {
    std::cerr << "qvwr_transform_image::transform() "
              << "Can't cope with affine/projective transformations yet. Sorry" << std::endl;
    std::abort();
  }
  // Interpolated and plain display are the same nearest-neighbour picture.
  zoomNNBP(rows, ni, nj, image, i2a, hist_eq);
}

void qvwr_transform_image::zoomNNBP(unsigned char** rows, int ni, int nj,
                                    const vimt_image_2d_of<vxl_byte>& image,
                                    const vimt_transform_2d& i2a, bool hist_eq)
{
  const unsigned np = image.nplanes();
  if (np == 1 || np == 2) {
    zoomNNBP1(rows, ni, nj, image, i2a, hist_eq);
  } else if (np == 3 || np == 4) {
    // A fourth plane is alpha (a PNG with transparency): show the colour.
    zoomNNBP3(rows, ni, nj, image, i2a);
  } else {
    std::cerr << "qvwr_transform_image::zoomNNBP()" << std::endl
              << "Can't cope with " << np << " planes." << std::endl;
  }
}

void qvwr_transform_image::zoomNNBP1(unsigned char** rows, int ni, int nj,
                                     const vimt_image_2d_of<vxl_byte>& image,
                                     const vimt_transform_2d& i2a, bool hist_eq)
{
  const vil_image_view<vxl_byte>& im = image.image();
  const vxl_byte* base = &im(0, 0, 0);
  if (ni <= 0 || nj <= 0) return;
  const sample_grid grid(ni, nj, im, i2a);
  const std::ptrdiff_t* cols = grid.cols.data();

  if (!hist_eq) {
    in_bands(ni, nj, [&](int j0, int j1) {
      const int n = ni;  // a local, which the byte stores cannot alias
      for (int j = j0; j < j1; ++j) {
        const vxl_byte* src = base + grid.rows[std::size_t(j)];
        unsigned char* out = rows[j];
        for (int i = 0; i < n; ++i) out[i] = src[cols[i]];
      }
    });
    return;
  }

  // Equalisation needs the whole display-sized picture first.
  vil_image_view<vxl_byte> tmp(unsigned(ni), unsigned(nj), 1);
  for (int j = 0; j < nj; ++j) {
    const vxl_byte* src = base + grid.rows[std::size_t(j)];
    vxl_byte* out = tmp.top_left_ptr() + j * tmp.jstep();
    for (int i = 0; i < ni; ++i) out[i] = src[cols[i]];
  }
  vil_histogram_equalise(tmp);
  for (int j = 0; j < nj; ++j)
    std::memcpy(rows[j], tmp.top_left_ptr() + j * tmp.jstep(), std::size_t(ni));
}

void qvwr_transform_image::zoomNNBP3(unsigned char** rows, int ni, int nj,
                                     const vimt_image_2d_of<vxl_byte>& image,
                                     const vimt_transform_2d& i2a)
{
  if (ni > 0 && nj > 0) zoomPart(rows, 0, 0, ni, nj, ni, nj, image, i2a, nullptr);
}

void qvwr_transform_image::zoomPart(unsigned char** out, int i0, int j0, int w, int h, int ni,
                                    int nj, const vimt_image_2d_of<vxl_byte>& image,
                                    const vimt_transform_2d& i2a, const vxl_uint_32* grey)
{
  const vil_image_view<vxl_byte>& im = image.image();
  const unsigned np = im.nplanes();
  if (w <= 0 || h <= 0 || im.size() == 0 || np == 0 || np > 4) return;
  const vxl_byte* base = &im(0, 0, 0);
  const bool colour = np >= 3;
  if (!colour && !grey) return;
  const sample_grid grid(ni, nj, im, i2a, i0, j0, w, h);
  const std::ptrdiff_t* cols = grid.cols.data();
  const int n_packed = colour ? packed_columns(im, grid.cols) : 0;
  const std::ptrdiff_t ps = im.planestep();
  in_bands(w, h, [&](int b0, int b1) {
    // Locals, which the stores below cannot alias.
    const int n = w, n4 = n_packed;
    const vxl_uint_32* table = grey;
    for (int j = b0; j < b1; ++j) {
      const vxl_byte* src = base + grid.rows[std::size_t(j)];
      vxl_uint_32* o = reinterpret_cast<vxl_uint_32*>(out[j]);
      if (colour)
        sample_colour(src, cols, n, n4, ps, o);
      else
        for (int i = 0; i < n; ++i) o[i] = table[src[cols[i]]];
    }
  });
}

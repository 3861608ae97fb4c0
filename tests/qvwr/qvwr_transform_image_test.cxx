#include <qvwr/qvwr_transform_image.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>
#include <vil/algo/vil_histogram_equalise.h>

namespace
{
// Output rows of ni pixels of bytes_per_pixel bytes, pre-filled with a
// marker so that untouched pixels show.
struct out_rows
{
  std::vector<std::vector<unsigned char>> data;
  std::vector<unsigned char*> ptrs;
  int ni, bpp;
  out_rows(int ni_, int nj, int bytes_per_pixel, unsigned char fill = 0xAB) : ni(ni_), bpp(bytes_per_pixel)
  {
    data.assign(std::size_t(nj), std::vector<unsigned char>(std::size_t(ni * bpp), fill));
    for (auto& r : data) ptrs.push_back(r.data());
  }
  unsigned char** rows() { return ptrs.data(); }
  unsigned char byte(int i, int j) const { return data[std::size_t(j)][std::size_t(i)]; }
  vxl_uint_32 word(int i, int j) const
  {
    vxl_uint_32 w;
    std::memcpy(&w, &data[std::size_t(j)][std::size_t(4 * i)], 4);
    return w;
  }
};

vimt_transform_2d zoom(double s, double tx, double ty)
{
  vimt_transform_2d t;
  t.set_zoom_only(s, s, tx, ty);
  return t;
}

vgl_box_2d<int> index_box(int ni, int nj)
{
  return vgl_box_2d<int>(vgl_point_2d<int>(0, 0), vgl_point_2d<int>(ni - 1, nj - 1));
}

// Pixel values that differ between neighbours so that a wrong pick shows.
vimt_image_2d_of<vxl_byte> pattern(unsigned ni, unsigned nj, unsigned np)
{
  vimt_image_2d_of<vxl_byte> im(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) im.image()(i, j, p) = vxl_byte((i * 7 + j * 31 + p * 101) & 0xff);
  return im;
}

// Nearest image pixel of output pixel (i, j), evaluated directly.
void nearest(const vimt_transform_2d& i2a, int i, int j, int& si, int& sj)
{
  const vgl_point_2d<double> p = i2a.inverse()(i, j);
  si = int(p.x() + 0.5);
  sj = int(p.y() + 0.5);
}
}  // namespace

TEST(qvwr_transform_image, display_area_rounds_half_pixel_in_and_clips)
{
  qvwr_transform_image ti;

  vimt_transform_2d z4 = zoom(4, 0, 0);
  vgl_box_2d<int> a = ti.displayArea(100, 100, index_box(10, 10), z4);
  EXPECT_EQ(a.min_x(), 1);
  EXPECT_EQ(a.max_x(), 36);
  EXPECT_EQ(a.min_y(), 1);
  EXPECT_EQ(a.max_y(), 36);

  vimt_transform_2d zh = zoom(0.5, 0, 0);
  a = ti.displayArea(200, 200, index_box(100, 100), zh);
  EXPECT_EQ(a.min_x(), 1);
  EXPECT_EQ(a.max_x(), 49);

  // Reaching past the widget: columns 0..w-1, rows 0..h (one below the last).
  vimt_transform_2d big = zoom(4, -10, -10);  // covers -10..26 both ways
  a = ti.displayArea(20, 20, index_box(10, 10), big);
  EXPECT_EQ(a.min_x(), 0);
  EXPECT_EQ(a.min_y(), 0);
  EXPECT_EQ(a.max_x(), 19);
  EXPECT_EQ(a.max_y(), 20);

  // A negative scale flips the corners; the box is still ordered.
  vimt_transform_2d flip;
  flip.set_zoom_only(-2, 2, 40, 0);
  a = ti.displayArea(100, 100, index_box(10, 10), flip);
  EXPECT_EQ(a.min_x(), 23);  // rnd(22 + 0.5)
  EXPECT_EQ(a.max_x(), 40);  // rnd(40 - 0.5) = rnd(39.5)

  // Wholly outside the widget, or covering no pixel centre: empty.
  for (vimt_transform_2d t : {zoom(1, 500, 0), zoom(1, -500, 0), zoom(1, 0, 500), zoom(1, 0, -500)}) {
    a = ti.displayArea(100, 100, index_box(10, 10), t);
    EXPECT_EQ(a, vgl_box_2d<int>()) << t;
    EXPECT_EQ(a.max_x() - a.min_x() + 1, 0);
  }
  vimt_transform_2d tiny = zoom(0.1, 0.2, 0.2);  // one pixel of 0.1 display pixels
  EXPECT_EQ(ti.displayArea(100, 100, index_box(1, 1), tiny), vgl_box_2d<int>());
}

TEST(qvwr_transform_image, display_area_survives_extreme_transforms)
{
  qvwr_transform_image ti;
  vimt_transform_2d huge = zoom(1e300, 0, 0);
  vgl_box_2d<int> a = ti.displayArea(100, 50, index_box(10, 10), huge);
  EXPECT_EQ(a.max_x(), 99);
  EXPECT_EQ(a.max_y(), 50);
  vimt_transform_2d nan = zoom(std::numeric_limits<double>::quiet_NaN(), 0, 0);
  EXPECT_EQ(ti.displayArea(100, 100, index_box(10, 10), nan), vgl_box_2d<int>());
}

TEST(qvwr_transform_image, grey_sampling_picks_nearest_pixel)
{
  qvwr_transform_image ti;
  const vimt_image_2d_of<vxl_byte> im = pattern(10, 8, 1);

  // Identity: the image itself.
  {
    out_rows out(10, 8, 1);
    ti.transform(out.rows(), 10, 8, im, vimt_transform_2d(), false, false);
    for (int j = 0; j < 8; ++j)
      for (int i = 0; i < 10; ++i) ASSERT_EQ(out.byte(i, j), im.image()(i, j)) << i << ',' << j;
  }

  // Zoom 4 and 0.5, shifted to the display area's corner as the figure does.
  for (double s : {4.0, 2.0, 0.5}) {
    vimt_transform_2d i2d = zoom(s, 3, 5);
    const vgl_box_2d<int> a = ti.displayArea(1000, 1000, index_box(10, 8), i2d);
    const int W = a.max_x() - a.min_x() + 1, H = a.max_y() - a.min_y() + 1;
    vimt_transform_2d shift;
    shift.set_translation(-a.min_x(), -a.min_y());
    const vimt_transform_2d i2a = shift * i2d;
    out_rows out(W, H, 1);
    ti.transform(out.rows(), W, H, im, i2a, false, false);
    for (int j = 0; j < H; ++j)
      for (int i = 0; i < W; ++i) {
        int si, sj;
        nearest(i2a, i, j, si, sj);
        ASSERT_LT(si, 10);
        ASSERT_LT(sj, 8);
        ASSERT_EQ(out.byte(i, j), im.image()(unsigned(si), unsigned(sj)))
            << "s=" << s << " at " << i << ',' << j;
      }
  }
}

TEST(qvwr_transform_image, planes_select_grey_or_colour_output)
{
  qvwr_transform_image ti;
  const vimt_transform_2d i2a = zoom(2, 0, 0);

  // One or two planes: the first, in grey; three: R*65536 + G*256 + B, top
  // byte 0xff (opaque).  Large pictures are made in bands on several
  // threads: their band edges too.
  const vimt_image_2d_of<vxl_byte> rgb = pattern(5, 4, 3);
  std::vector<std::vector<unsigned char>> colour;
  for (unsigned ni : {5u, 700u})
    for (unsigned np : {1u, 2u, 3u}) {
      SCOPED_TRACE(testing::Message() << ni << " x " << np);
      const unsigned nj = ni == 5 ? 4 : 503, W = 2 * ni - 1, H = 2 * nj - 1;
      const vimt_image_2d_of<vxl_byte> im = ni == 5 && np == 3 ? rgb : pattern(ni, nj, np);
      out_rows out(int(W), int(H), np < 3 ? 1 : 4);
      ti.transform(out.rows(), int(W), int(H), im, i2a, false, false);
      const auto& v = im.image();
      for (int j = 0; j < int(H); ++j)
        for (int i = 0; i < int(W); ++i) {
          int si, sj;
          nearest(i2a, i, j, si, sj);
          if (np < 3)
            ASSERT_EQ(out.byte(i, j), v(si, sj, 0)) << i << ',' << j;
          else
            ASSERT_EQ(out.word(i, j), 0xff000000u + v(si, sj, 0) * 65536u + v(si, sj, 1) * 256u + v(si, sj, 2)) << i << ',' << j;
        }
      if (ni == 5 && np == 3) colour = out.data;
    }

  // Four planes (colour with alpha): the colour, with nothing printed.
  vimt_image_2d_of<vxl_byte> rgba = pattern(5, 4, 4);
  rgba.image().fill(0);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < 4; ++j)
      for (unsigned i = 0; i < 5; ++i) rgba.image()(i, j, p) = rgb.image()(i, j, p);
  out_rows c4(9, 7, 4);
  testing::internal::CaptureStderr();
  ti.transform(c4.rows(), 9, 7, rgba, i2a, false, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(c4.data, colour);

  // Five planes: the message, and nothing written.
  const vimt_image_2d_of<vxl_byte> five = pattern(5, 4, 5);
  out_rows c5(9, 7, 4);
  testing::internal::CaptureStderr();
  ti.transform(c5.rows(), 9, 7, five, i2a, false, false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "qvwr_transform_image::zoomNNBP()\nCan't cope with 5 planes.\n");
  for (const auto& r : c5.data)
    for (unsigned char b : r) EXPECT_EQ(b, 0xAB);
}

TEST(qvwr_transform_image, interpolate_flag_changes_nothing)
{
  qvwr_transform_image ti;
  const vimt_transform_2d i2a = zoom(1.7, -0.3, 0.6);
  for (unsigned np : {1u, 3u}) {
    const vimt_image_2d_of<vxl_byte> im = pattern(13, 11, np);
    const int bpp = np == 1 ? 1 : 4;
    out_rows a(20, 17, bpp), b(20, 17, bpp);
    ti.transform(a.rows(), 20, 17, im, i2a, false, false);
    ti.transform(b.rows(), 20, 17, im, i2a, true, false);
    EXPECT_EQ(a.data, b.data) << np << " planes";
  }
}

TEST(qvwr_transform_image, equalisation_only_on_one_plane_and_visible_area)
{
  qvwr_transform_image ti;
  // Dark left half with a few grey levels, bright right half.
  vimt_image_2d_of<vxl_byte> im(40, 10, 1);
  for (unsigned j = 0; j < 10; ++j)
    for (unsigned i = 0; i < 40; ++i) im.image()(i, j) = i < 20 ? vxl_byte(10 + i) : vxl_byte(240);

  // Only the left half is shown: equalised over what is shown.
  const vimt_transform_2d i2a = zoom(1, 0, 0);
  out_rows plain(20, 10, 1), eq(20, 10, 1);
  ti.transform(plain.rows(), 20, 10, im, i2a, false, false);
  ti.transform(eq.rows(), 20, 10, im, i2a, false, true);
  vil_image_view<vxl_byte> want(20, 10, 1);
  for (unsigned j = 0; j < 10; ++j)
    for (unsigned i = 0; i < 20; ++i) want(i, j) = plain.byte(int(i), int(j));
  vil_histogram_equalise(want);
  bool changed = false;
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(eq.byte(i, j), want(unsigned(i), unsigned(j)));
      changed = changed || eq.byte(i, j) != plain.byte(i, j);
    }
  EXPECT_TRUE(changed);
  EXPECT_GT(eq.byte(19, 0), 200);  // the brightest shown level is stretched up

  // Colour is never equalised.
  const vimt_image_2d_of<vxl_byte> rgb = pattern(9, 7, 3);
  out_rows c0(9, 7, 4), c1(9, 7, 4);
  ti.transform(c0.rows(), 9, 7, rgb, i2a, false, false);
  ti.transform(c1.rows(), 9, 7, rgb, i2a, false, true);
  EXPECT_EQ(c0.data, c1.data);
}

TEST(qvwr_transform_image, never_reads_outside_the_image)
{
  qvwr_transform_image ti;
  const vimt_image_2d_of<vxl_byte> im = pattern(10, 10, 1);

  // The extra row below a 20-pixel-high widget: zoom 4 covers rows 1..36,
  // clipped at row 20, which must still map into the image.
  vimt_transform_2d i2d = zoom(4, 0, 0);
  const vgl_box_2d<int> a = ti.displayArea(20, 20, index_box(10, 10), i2d);
  ASSERT_EQ(a.max_y(), 20);
  const int W = a.max_x() - a.min_x() + 1, H = a.max_y() - a.min_y() + 1;
  vimt_transform_2d shift;
  shift.set_translation(-a.min_x(), -a.min_y());
  const vimt_transform_2d i2a = shift * i2d;
  out_rows out(W, H, 1);
  ti.transform(out.rows(), W, H, im, i2a, false, false);
  int si, sj;
  nearest(i2a, W - 1, H - 1, si, sj);
  EXPECT_EQ(out.byte(W - 1, H - 1), im.image()(unsigned(si), unsigned(sj)));

  // An output larger than the image under the transform is clamped to the
  // edge pixels instead of reading past the buffer.
  out_rows wide(30, 30, 1);
  ti.transform(wide.rows(), 30, 30, im, vimt_transform_2d(), false, false);
  EXPECT_EQ(wide.byte(29, 29), im.image()(9, 9));
  EXPECT_EQ(wide.byte(29, 0), im.image()(9, 0));
  EXPECT_EQ(wide.byte(0, 29), im.image()(0, 9));
  vimt_transform_2d before = zoom(1, 5, 5);  // output starts left of / above the image
  out_rows neg(4, 4, 4);
  const vimt_image_2d_of<vxl_byte> rgb = pattern(10, 10, 3);
  ti.transform(neg.rows(), 4, 4, rgb, before, false, false);
  const auto& v = rgb.image();
  EXPECT_EQ(neg.word(0, 0), 0xff000000u + v(0, 0, 0) * 65536u + v(0, 0, 1) * 256u + v(0, 0, 2));
}

TEST(qvwr_transform_image, follows_the_steps_of_the_view)
{
  qvwr_transform_image ti;
  // Interleaved colour memory (istep 3, plane step 1) and a view of one
  // plane of it (istep 3): both must be addressed by their steps.
  auto mem = std::make_shared<vil_memory_chunk>(6 * 4 * 3, VIL_PIXEL_FORMAT_BYTE);
  vxl_byte* px = static_cast<vxl_byte*>(mem->data());
  for (int k = 0; k < 6 * 4 * 3; ++k) px[k] = vxl_byte(k);
  const vil_image_view<vxl_byte> rgb(mem, px, 6, 4, 3, 3, 18, 1);
  const vil_image_view<vxl_byte> green(mem, px + 1, 6, 4, 1, 3, 18, 1);

  out_rows g(6, 4, 1), c(6, 4, 4);
  ti.transform(g.rows(), 6, 4, vimt_image_2d_of<vxl_byte>(green, vimt_transform_2d()),
               vimt_transform_2d(), false, false);
  ti.transform(c.rows(), 6, 4, vimt_image_2d_of<vxl_byte>(rgb, vimt_transform_2d()),
               vimt_transform_2d(), false, false);
  for (unsigned j = 0; j < 4; ++j)
    for (unsigned i = 0; i < 6; ++i) {
      EXPECT_EQ(g.byte(int(i), int(j)), green(i, j));
      EXPECT_EQ(c.word(int(i), int(j)), 0xff000000u + rgb(i, j, 0) * 65536u + rgb(i, j, 1) * 256u + rgb(i, j, 2));
    }
}

TEST(qvwr_transform_image_death, refuses_general_transforms)
{
  qvwr_transform_image ti;
  const vimt_image_2d_of<vxl_byte> im = pattern(4, 4, 1);
  out_rows out(4, 4, 1);
  vimt_transform_2d aff;
  aff.set_affine(1, 0.2, 0, 0, 1, 0);
  EXPECT_DEATH(ti.transform(out.rows(), 4, 4, im, aff, false, false),
               "qvwr_transform_image::transform\\(\\) Can't cope with affine/projective "
               "transformations yet\\. Sorry");
  vimt_transform_2d tr;
  tr.set_translation(1, 1);
  EXPECT_DEATH(ti.transform(out.rows(), 4, 4, im, tr, false, false), "Can't cope with affine");
  // An empty image is a caller's error caught by the checked pixel access.
  EXPECT_DEATH(ti.transform(out.rows(), 4, 4, vimt_image_2d_of<vxl_byte>(), vimt_transform_2d(),
                            false, false),
               "");
}

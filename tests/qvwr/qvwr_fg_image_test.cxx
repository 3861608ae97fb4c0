#include <qvwr/qvwr_fg_image.h>

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <vector>
#include <QPixmap>
#include <gtest/gtest.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/vil_load_support.h>

#if defined(__SANITIZE_ADDRESS__)
// A display image too large for memory must come back as Qt's null image.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace
{
// A viewer of a fixed size whose world-to-display map is the identity, so
// that image pixel (i, j) shows at widget pixel (i, j).
struct identity_view
{
  qvwr_viewer viewer;
  qvwr_fg_image fig;
  explicit identity_view(int w = 60, int h = 40)
  {
    viewer.resize(w, h);
    viewer.displaySize(w, h);
    viewer.setUseIdentityMapping(true);
    viewer.append(fig);
  }
  ~identity_view() { viewer.removeAll(); }
  QImage shot()
  {
    QPixmap pm;
    viewer.screenShot(&pm);
    return pm.toImage();
  }
};

vimt_image_2d_of<vxl_byte> grey_ramp(unsigned ni, unsigned nj)
{
  vimt_image_2d_of<vxl_byte> im(ni, nj, 1);
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i) im.image()(i, j) = vxl_byte((i * 5 + j * 3) & 0xff);
  return im;
}

int grey_at(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)); }
}  // namespace

TEST(qvwr_fg_image, shows_grey_values_through_the_grey_table)
{
  identity_view v;
  const vimt_image_2d_of<vxl_byte> im = grey_ramp(30, 20);
  v.fig.set(im);

  // The area runs from the first pixel centre to the last: 1..29 by 1..19.
  EXPECT_EQ(v.fig.pixmapX(), 1);
  EXPECT_EQ(v.fig.pixmapY(), 1);
  EXPECT_EQ(v.fig.boundBox(), QRect(QPoint(1, 1), QPoint(29, 19)));
  const QImage& d = v.fig.displayImage();
  ASSERT_EQ(d.format(), QImage::Format_Indexed8);
  ASSERT_EQ(d.colorCount(), 256);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(d.color(k), qRgba(k, k, k, 255)) << k;

  const QImage s = v.shot();
  for (int j = 1; j < 20; ++j)
    for (int i = 1; i < 30; ++i) ASSERT_EQ(grey_at(s, i, j), im.image()(unsigned(i), unsigned(j)));
  // Outside the bound box the viewer's ground shows, untouched by the figure.
  EXPECT_EQ(s.pixel(45, 30), s.pixel(59, 39));
}

TEST(qvwr_fg_image, grey_range_acts_at_the_next_rebuild)
{
  identity_view v;
  vimt_image_2d_of<vxl_byte> im(10, 4, 1);
  for (unsigned i = 0; i < 10; ++i)
    for (unsigned j = 0; j < 4; ++j) im.image()(i, j) = vxl_byte(i < 3 ? 40 : i < 6 ? 75 : 120);
  v.fig.set(im);
  const QImage before = v.shot();
  EXPECT_EQ(grey_at(before, 4, 2), 75);

  v.fig.setRange(50, 100);
  EXPECT_EQ(v.shot(), before);  // no rebuild, no repaint
  EXPECT_EQ(v.fig.displayImage().color(75), qRgba(75, 75, 75, 255));

  v.fig.set(im);
  const QImage& d = v.fig.displayImage();
  EXPECT_EQ(d.color(50), qRgba(0, 0, 0, 255));
  EXPECT_EQ(d.color(100), qRgba(255, 255, 255, 255));
  EXPECT_EQ(d.color(75), qRgba(128, 128, 128, 255));  // 25 * 255 / 50 = 127.5
  EXPECT_EQ(d.color(0), qRgba(0, 0, 0, 255));
  EXPECT_EQ(d.color(255), qRgba(255, 255, 255, 255));
  const QImage after = v.shot();
  EXPECT_EQ(grey_at(after, 1, 1), 0);
  EXPECT_EQ(grey_at(after, 4, 1), 128);
  EXPECT_EQ(grey_at(after, 8, 1), 255);

  // An empty range is a step at lo, not undefined arithmetic.
  v.fig.setRange(75, 75);
  v.fig.set(im);
  EXPECT_EQ(v.fig.displayImage().color(74), qRgba(0, 0, 0, 255));
  EXPECT_EQ(v.fig.displayImage().color(75), qRgba(0, 0, 0, 255));
  EXPECT_EQ(v.fig.displayImage().color(76), qRgba(255, 255, 255, 255));
}

TEST(qvwr_fg_image, rebuilds_only_on_changes_never_in_draw)
{
  identity_view v;
  v.fig.set(grey_ramp(30, 20));
  const qint64 k0 = v.fig.shownImage().cacheKey();

  v.shot();
  v.viewer.repaint();
  EXPECT_EQ(v.fig.shownImage().cacheKey(), k0) << "painting rebuilt the display image";

  v.fig.setInterpMethod(v.fig.interpMethod());
  EXPECT_EQ(v.fig.shownImage().cacheKey(), k0) << "same interpolation method rebuilt";
  v.fig.setInterpMethod(v.fig.interpMethod() + 1);
  const qint64 k1 = v.fig.shownImage().cacheKey();
  EXPECT_NE(k1, k0);

  v.fig.set_hist_eq(false);  // same value still rebuilds
  const qint64 k2 = v.fig.shownImage().cacheKey();
  EXPECT_NE(k2, k1);

  v.fig.set_mapping_mode(true);  // unchanged mode: nothing
  EXPECT_EQ(v.fig.shownImage().cacheKey(), k2);
}

TEST(qvwr_fg_image, equalisation_changes_grey_but_not_colour)
{
  identity_view v;
  vimt_image_2d_of<vxl_byte> im(30, 20, 1);
  for (unsigned j = 0; j < 20; ++j)
    for (unsigned i = 0; i < 30; ++i) im.image()(i, j) = vxl_byte(100 + i / 10);  // 100..102
  v.fig.set(im);
  const QImage plain = v.shot();
  v.fig.set_hist_eq(true);
  const QImage eq = v.shot();
  EXPECT_EQ(grey_at(plain, 25, 5), 102);
  EXPECT_GT(grey_at(eq, 25, 5), 200);  // the narrow range is spread out

  vimt_image_2d_of<vxl_byte> rgb(30, 20, 3);
  rgb.image().fill(90);
  v.fig.set(rgb);
  EXPECT_EQ(v.shot().pixel(5, 5) & 0xffffff, 0x5a5a5au);
  v.fig.set_hist_eq(false);
}

TEST(qvwr_fg_image, colour_and_plane_counts)
{
  identity_view v;
  vimt_image_2d_of<vxl_byte> rgb(20, 10, 3);
  for (unsigned j = 0; j < 10; ++j)
    for (unsigned i = 0; i < 20; ++i) {
      rgb.image()(i, j, 0) = vxl_byte(10 * i);
      rgb.image()(i, j, 1) = vxl_byte(20 * j);
      rgb.image()(i, j, 2) = 77;
    }
  v.fig.setRange(50, 100);  // no effect on colour
  v.fig.set(rgb);
  EXPECT_EQ(v.fig.displayImage().format(), QImage::Format_RGB32);
  QImage s = v.shot();
  EXPECT_EQ(s.pixel(7, 3) & 0xffffff, qRgb(70, 60, 77) & 0xffffffu);
  EXPECT_EQ(s.pixel(19, 9) & 0xffffff, qRgb(190, 180, 77) & 0xffffffu);

  // Alpha plane: the colour is shown and nothing is printed.
  vimt_image_2d_of<vxl_byte> rgba(20, 10, 4);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < 10; ++j)
      for (unsigned i = 0; i < 20; ++i) rgba.image()(i, j, p) = rgb.image()(i, j, p);
  testing::internal::CaptureStderr();
  v.fig.set(rgba);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(v.shot().pixel(7, 3) & 0xffffff, qRgb(70, 60, 77) & 0xffffffu);

  // Two planes: the first, through the grey table.
  v.fig.setRange(0, 255);
  vimt_image_2d_of<vxl_byte> two(20, 10, 2);
  two.image().fill(200);
  for (unsigned j = 0; j < 10; ++j)
    for (unsigned i = 0; i < 20; ++i) two.image()(i, j, 0) = vxl_byte(i * 12);
  v.fig.set(two);
  EXPECT_EQ(v.fig.displayImage().format(), QImage::Format_Indexed8);
  EXPECT_EQ(grey_at(v.shot(), 5, 5), 60);

  // Five planes: the message, a black picture, and the program goes on.
  vimt_image_2d_of<vxl_byte> five(20, 10, 5);
  five.image().fill(255);
  testing::internal::CaptureStderr();
  v.fig.set(five);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Can't cope with 5 planes."), std::string::npos);
  EXPECT_EQ(v.shot().pixel(5, 5) & 0xffffff, 0u);
}

TEST(qvwr_fg_image, placement_by_world_transform_and_mapping_mode)
{
  identity_view v(80, 80);
  // World-to-image zoom 0.5: each image pixel spans two world units.
  vimt_image_2d_of<vxl_byte> im = grey_ramp(20, 10);
  vimt_transform_2d w2i;
  w2i.set_zoom_only(0.5, 0.5, 0, 0);
  im.set_world2im(w2i);
  v.fig.set(im);
  EXPECT_EQ(v.fig.boundBox(), QRect(QPoint(1, 1), QPoint(38, 18)));  // rnd(0.5)..rnd(37.5)
  EXPECT_EQ(grey_at(v.shot(), 10, 4), im.image()(5, 2));

  v.fig.set_mapping_mode(false);  // image pixels as world units
  EXPECT_EQ(v.fig.boundBox(), QRect(QPoint(1, 1), QPoint(19, 9)));
  EXPECT_EQ(grey_at(v.shot(), 10, 4), im.image()(10, 4));
  v.fig.set_mapping_mode(true);
  EXPECT_EQ(v.fig.boundBox(), QRect(QPoint(1, 1), QPoint(38, 18)));
}

TEST(qvwr_fg_image, zoomed_viewer_and_image_out_of_sight)
{
  qvwr_viewer viewer;
  viewer.resize(100, 100);
  viewer.displaySize(100, 100);
  qvwr_fg_image fig;
  viewer.append(fig);
  fig.set(grey_ramp(10, 10));
  // World window (0,0)-(10,10) in a 100 x 100 display: scale 10.
  viewer.worldWindow(vgl_box_2d<double>(0, 10, 0, 10));
  viewer.unZoom();
  EXPECT_EQ(fig.boundBox(), QRect(QPoint(1, 1), QPoint(90, 90)));  // rnd(0.5)..rnd(89.5)
  QPixmap pm;
  viewer.screenShot(&pm);
  const QImage s = pm.toImage();
  EXPECT_EQ(qGray(s.pixel(24, 52)), grey_ramp(10, 10).image()(2, 5));

  // Zoomed far away: no display pixels, nothing drawn, nothing broken.
  viewer.viewWindow(vgl_box_2d<double>(500, 600, 500, 600));
  EXPECT_EQ(fig.boundBox().width(), 0);
  EXPECT_TRUE(fig.displayImage().isNull());
  viewer.screenShot(&pm);
  EXPECT_EQ(pm.toImage().pixel(50, 50), pm.toImage().pixel(0, 0));

  // A display image too large for memory: Qt gives a null image, which
  // shows as an empty area.
  viewer.resize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  viewer.displaySize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  viewer.unZoom();
  EXPECT_EQ(fig.boundBox().width(), 0);
  EXPECT_TRUE(fig.displayImage().isNull());
  viewer.removeAll();
}

TEST(qvwr_fg_image, detached_settings_wait_for_the_next_append)
{
  qvwr_fg_image fig;
  EXPECT_EQ(fig.is_a(), "qvwr_fg_image");
  EXPECT_TRUE(fig.isOpaque());
  fig.set_hist_eq(true);  // empty and detached: stored only
  fig.setInterpMethod(3);
  EXPECT_EQ(fig.interpMethod(), 3);
  fig.set_mapping_mode(false);
  EXPECT_TRUE(fig.displayImage().isNull());
}

TEST(qvwr_fg_image_death, set_needs_a_viewer)
{
  qvwr_fg_image fig;
  EXPECT_DEATH(fig.set(grey_ramp(4, 4)), "viewer_!=0");
}

TEST(qvwr_fg_image, painted_from_the_image_as_through_the_display_image)
{
  // Colour loaded (interleaved) and planar, grey, grey with alpha; fitted,
  // zoomed in about a point, and panned partly out of sight.
  std::vector<vimt_image_2d_of<vxl_byte>> images;
  for (unsigned np : {3u, 3u, 1u, 2u}) {
    vimt_image_2d_of<vxl_byte> im(37, 23, np);
    if (images.size() == 0) im.image() = vil_load_interleaved_view<vxl_byte>(37, 23, np);
    for (unsigned p = 0; p < np; ++p)
      for (unsigned j = 0; j < 23; ++j)
        for (unsigned i = 0; i < 37; ++i) im.image()(i, j, p) = vxl_byte(i * 7 + j * 11 + p * 50);
    images.push_back(im);
  }
  identity_view through(90, 70), from(90, 70);
  from.fig.set_paint_from_source(true);
  for (identity_view* v : {&through, &from}) {
    v->viewer.setUseIdentityMapping(false);
    v->viewer.worldWindow(vgl_box_2d<double>(0, 36, 0, 22));
  }
  // The device of a painting of the whole viewer (clip none or one
  // rectangle, drawn from the image), or of two rectangles (from the
  // display image, which the painting builds).
  auto painted = [](identity_view& v, const QRegion& clip) {
    const qreal r = v.viewer.devicePixelRatioF();
    QImage device(QSize(90, 70) * r, QImage::Format_RGB32);
    device.setDevicePixelRatio(r);
    device.fill(Qt::blue);
    QPainter p(&device);
    if (!clip.isEmpty()) p.setClipRegion(clip);
    v.viewer.drawGraphics(p, QRect(0, 0, 90, 70));
    return device;
  };
  const QRegion two = QRegion(3, 4, 30, 20) + QRegion(50, 40, 20, 20);
  for (const vimt_image_2d_of<vxl_byte>& im : images)
    for (int view = 0; view < 3; ++view) {
      SCOPED_TRACE(testing::Message() << im.nplanes() << " planes, view " << view);
      for (identity_view* v : {&through, &from}) {
        v->fig.set(im);
        v->viewer.unZoom();
        if (view > 0) v->viewer.zoomAbout(QPointF(31, 17), 2.7);
        if (view > 1) v->viewer.pan(QPointF(-60, 25));
      }
      EXPECT_TRUE(from.fig.displayImage().isNull());
      for (const QRegion& clip : {QRegion(), QRegion(8, 6, 62, 34)})
        EXPECT_TRUE(painted(from, clip) == painted(through, clip));
      EXPECT_TRUE(from.fig.displayImage().isNull()) << "painting built the display image";
      EXPECT_TRUE(painted(from, two) == painted(through, two));
      EXPECT_FALSE(from.fig.displayImage().isNull());
    }
  // Equalising needs the whole picture: built at once, as before.
  from.fig.set(images[2]);
  from.fig.set_hist_eq(true);
  EXPECT_FALSE(from.fig.displayImage().isNull());
}

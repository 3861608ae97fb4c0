#include <qvwr/qvwr_copy_to_device.h>

#include <QPaintEngine>
#include <QPixmap>
#include <QRegion>
#include <gtest/gtest.h>

namespace
{
// One painting: the device, what the painter is set to, the image's ratio
// and where it goes, and whether the copy should take it.
struct paint_case
{
  const char* what;
  QImage::Format device;
  qreal scale, ratio;
  QPointF shift, at;
  QRect clip;           // none when null
  QRegion system;       // none when empty
  qreal opacity;
  bool copied;
  int width = 700;  // of the image, 0.6 times that high
};

// Large enough to be copied by several threads.
QImage picture(qreal ratio, int width)
{
  QImage im(width, width * 3 / 5, QImage::Format_RGB32);
  for (int y = 0; y < im.height(); ++y)
    for (int x = 0; x < im.width(); ++x) im.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x ^ y) & 0xff));
  im.setDevicePixelRatio(ratio);
  return im;
}

// The device after painting `im` on it, by the copy where it takes it.
QImage painted(const paint_case& c, const QImage& im, bool by_copy, bool* took = nullptr)
{
  QImage device(im.width() + 100, im.height() + 80, c.device);
  device.fill(QColor(10, 200, 30));
  if (!c.system.isEmpty()) device.paintEngine()->setSystemClip(c.system);
  QPainter p(&device);
  p.translate(c.shift);
  p.scale(c.scale, c.scale);
  if (!c.clip.isNull()) p.setClipRect(c.clip);
  p.setOpacity(c.opacity);
  const bool copy = by_copy && qvwr_copy_to_device(p, c.at, im);
  if (took) *took = copy;
  if (!copy) p.drawImage(c.at, im);
  return device;
}
}  // namespace

TEST(qvwr_copy_to_device, gives_the_pixels_of_draw_image_or_leaves_it_to_it)
{
  const QImage::Format rgb = QImage::Format_RGB32, argb = QImage::Format_ARGB32_Premultiplied;
  const QRegion two_rects = QRegion(0, 0, 300, 500) + QRegion(500, 100, 300, 100);
  const paint_case cases[] = {
      {"whole image", rgb, 1, 1, {}, {0, 0}, {}, {}, 1, true},
      {"shifted, partly off the device", rgb, 1, 1, {150, -30}, {0, 0}, {}, {}, 1, true},
      {"alpha surface", argb, 1, 1, {}, {20, 30}, {}, {}, 1, true},
      {"clipped", rgb, 1, 1, {}, {20, 30}, QRect(35, 17, 300, 200), {}, 1, true},
      {"a widget's exposed part", rgb, 1, 1, {}, {20, 30}, {}, two_rects, 1, true},
      {"ratio 2", rgb, 2, 2, {3, 1}, {10.5, 4}, QRect(1, 1, 300, 150), {}, 1, true},
      {"ratio 1.5 on whole pixels", rgb, 1.5, 1.5, {}, {2, 4}, {}, {}, 1, true},
      {"between device pixels", rgb, 1, 1, {0.5, 0}, {0, 0}, {}, {}, 1, false},
      {"scale other than the ratio", rgb, 2, 1, {}, {0, 0}, {}, {}, 1, false},
      {"clip between device pixels", rgb, 1.5, 1.5, {}, {2, 4}, QRect(1, 1, 51, 50), {}, 1, false},
      {"translucent", rgb, 1, 1, {}, {0, 0}, {}, {}, 0.5, false},
      {"device without alpha in 32 bits", QImage::Format_RGB888, 1, 1, {}, {0, 0}, {}, {}, 1, false},
      {"larger than the caches", rgb, 1, 1, {}, {30, 20}, QRect(0, 9, 2880, 1700), {}, 1, true, 2800},
  };
  for (const paint_case& c : cases) {
    SCOPED_TRACE(c.what);
    const QImage im = picture(c.ratio, c.width);
    bool took = false;
    const QImage got = painted(c, im, true, &took);
    EXPECT_EQ(took, c.copied);
    EXPECT_TRUE(got == painted(c, im, false));
  }

  // A pixmap's device is its own image too.
  const QImage im = picture(1, 700);
  QPixmap pm(100, 100);
  QPainter pp(&pm);
  EXPECT_TRUE(qvwr_copy_to_device(pp, QPointF(-5, -5), im));
  pp.end();
  EXPECT_EQ(pm.toImage().pixel(10, 7), im.pixel(15, 12));
}

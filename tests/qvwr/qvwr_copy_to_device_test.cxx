#include <qvwr/qvwr_copy_to_device.h>

#include <QPaintEngine>
#include <QRegion>
#include <gtest/gtest.h>

namespace
{
// The device's format, the painter's scale and shift, the image's ratio,
// width (0.6 times that high) and place, the clips (none when null or
// empty), and whether the copy should take it.
struct paint_case
{
  QImage::Format device;
  qreal scale, ratio;
  int width;
  QPointF shift, at;
  QRect clip;
  QRegion system;
  bool copied;
};
}  // namespace

TEST(qvwr_copy_to_device, gives_the_pixels_of_draw_image_or_leaves_it_to_it)
{
  const QImage::Format rgb = QImage::Format_RGB32;
  const QRegion exposed = QRegion(0, 0, 300, 500) + QRegion(500, 100, 300, 100);
  const paint_case cases[] = {
      {rgb, 1, 1, 700, {150, -30}, {0, 0}, {}, {}, true},  // partly off the device
      {QImage::Format_ARGB32_Premultiplied, 1, 1, 700, {}, {20, 30}, {}, {}, true},
      {rgb, 1, 1, 700, {}, {20, 30}, QRect(35, 17, 300, 200), exposed, true},
      {rgb, 2, 2, 700, {3, 1}, {10.5, 4}, QRect(1, 1, 300, 150), {}, true},
      {rgb, 1, 1, 2800, {}, {30, 20}, QRect(0, 9, 2880, 1700), {}, true},  // past the caches
      {rgb, 1, 1, 700, {0.5, 0}, {0, 0}, {}, {}, false},  // between device pixels
      {rgb, 1.5, 1.5, 700, {}, {2, 4}, QRect(1, 1, 51, 50), {}, false},
  };
  for (const paint_case& c : cases) {
    SCOPED_TRACE(&c - cases);
    QImage im(c.width, c.width * 3 / 5, QImage::Format_RGB32);
    for (int y = 0; y < im.height(); ++y)
      for (int x = 0; x < im.width(); ++x) im.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x ^ y) & 0xff));
    im.setDevicePixelRatio(c.ratio);
    // The device after painting: by the copy where it takes it, else by Qt.
    auto painted = [&](bool by_copy) {
      QImage device(im.width() + 100, im.height() + 80, c.device);
      device.fill(QColor(10, 200, 30));
      if (!c.system.isEmpty()) device.paintEngine()->setSystemClip(c.system);
      QPainter p(&device);
      p.translate(c.shift);
      p.scale(c.scale, c.scale);
      if (!c.clip.isNull()) p.setClipRect(c.clip);
      const bool copied = by_copy && qvwr_copy_to_device(p, c.at, im);
      if (!copied) p.drawImage(c.at, im);
      EXPECT_EQ(copied, by_copy && c.copied);
      return device;
    };
    EXPECT_TRUE(painted(true) == painted(false));
  }
}

#include <qvwr/qvwr_copy_to_device.h>

#include <cstdint>
#include <cstring>
#include <qvwr/qvwr_device_pixels.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_copy_streamed.h>

bool qvwr_copy_to_device(QPainter& painter, const QPointF& at, const QImage& image)
{
  qvwr_device_pixels pixels;
  if (image.format() != QImage::Format_RGB32 ||
      !qvwr_find_device_pixels(painter, at, image.size(), image.devicePixelRatio(), pixels))
    return false;
  QImage& target = *pixels.device;
  const QRegion& region = pixels.region;
  const QPoint origin = pixels.origin;

  uchar* const to = target.bits();
  const uchar* const from = image.constBits();
  const qsizetype to_line = target.bytesPerLine(), from_line = image.bytesPerLine();
  // A frame larger than the caches is written past them: its lines are not
  // fetched only to be overwritten.
  const bool stream = std::size_t(region.boundingRect().width()) * region.boundingRect().height() * 4 >
                      vil_copy_streamed_above;
  for (const QRect& r : region) {
    const std::size_t n = std::size_t(r.width());
    vil_thread_team team(vil_thread_team::for_pixels(vil_thread_team::available(), n * r.height()));
    team.run([&](unsigned w) {
      const int y0 = r.top() + int(vil_thread_team::part_begin(unsigned(r.height()), team.size(), w, 1));
      const int y1 = r.top() + int(vil_thread_team::part_begin(unsigned(r.height()), team.size(), w + 1, 1));
      for (int y = y0; y < y1; ++y) {
        auto* d = reinterpret_cast<std::uint32_t*>(to + y * to_line) + r.left();
        const auto* s = reinterpret_cast<const std::uint32_t*>(from + (y - origin.y()) * from_line) +
                        (r.left() - origin.x());
        if (stream)
          vil_copy_streamed(s, d, n * 4);
        else
          std::memcpy(d, s, n * 4);
      }
    });
  }
  return true;
}

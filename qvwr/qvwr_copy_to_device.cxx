#include <qvwr/qvwr_copy_to_device.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <QPaintEngine>
#include <QRegion>
#include <QTransform>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_copy_streamed.h>

namespace
{
// p as a whole point, if it is one.
bool whole(const QPointF& p, QPoint& q)
{
  q = QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
  return std::abs(p.x() - q.x()) < 1e-9 && std::abs(p.y() - q.y()) < 1e-9;
}
}  // namespace

bool qvwr_copy_to_device(QPainter& painter, const QPointF& at, const QImage& image)
{
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster || image.format() != QImage::Format_RGB32)
    return false;
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image) return false;
  QImage& target = *static_cast<QImage*>(device);
  const QImage::Format f = target.format();
  if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 &&
      f != QImage::Format_ARGB32_Premultiplied)
    return false;
  const QPainter::CompositionMode mode = painter.compositionMode();
  if (painter.opacity() != 1.0 ||
      (mode != QPainter::CompositionMode_SourceOver && mode != QPainter::CompositionMode_Source))
    return false;

  // One image pixel to one device pixel, on the device's grid.
  const QTransform t = painter.deviceTransform();
  const qreal ratio = image.devicePixelRatio();
  QPoint origin;
  if (t.type() > QTransform::TxScale || t.m11() != ratio || t.m22() != ratio ||
      !whole(t.map(at), origin))
    return false;
  QRect copied = QRect(origin, image.size()) & target.rect();
  if (painter.hasClipping()) {
    const QRegion clip = painter.clipRegion();
    if (clip.rectCount() != 1) return false;
    const QRectF c = t.mapRect(QRectF(clip.boundingRect()));
    QPoint c0, c1;
    if (!whole(c.topLeft(), c0) || !whole(c.bottomRight(), c1)) return false;
    copied &= QRect(c0, c1 - QPoint(1, 1));
  }
  // What the painter may touch of its device: a widget's exposed part.
  QRegion region(copied);
  const QRegion system = engine->systemClip();
  if (!system.isEmpty()) region &= system;

  // RGB32 pixels are 0xffRRGGBB, the same bits in all three formats.
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

#include <qvwr/qvwr_device_pixels.h>

#include <cmath>
#include <QPaintEngine>
#include <QTransform>

namespace
{
// p as a whole point, if it is one.
bool whole(const QPointF& p, QPoint& q)
{
  q = QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
  return std::abs(p.x() - q.x()) < 1e-9 && std::abs(p.y() - q.y()) < 1e-9;
}
}  // namespace

bool qvwr_find_device_pixels(QPainter& painter, const QPointF& at, const QSize& size, qreal ratio,
                             qvwr_device_pixels& out)
{
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return false;
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image) return false;
  QImage& target = *static_cast<QImage*>(device);
  // RGB32 pixels are 0xffRRGGBB, the same bits in all three formats.
  const QImage::Format f = target.format();
  if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 &&
      f != QImage::Format_ARGB32_Premultiplied)
    return false;
  const QPainter::CompositionMode mode = painter.compositionMode();
  if (painter.opacity() != 1.0 ||
      (mode != QPainter::CompositionMode_SourceOver && mode != QPainter::CompositionMode_Source))
    return false;

  // One picture pixel to one device pixel, on the device's grid.
  const QTransform t = painter.deviceTransform();
  QPoint origin;
  if (t.type() > QTransform::TxScale || t.m11() != ratio || t.m22() != ratio ||
      !whole(t.map(at), origin))
    return false;
  QRect covered = QRect(origin, size) & target.rect();
  if (painter.hasClipping()) {
    const QRegion clip = painter.clipRegion();
    if (clip.rectCount() != 1) return false;
    const QRectF c = t.mapRect(QRectF(clip.boundingRect()));
    QPoint c0, c1;
    if (!whole(c.topLeft(), c0) || !whole(c.bottomRight(), c1)) return false;
    covered &= QRect(c0, c1 - QPoint(1, 1));
  }
  // What the painter may touch of its device: a widget's exposed part.
  QRegion region(covered);
  const QRegion system = engine->systemClip();
  if (!system.isEmpty()) region &= system;

  out.device = &target;
  out.origin = origin;
  out.region = region;
  return true;
}

#ifndef qvwr_device_pixels_h_
#define qvwr_device_pixels_h_
// The pixels of a painter's device that a picture covers one to one: where
// figures may write their rows straight into memory (a window's buffer, a
// pixmap) instead of going through QPainter, which does that on one thread.
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QRegion>
#include <QSize>

struct qvwr_device_pixels
{
  QImage* device = nullptr;  // the painter's device
  QPoint origin;             // the device pixel of the picture's top-left
  QRegion region;            // the device pixels covered that may be painted
};

// Where a picture of `size` pixels at `ratio` pixels per painter unit,
// drawn with its top-left corner at `at` in the painter's coordinates, lands
// on the painter's device, when its pixels land there one to one and plain
// 0xffRRGGBB words written there give what painter.drawImage would: true
// and `out` filled, or false (a device that is not an image in memory or
// not of a 32-bit RGB format, another scale, a position between device
// pixels, a clip that is not one rectangle, opacity, other composition
// modes).  The region takes in the painter's clip and the device's
// exposed part.
bool qvwr_find_device_pixels(QPainter& painter, const QPointF& at, const QSize& size, qreal ratio,
                             qvwr_device_pixels& out);

#endif

#ifndef qvwr_copy_to_device_h_
#define qvwr_copy_to_device_h_
// An opaque image drawn by copying its rows straight into the painter's
// device, on every CPU: what QPainter::drawImage does for an image whose
// pixels land one to one on the device's, on one thread.  A frame of a
// large screen is tens of megabytes, and the copy is most of its paint.
#include <QImage>
#include <QPainter>
#include <QPointF>

// Draws `image` (Format_RGB32, opaque) with its top-left corner at `at`, in
// the painter's coordinates, as painter.drawImage(at, image) would, and
// returns true; or draws nothing and returns false where the copy would
// not give the same pixels (a device that is not an image in memory, a
// scale other than the image's ratio, a position between device pixels, a
// clip that is not one rectangle, opacity, other composition modes).
bool qvwr_copy_to_device(QPainter& painter, const QPointF& at, const QImage& image);

#endif

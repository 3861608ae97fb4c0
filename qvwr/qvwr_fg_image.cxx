#include <qvwr/qvwr_fg_image.h>

#include <cmath>
#include <vector>
#include <QPainter>
#include <qvwr/qvwr_copy_to_device.h>
#include <qvwr/qvwr_device_pixels.h>
#include <qvwr/qvwr_transform_image.h>
#include <qvwr/qvwr_viewer.h>

qvwr_fg_image::qvwr_fg_image() = default;

qvwr_fg_image::~qvwr_fg_image() = default;

void qvwr_fg_image::set(const vimt_image_2d_of<unsigned char>& image)
{
  image_.set_world2im(image.world2im());
  image_.image() = image.image();
  if (mapping_mode_)
    w2i_ = image.world2im();
  else
    w2i_.set_identity();
  setTransform(w2d_);
}

void qvwr_fg_image::setTransform(const vimt_transform_2d& w2d)
{
  lock();
  invalidate(boundBox());
  w2d_ = w2d;
  computeImage();
  invalidate(boundBox());
  release();
}

void qvwr_fg_image::setRange(double lo, double hi)
{
  range_lo_ = lo;
  range_hi_ = hi;
}

void qvwr_fg_image::set_hist_eq(bool on)
{
  hist_eq_ = on;
  // A detached figure is rebuilt when it is next appended.
  if (!hasPixels() || !gotViewer()) return;
  lock();
  invalidate(boundBox());
  computeImage();
  invalidate(boundBox());
  release();
}

void qvwr_fg_image::setInterpMethod(int method)
{
  if (method == interp_method_) return;
  interp_method_ = method;
  if (!hasPixels() || !gotViewer()) return;
  lock();
  invalidate(boundBox());
  computeImage();
  invalidate(boundBox());
  release();
}

void qvwr_fg_image::set_mapping_mode(bool on)
{
  const bool changed = on != mapping_mode_;
  mapping_mode_ = on;
  if (on)
    w2i_ = image_.world2im();
  else
    w2i_.set_identity();
  if (gotViewer() && changed) setTransform(w2d_);
}

void qvwr_fg_image::draw(QPainter& painter, const QRect& area)
{
  if (!isVisible() || !area.intersects(boundBox())) return;
  if (from_source_) {
    if (paintFromSource(painter)) return;
    rebuild(false);  // a device of another kind: the display image after all
  }
  if (qimage_.width() == 0 || qimage_.height() == 0) return;
  // The image carries its ratio: it covers its device pixels one to one.
  const QPointF at = QPointF(device_x_, device_y_) / ratio_;
  if (!qvwr_copy_to_device(painter, at, shownImage())) painter.drawImage(at, shownImage());
}

bool qvwr_fg_image::paintFromSource(QPainter& painter) const
{
  // Other maps are the resampler's to refuse.
  const vimt_transform_2d::Form form = i2a_.form();
  if (form != vimt_transform_2d::Identity && form != vimt_transform_2d::ZoomOnly) return false;
  qvwr_device_pixels pixels;
  const QPointF at = QPointF(device_x_, device_y_) / ratio_;
  if (!qvwr_find_device_pixels(painter, at, device_size_, ratio_, pixels)) return false;
  uchar* const bits = pixels.device->bits();
  const qsizetype bpl = pixels.device->bytesPerLine();
  const QPoint o = pixels.origin;
  qvwr_transform_image ti;
  for (const QRect& r : pixels.region) {
    std::vector<unsigned char*> rows(static_cast<std::size_t>(r.height()));
    for (int k = 0; k < r.height(); ++k)
      rows[std::size_t(k)] = bits + (r.top() + k) * bpl + r.left() * 4;
    ti.zoomPart(rows.data(), r.left() - o.x(), r.top() - o.y(), r.width(), r.height(),
                device_size_.width(), device_size_.height(), image_, i2a_,
                grey_ ? grey_table_.constData() : nullptr);
  }
  return true;
}

void qvwr_fg_image::computeImage() { rebuild(paint_from_source_); }

void qvwr_fg_image::rebuild(bool from_source_allowed)
{
  // An image without pixels has nothing to show (and nothing to sample).
  if (!hasPixels()) return;

  vimt_transform_2d i2d = w2d_ * w2i_.inverse();
  const int ni = int(image_.ni()), nj = int(image_.nj());
  const vgl_box_2d<int> image_box(vgl_point_2d<int>(0, 0),
                                  vgl_point_2d<int>((ni > 1 ? ni : 1) - 1, (nj > 1 ? nj : 1) - 1));

  // The bound box is in widget pixels; the display image covers the device
  // pixels that it touches, so that the image is sampled at the screen's
  // own resolution.
  qvwr_transform_image ti;
  vgl_box_2d<int> area = ti.displayArea(viewer().width(), viewer().height(), image_box, i2d);
  ratio_ = viewer().devicePixelRatioF();
  QRect dev;
  const unsigned np = image_.nplanes();
  const bool grey = np == 1 || np == 2;
  if (!area.is_empty()) dev = qvwr_viewer::deviceRect(toRect(area), ratio_);
  from_source_ = from_source_allowed && !area.is_empty() && np <= 4 && !(grey && hist_eq_);
  if (from_source_) {
    qimage_ = QImage();
    rgb_ = QImage();
    grey_ = grey;
    if (grey) grey_table_ = greyTable(256);
  } else if (!area.is_empty()) {
    const QImage::Format fmt = grey ? QImage::Format_Indexed8 : QImage::Format_RGB32;
    // Keep the buffers when only the content changes: fresh memory costs a
    // page clearing.  Grey is painted through its colours, in 32 bits.
    if (qimage_.size() != dev.size() || qimage_.format() != fmt)
      qimage_ = QImage(dev.size(), fmt);
    grey_ = grey;
    if (!grey)
      rgb_ = QImage();
    else if (rgb_.size() != dev.size())
      rgb_ = QImage(dev.size(), QImage::Format_RGB32);
    if (qimage_.isNull() || (grey && rgb_.isNull())) {
      // Qt gives a null image when it cannot allocate one: nothing to show.
      area = vgl_box_2d<int>();
      dev = QRect();
    } else if (grey) {
      qimage_.setColorCount(256);
      setGreyscale();
    } else if (np != 3 && np != 4) {
      qimage_.fill(0u);  // planes the resampler cannot show: black, not stale memory
    }
  }
  if (area.is_empty()) {
    qimage_ = QImage();
    rgb_ = QImage();
    grey_ = false;
  }

  if (!qimage_.isNull() || from_source_) {
    // Image pixels to the display image's own pixels: pixel centres at
    // whole numbers in both, so widget position u is device position
    // r * u + (r - 1) / 2.  At ratio 1 that is the identity, left out so
    // that the picture is the one it always was.
    vimt_transform_2d to_device;
    if (ratio_ != 1.0)
      to_device.set_zoom_only(ratio_, ratio_, 0.5 * (ratio_ - 1.0), 0.5 * (ratio_ - 1.0));
    vimt_transform_2d shift;
    shift.set_translation(-dev.left(), -dev.top());
    // An identity map composed with the shift is still a scale-1 zoom for
    // the resampler.
    vimt_transform_2d i2a = shift * to_device * i2d;
    if (i2a.form() == vimt_transform_2d::Translation)
      i2a.set_zoom_only(1.0, 1.0, i2a.xt(), i2a.yt());
    i2a_ = i2a;
    device_size_ = dev.size();
  }
  if (!qimage_.isNull()) {
    uchar* bits = qimage_.bits();
    const qsizetype bpl = qimage_.bytesPerLine();
    const int W = qimage_.width(), H = qimage_.height();
    std::vector<unsigned char*> rows(static_cast<std::size_t>(H));
    for (int j = 0; j < H; ++j) rows[std::size_t(j)] = bits + j * bpl;
    ti.transform(rows.data(), W, H, image_, i2a_, interp_method_ > 0, hist_eq_);
    qimage_.setDevicePixelRatio(ratio_);
    if (grey_) colourGrey();
  }

  pixmap_x_ = area.min_x();
  pixmap_y_ = area.min_y();
  device_x_ = dev.left();
  device_y_ = dev.top();
  setBoundBox(QRect(QPoint(area.min_x(), area.min_y()), QPoint(area.max_x(), area.max_y())));
}

void qvwr_fg_image::colourGrey()
{
  QRgb table[256];
  const QList<QRgb> colours = qimage_.colorTable();
  for (int g = 0; g < 256; ++g) table[g] = g < colours.size() ? colours[g] : qRgb(0, 0, 0);
  const uchar* src = qimage_.constBits();
  uchar* dest = rgb_.bits();
  const qsizetype sbpl = qimage_.bytesPerLine(), dbpl = rgb_.bytesPerLine();
  const int W = qimage_.width();
  for (int j = 0; j < qimage_.height(); ++j) {
    const uchar* s = src + j * sbpl;
    QRgb* d = reinterpret_cast<QRgb*>(dest + j * dbpl);
    for (int i = 0; i < W; ++i) d[i] = table[s[i]];
  }
  rgb_.setDevicePixelRatio(ratio_);
}

void qvwr_fg_image::setGreyscale()
{
  const int n = qimage_.colorCount();
  if (n > 0) qimage_.setColorTable(greyTable(n));
}

QList<QRgb> qvwr_fg_image::greyTable(int n) const
{
  const double span = range_hi_ - range_lo_;
  QList<QRgb> table(n);
  for (int i = 0; i < n; ++i) {
    // Multiply before dividing, so that exact halves such as 127.5 stay
    // exact and round up.
    double v = (i - range_lo_) * (n - 1) / span;
    // An empty range (lo == hi) makes lo itself 0 * inf: show it black.
    if (std::isnan(v)) v = 0.0;
    v = v >= 0.0 ? v + 0.5 : v - 0.5;
    const int g = v <= 0.0 ? 0 : v >= 255.0 ? 255 : int(v);
    table[i] = qRgba(g, g, g, 255);
  }
  return table;
}

#include <qvwr/qvwr_viewer.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QTransform>
#include <QWheelEvent>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_interaction.h>

namespace
{
template <class T>
bool take_out(std::vector<T*>& list, T* item)
{
  auto it = std::find(list.begin(), list.end(), item);
  if (it == list.end())
    return false;
  list.erase(it);
  return true;
}

// The scale at which a box fits a display of dw x dh, the smaller of the two
// sides' (a side of zero length does not constrain it); 1 where nothing fits
// (a single point, an empty display).
double fit_scale(const vgl_box_2d<double>& b, int dw, int dh)
{
  const double inf = std::numeric_limits<double>::infinity();
  const double w = b.width(), h = b.height();
  const double sx = w > 0 ? dw / w : inf;
  const double sy = h > 0 ? dh / h : inf;
  const double s = sy > sx ? sx : sy;
  return s > 0 && std::isfinite(s) ? s : 1.0;
}

// Mouse zoom keeps between half the fitted scale and 32 display pixels per
// world unit (or the fitted scale, when that is larger).
double zoom_limited(double s, double fit)
{
  const double hi = std::max(32.0, fit), lo = std::min(0.5 * fit, hi);
  return std::min(std::max(s, lo), hi);
}

// The view window of the display's shape that shows centre c at scale s.
vgl_box_2d<double> window_at(double cx, double cy, double s, int dw, int dh)
{
  return vgl_box_2d<double>(vgl_point_2d<double>(cx, cy), dw / s, dh / s, vgl_box_2d<double>::centre);
}
} // namespace

qvwr_viewer::qvwr_viewer(QWidget* parent, const char* name)
  : QWidget(parent),
    world_window_(vgl_point_2d<double>(0, 0), vgl_point_2d<double>(256, 256)),
    view_window_(world_window_)
{
  if (name)
    setObjectName(QString::fromLatin1(name));
  setFocusPolicy(Qt::StrongFocus);
  // The picture takes whatever room the surrounding layout leaves.
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  // Every paint covers its whole area from an off-screen pixmap.
  setAttribute(Qt::WA_OpaquePaintEvent);
  calcWorld2Display();
  setBackgroundRole(QPalette::Dark);
}

qvwr_viewer::~qvwr_viewer()
{
  removeAll();
}

// ---------------------------------------------------------------- figures

void qvwr_viewer::append(qvwr_figure& f)
{
  // A figure lives in one viewer at a time.
  if (f.gotViewer() && &f.viewer() != this)
    f.remove();
  take_out(figures_, &f);
  figures_.push_back(&f);
  f.setViewer(*this);
  f.setInterpMethod(interp_method_);
  f.setTransform(w2d_);
}

void qvwr_viewer::remove(qvwr_figure& f)
{
  if (take_out(figures_, &f))
    f.clearViewer();
}

// ------------------------------------------------------------ interactions

void qvwr_viewer::append(qvwr_interaction& i)
{
  if (i.gotViewer() && &i.viewer() != this)
    i.remove();
  take_out(interactions_, &i);
  if (!interactions_.empty())
    interactions_.back()->losingFocus();
  interactions_.push_back(&i);
  i.setViewer(*this);
  i.gainingFocus();
  emit message(i.name(), this);
}

void qvwr_viewer::remove(qvwr_interaction& i)
{
  if (std::find(interactions_.begin(), interactions_.end(), &i) == interactions_.end())
    return;
  i.losingFocus();
  take_out(interactions_, &i);
  i.clearViewer();
  QString text = tr("None");
  if (!interactions_.empty()) {
    interactions_.back()->gainingFocus();
    text = interactions_.back()->name();
  }
  emit message(text, this);
}

void qvwr_viewer::removeAll()
{
  while (!figures_.empty()) {
    qvwr_figure* f = figures_.front();
    figures_.erase(figures_.begin());
    f->clearViewer();
    invalidate(f->boundBox());
  }
  while (!interactions_.empty())
    remove(*interactions_.front());
}

// ----------------------------------------------------------------- mapping

void qvwr_viewer::viewWindow(const vgl_box_2d<double>& b)
{
  view_window_ = b;
  calcWorld2Display();
  updateInvalid();
}

void qvwr_viewer::viewWindow(const vgl_box_2d<int>& b)
{
  view_window_ = vgl_box_2d<double>(d2w_(b.min_x(), b.min_y()), d2w_(b.max_x(), b.max_y()));
  calcWorld2Display();
  updateInvalid();
}

void qvwr_viewer::unZoom()
{
  view_window_ = world_window_;
  calcWorld2Display();
  updateInvalid();
}

void qvwr_viewer::displaySize(int width, int height)
{
  display_width_ = width;
  display_height_ = height;
  // A mouse-zoomed view stays within the zoom limits of the new size, about
  // its centre.  An empty display has no fit, and leaves the view as it is.
  if (mouse_zoom_ && !use_identity_ && width > 0 && height > 0) {
    const double s = fit_scale(view_window_, width, height);
    const double t = zoom_limited(s, fittedScale());
    const vgl_point_2d<double> c = view_window_.centroid();
    if (t != s && std::isfinite(c.x()) && std::isfinite(c.y()))
      view_window_ = window_at(c.x(), c.y(), t, width, height);
  }
  calcWorld2Display();
  updateInvalid();
}

vgl_box_2d<double> qvwr_viewer::displayedWindow() const
{
  return vgl_box_2d<double>(d2w_(0, 0), d2w_(display_width_ - 1, display_height_ - 1));
}

void qvwr_viewer::setUseIdentityMapping(bool on)
{
  if (on == use_identity_)
    return;
  use_identity_ = on;
  calcWorld2Display();
}

void qvwr_viewer::interpMethod(int m)
{
  if (m == interp_method_)
    return;
  lock();
  interp_method_ = m;
  for (std::size_t k = 0; k < figures_.size(); ++k)
    figures_[k]->setInterpMethod(m);
  release();
}

void qvwr_viewer::calcWorld2Display()
{
  if (use_identity_) {
    w2d_.set_identity();
  } else {
    // The smaller of the two scales keeps the whole view window visible.  A
    // single point (or an empty display) has no fit: it shows at scale 1
    // around the centre rather than at infinite coordinates.
    const double s = fit_scale(view_window_, display_width_, display_height_);
    double cx = view_window_.centroid_x();
    double cy = view_window_.centroid_y();
    if (!std::isfinite(cx))
      cx = 0;
    if (!std::isfinite(cy))
      cy = 0;
    w2d_.set_zoom_only(s, s, 0.5 * display_width_ - s * cx, 0.5 * display_height_ - s * cy);
  }
  d2w_ = w2d_.inverse();
  ratio_ = devicePixelRatioF();

  lock();
  for (std::size_t k = 0; k < figures_.size(); ++k)
    figures_[k]->setTransform(w2d_);
  release();
  viewChanged();
}

void qvwr_viewer::viewChanged()
{
}

double qvwr_viewer::fittedScale() const
{
  return fit_scale(world_window_, display_width_, display_height_);
}

double qvwr_viewer::scale() const
{
  return w2d_.delta(vgl_point_2d<double>(0, 0), vgl_vector_2d<double>(1, 0)).x();
}

void qvwr_viewer::zoomAbout(const QPointF& p, double factor)
{
  if (use_identity_ || !(factor > 0) || !std::isfinite(factor))
    return;
  // An empty display would shrink the view window to a line or a point,
  // which no later resize could fit back; a point that is not finite has
  // no world point to keep.
  if (display_width_ <= 0 || display_height_ <= 0 || !std::isfinite(p.x()) || !std::isfinite(p.y()))
    return;
  const double s = zoom_limited(scale() * factor, fittedScale());
  // At a limit (or for a zero delta) the view stays, and nothing is rebuilt.
  if (std::fabs(s - scale()) <= 1e-12 * s)
    return;
  // The view window that calcWorld2Display fits at scale s with the world
  // point under p still under it.
  const vgl_point_2d<double> w = d2w_(p.x(), p.y());
  const double cx = w.x() - (p.x() - 0.5 * display_width_) / s;
  const double cy = w.y() - (p.y() - 0.5 * display_height_) / s;
  if (!std::isfinite(cx) || !std::isfinite(cy))
    return;
  viewWindow(window_at(cx, cy, s, display_width_, display_height_));
}

void qvwr_viewer::pan(const QPointF& d)
{
  if (use_identity_)
    return;
  const double s = scale();
  const double dx = d.x() / s, dy = d.y() / s;
  viewWindow(vgl_box_2d<double>(view_window_.min_x() - dx, view_window_.max_x() - dx,
                                view_window_.min_y() - dy, view_window_.max_y() - dy));
}

// --------------------------------------------------------------- repainting

void qvwr_viewer::release()
{
  if (lock_count_ <= 0)
    return;
  if (--lock_count_ == 0)
    updateInvalid();
}

void qvwr_viewer::invalidate(const QRect& r)
{
  invalid_ = invalid_.united(r);
  if (lock_count_ == 0)
    updateInvalid();
}

void qvwr_viewer::updateInvalid()
{
  // Cleared first, so that anything invalidated while painting is kept.
  const QRect r = invalid_;
  invalid_ = QRect();
  if (!r.isNull())
    repaint(r);
}

QRect qvwr_viewer::deviceRect(const QRect& r, qreal ratio)
{
  // The slack keeps products such as 10 * 1.1 from gaining a pixel.
  const double e = 1e-6;
  const int x0 = int(std::floor(r.left() * ratio + e)), y0 = int(std::floor(r.top() * ratio + e));
  const int x1 = int(std::ceil((r.right() + 1) * ratio - e));
  const int y1 = int(std::ceil((r.bottom() + 1) * ratio - e));
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

QRect qvwr_viewer::widgetRect(const QRect& d, qreal ratio)
{
  return deviceRect(d, 1.0 / ratio);
}

QColor qvwr_viewer::groundColor() const
{
  return palette().color(backgroundRole());
}

void qvwr_viewer::paintEvent(QPaintEvent* e)
{
  const QRect area = rect().intersected(e->rect());
  if (area.width() <= 0 || area.height() <= 0)
    return;

  const qreal dpr = devicePixelRatioF();
  if (dpr != ratio_)
    adoptRatio();

  const QRect dev = deviceRect(area, dpr);
  const QRect cover = widgetRect(dev, dpr);
  QPainter wp(this);
  // The widget may start inside a device pixel of its window (a fractional
  // ratio times its offset).  Its own grid is then moved to the nearest
  // whole device pixel, the same for every repaint, and the picture lands
  // exactly on the window's pixels.
  const QPointF origin(wp.deviceTransform().dx(), wp.deviceTransform().dy());
  const QPointF snapped(std::floor(origin.x() + 0.5), std::floor(origin.y() + 0.5));

  // A frame of a large screen is tens of megabytes.  When the widget's grid
  // is its window's, the figures draw straight into the window's buffer,
  // which shows only when the paint is done, and only what no opaque image
  // covers is cleared: a pixmap between would cost a fill and a copy of it.
  if (cover == area && snapped == origin) {
    // As a fresh pixmap's painter starts, not with the widget's colours.
    wp.setPen(QPen());
    wp.setFont(QFont());
    wp.setBackground(groundColor());
    wp.setClipRect(area);
    for (const QRect& r : groundArea(area)) wp.fillRect(r, groundColor());
    drawGraphics(wp, area);
    return;
  }

  // Otherwise drawn off-screen on the widget's device pixel grid, so that a
  // widget point lands on the same device pixel whatever area is
  // repainted, and copied in one go.
  QPixmap pm(dev.size());
  if (!groundArea(cover).isEmpty()) pm.fill(groundColor());
  {
    QPainter p(&pm);
    p.setBackground(groundColor());
    p.setTransform(QTransform(dpr, 0, 0, dpr, -dev.left(), -dev.top()));
    p.setClipRect(cover);
    drawGraphics(p, cover);
  }
  pm.setDevicePixelRatio(dpr);
  wp.drawPixmap((snapped - origin + QPointF(dev.topLeft())) / dpr, pm);
}

void qvwr_viewer::adoptRatio()
{
  // On a screen of another ratio the figures rebuild once for it.  This
  // runs inside a paint event, which must not start another: what they
  // invalidate is queued instead.
  ratio_ = devicePixelRatioF();
  ++lock_count_;
  for (std::size_t k = 0; k < figures_.size(); ++k)
    figures_[k]->setTransform(w2d_);
  --lock_count_;
  if (lock_count_ == 0) {
    update(invalid_);
    invalid_ = QRect();
  }
}

void qvwr_viewer::drawGraphics(QPainter& painter, const QRect& area)
{
  const std::size_t start = firstDrawn(area);
  // Indexed on the live list: a figure may leave the viewer while drawing.
  for (std::size_t k = start; k < figures_.size(); ++k)
    figures_[k]->draw(painter, area);
}

std::size_t qvwr_viewer::firstDrawn(const QRect& area) const
{
  // Figures under an opaque figure that covers the area cannot show.
  for (std::size_t k = figures_.size(); k-- > 0;)
    if (figures_[k]->isOpaque() && figures_[k]->boundBox().contains(area)) return k;
  return 0;
}

QRegion qvwr_viewer::groundArea(const QRect& area) const
{
  QRegion ground(area);
  for (std::size_t k = firstDrawn(area); k < figures_.size() && !ground.isEmpty(); ++k)
    if (figures_[k]->isOpaque() && figures_[k]->isVisible()) ground -= figures_[k]->boundBox();
  return ground;
}

void qvwr_viewer::screenShot(QPixmap* pm)
{
  assert(pm!=0);
  *pm = QPixmap(size());
  if (pm->isNull())
    return;
  pm->fill(groundColor());
  QPainter p(pm);
  drawGraphics(p, rect());
}

void qvwr_viewer::screenShot(vimt_image_2d_of<vxl_byte>& im)
{
  QPixmap pm;
  screenShot(&pm);
  const QImage shot = pm.toImage();
  const unsigned ni = unsigned(std::max(0, width()));
  const unsigned nj = unsigned(std::max(0, height()));
  const bool grey = !shot.isNull() && shot.isGrayscale();
  im.image().set_size(ni, nj, grey ? 1 : 3);
  if (shot.isNull())
    return;
  const QImage rgb = shot.convertToFormat(QImage::Format_RGB32);
  vil_image_view<vxl_byte>& v = im.image();
  const unsigned ci = std::min(ni, unsigned(rgb.width()));
  const unsigned cj = std::min(nj, unsigned(rgb.height()));
  for (unsigned j = 0; j < cj; ++j) {
    const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(j)));
    for (unsigned i = 0; i < ci; ++i) {
      const QRgb c = line[i];
      if (grey) {
        v(i, j) = vxl_byte((11 * qRed(c) + 16 * qGreen(c) + 5 * qBlue(c)) / 32);
      } else {
        v(i, j, 0) = vxl_byte(qRed(c));
        v(i, j, 1) = vxl_byte(qGreen(c));
        v(i, j, 2) = vxl_byte(qBlue(c));
      }
    }
  }
}

// ------------------------------------------------------------------ events

bool qvwr_viewer::zoomOwns(const QMouseEvent* e) const
{
  if (!mouse_zoom_)
    return false;
  if (e->button() == Qt::MiddleButton)
    return true;
  // A move belongs to a pan while the middle button is held.
  return e->type() == QEvent::MouseMove && panning_ && (e->buttons() & Qt::MiddleButton);
}

void qvwr_viewer::mousePressEvent(QMouseEvent* e)
{
  emit emitMousePressEvent(e);
  if (zoomOwns(e)) {
    panning_ = true;
    pan_from_ = e->position();
  } else if (qvwr_interaction* i = active()) {
    i->mousePressEvent(e);
  }
}

void qvwr_viewer::mouseMoveEvent(QMouseEvent* e)
{
  emit emitMouseMoveEvent(e);
  if (zoomOwns(e)) {
    const QPointF d = e->position() - pan_from_;
    pan_from_ = e->position();
    pan(d);
  } else if (hasMouseTracking() && e->buttons() == Qt::NoButton) {
    // Tracking serves the signal's listeners; interactions see drags only.
  } else if (qvwr_interaction* i = active()) {
    i->mouseMoveEvent(e);
  }
}

void qvwr_viewer::mouseReleaseEvent(QMouseEvent* e)
{
  if (zoomOwns(e))
    panning_ = false;
  else if (qvwr_interaction* i = active())
    i->mouseReleaseEvent(e);
}

void qvwr_viewer::mouseDoubleClickEvent(QMouseEvent* e)
{
  if (zoomOwns(e))
    unZoom();
  else if (qvwr_interaction* i = active())
    i->mouseDoubleClickEvent(e);
}

void qvwr_viewer::wheelEvent(QWheelEvent* e)
{
  if (!mouse_zoom_) {
    QWidget::wheelEvent(e);
    return;
  }
  // 120 units are one notch; finer wheels and touchpads zoom in proportion.
  const QPoint a = e->angleDelta();
  const int delta = a.y() != 0 ? a.y() : a.x();
  zoomAbout(e->position(), std::pow(1.25, delta / 120.0));
  e->accept();
}

void qvwr_viewer::keyPressEvent(QKeyEvent* e)
{
  if (qvwr_interaction* i = active())
    i->keyPressEvent(e);
  else
    e->ignore();
}

void qvwr_viewer::keyReleaseEvent(QKeyEvent* e)
{
  if (qvwr_interaction* i = active())
    i->keyReleaseEvent(e);
  else
    e->ignore();
}

void qvwr_viewer::resizeEvent(QResizeEvent* e)
{
  displaySize(e->size().width(), e->size().height());
}

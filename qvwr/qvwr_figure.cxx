#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_viewer.h>

qvwr_figure::qvwr_figure(const qvwr_figure& f)
  : viewer_(nullptr), bound_box_(f.bound_box_), visible_(f.visible_)
{
}

qvwr_figure& qvwr_figure::operator=(const qvwr_figure& f)
{
  if (!viewer_) {
    bound_box_ = f.bound_box_;
    visible_ = f.visible_;
    return *this;
  }
  // The area the figure leaves must be repainted as well as the one it takes.
  viewer_->lock();
  viewer_->invalidate(bound_box_);
  bound_box_ = f.bound_box_;
  visible_ = f.visible_;
  viewer_->invalidate(bound_box_);
  viewer_->release();
  return *this;
}

qvwr_figure::~qvwr_figure()
{
  // The viewer must forget us before it repaints, or it would draw a
  // half-destroyed figure.
  remove();
}

void qvwr_figure::setViewer(qvwr_viewer& v)
{
  viewer_ = &v;
}

void qvwr_figure::setInterpMethod(int)
{
}

int qvwr_figure::interpMethod() const
{
  return 0;
}

bool qvwr_figure::isOpaque() const
{
  return false;
}

void qvwr_figure::remove()
{
  if (!viewer_)
    return;
  qvwr_viewer* v = viewer_;
  v->remove(*this);
  v->invalidate(bound_box_);
  viewer_ = nullptr;
}

void qvwr_figure::invalidate(const QRect& r)
{
  viewer().invalidate(r);
}

void qvwr_figure::setVisible(bool v)
{
  if (v == visible_)
    return;
  visible_ = v;
  viewer().invalidate(bound_box_);
}

void qvwr_figure::lock()
{
  viewer().lock();
}

void qvwr_figure::release()
{
  viewer().release();
}

QRect qvwr_figure::toRect(const vgl_box_2d<int>& b)
{
  // min + (max - min) is max itself; taking it directly cannot overflow.
  const int right = b.max_x() > b.min_x() ? b.max_x() : b.min_x();
  const int bottom = b.max_y() > b.min_y() ? b.max_y() : b.min_y();
  return QRect(QPoint(b.min_x(), b.min_y()), QPoint(right, bottom));
}

#include <qvwr/qvwr_edit_points.h>

#include <QMouseEvent>
#include <qvwr/qvwr_viewer.h>

namespace
{
// Widget pixel of the event as a display point.
vgl_point_2d<double> display_point(const QMouseEvent* e)
{
  const QPoint p = e->position().toPoint();
  return vgl_point_2d<double>(p.x(), p.y());
}
}

qvwr_edit_points::qvwr_edit_points()
  : QWidget(nullptr)
{
  QColor green;
  green.setRgb(0, 255, 0);
  fg_points_.setColor(green);
  fg_points_.setRadius(2);
}

qvwr_edit_points::~qvwr_edit_points()
{
  fg_points_.remove();
}

void qvwr_edit_points::setMaxRadius(double r)
{
  max_radius_ = (r >= 1.0) ? r : 1.0;
}

void qvwr_edit_points::showPoints()
{
  fg_points_.set(points_.data(), static_cast<int>(points_.size()));
}

void qvwr_edit_points::clear()
{
  points_.clear();
  if (fg_points_.gotViewer()) showPoints();
}

void qvwr_edit_points::set_points(const std::vector<vgl_point_2d<double>>& pts)
{
  points_ = pts;
  if (fg_points_.gotViewer()) showPoints();
}

int qvwr_edit_points::closestPointIndex(const vgl_point_2d<double>& p, double r)
{
  const vimt_transform_2d w2d = viewer().displayToWorld().inverse();
  double best = r * r;
  int result = -1;
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const vgl_point_2d<double> q = w2d(points_[i]);
    const double dx = p.x() - q.x();
    const double dy = p.y() - q.y();
    const double d2 = dx * dx + dy * dy;
    if (d2 < best) {
      best = d2;
      result = static_cast<int>(i);
    }
  }
  return result;
}

void qvwr_edit_points::attachPointsFigure()
{
  if (!fg_points_.gotViewer()) viewer().append(fg_points_);
  showPoints();
}

void qvwr_edit_points::mousePressEvent(QMouseEvent* e)
{
  qvwr_viewer& v = viewer();
  const vgl_point_2d<double> d = display_point(e);
  const vgl_point_2d<double> w = v.displayToWorld()(d);
  current_index_ = closestPointIndex(d, max_radius_);
  if (remove_button_ != Qt::NoButton && e->button() == remove_button_) {
    // Removing leaves nothing for the following moves to drag.
    const int hit = current_index_;
    current_index_ = -1;
    if (hit < 0) return;
    points_.erase(points_.begin() + hit);
  } else if (current_index_ == -1) {
    points_.push_back(w);
    current_index_ = static_cast<int>(points_.size()) - 1;
  }
  attachPointsFigure();
  emit mousePressed();
}

void qvwr_edit_points::mouseMoveEvent(QMouseEvent* e)
{
  qvwr_viewer& v = viewer();
  // Nothing picked, or the list shrank under the index since the press.
  if (current_index_ < 0 || current_index_ >= static_cast<int>(points_.size())) return;
  points_[current_index_] = v.displayToWorld()(display_point(e));
  if (fg_points_.gotViewer()) showPoints();
  emit mouseMoved();
}

void qvwr_edit_points::mouseReleaseEvent(QMouseEvent*)
{
  // A detached editor is a caller's error, here as in the other handlers.
  (void)viewer();
  emit mouseReleased();
}

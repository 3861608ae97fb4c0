#include <qvwr/qvwr_fg_points.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <QBrush>
#include <QPainter>
#include <QPen>
#include <shape_data/vsml_g_point.h>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>

namespace
{
// Far beyond any screen, yet small enough that a radius and the widget
// arithmetic of QRect can never overflow an int.
const double display_limit = 16777216.0;
const int max_radius = 1 << 20;

// Half away from zero; values off any screen (and NaN) are pinned so the
// conversion to int stays defined.
int display_round(double v)
{
  if (!(v == v)) return 0;
  v = std::min(std::max(v, -display_limit), display_limit);
  return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
}
}

qvwr_fg_points::~qvwr_fg_points() = default;

QPoint qvwr_fg_points::displayPos(const vgl_point_2d<double>& p) const
{
  const vgl_point_2d<double> d = w2d_(p);
  return QPoint(display_round(d.x()), display_round(d.y()));
}

void qvwr_fg_points::pointsChanged()
{
  // Colours belong to points one by one; a new count makes them meaningless.
  if (!colors_.empty() && colors_.size() != pts_.size())
    colors_.clear();
  setTransform(w2d_);
}

void qvwr_fg_points::set(const std::vector<vgl_point_2d<double>>& pts)
{
  pts_ = pts;
  pointsChanged();
}

void qvwr_fg_points::set(const vgl_point_2d<double>* pts, int n)
{
  if (pts == nullptr || n < 0) n = 0;
  pts_.assign(pts, pts + n);
  pointsChanged();
}

void qvwr_fg_points::set(const vsml_points_2d& pts)
{
  pts.getPoints2D(pts_);
  pointsChanged();
}

void qvwr_fg_points::set(const vsml_points& pts)
{
  // The 2-D blocked layout; an odd trailing value belongs to no point.
  const vnl_vector<double>& v = pts.vector();
  const std::size_t n = v.size() / 2;
  pts_.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    pts_[i] = vgl_point_2d<double>(v[i], v[n + i]);
  pointsChanged();
}

void qvwr_fg_points::set(const vsml_g_point* pts, int n)
{
  if (pts == nullptr || n < 0) n = 0;
  pts_.resize(n);
  for (int i = 0; i < n; ++i)
    pts_[i] = vgl_point_2d<double>(pts[i].x(), pts[i].y());
  pointsChanged();
}

void qvwr_fg_points::setColor(const QColor& c)
{
  color_ = c;
  if (gotViewer()) invalidate(boundBox());
}

void qvwr_fg_points::setColors(const QColor* colors, int n)
{
  if (!(n == 0 || (n > 0 && static_cast<std::size_t>(n) == pts_.size()))) {
    std::cerr << "qvwr_fg_points::setColors: assertion \"n==0 || n==pts_.size()\" failed" << std::endl;
    std::abort();
  }
  assert(n == 0 || colors != nullptr);
  colors_.assign(colors, colors + n);
  if (gotViewer()) invalidate(boundBox());
}

void qvwr_fg_points::setColors(const std::vector<QColor>& colors)
{
  if (!(colors.size() == 0 || colors.size() == pts_.size())) {
    std::cerr << "qvwr_fg_points::setColors: assertion \"colors.size()==0 || colors.size()==pts_.size()\" failed"
              << std::endl;
    std::abort();
  }
  colors_ = colors;
  if (gotViewer()) invalidate(boundBox());
}

void qvwr_fg_points::setRadius(int r)
{
  r = std::min(std::max(r, 0), max_radius);
  if (r == radius_) return;
  // With no points the box stays null: there is nothing to cover.
  if (!gotViewer() || pts_.empty()) {
    radius_ = r;
    return;
  }
  lock();
  invalidate(boundBox());
  const int d = r - radius_;
  setBoundBox(boundBox().adjusted(-d, -d, d, d));
  radius_ = r;
  invalidate(boundBox());
  release();
}

void qvwr_fg_points::setTransform(const vimt_transform_2d& w2d)
{
  lock();
  invalidate(boundBox());
  w2d_ = w2d;
  if (pts_.empty()) {
    setBoundBox(QRect());
    release();
    return;
  }
  QPoint lo = displayPos(pts_[0]);
  QPoint hi = lo;
  for (const vgl_point_2d<double>& p : pts_) {
    const QPoint d = displayPos(p);
    lo.setX(std::min(lo.x(), d.x()));
    lo.setY(std::min(lo.y(), d.y()));
    hi.setX(std::max(hi.x(), d.x()));
    hi.setY(std::max(hi.y(), d.y()));
  }
  setBoundBox(QRect(QPoint(lo.x() - radius_, lo.y() - radius_),
                    QPoint(hi.x() + radius_, hi.y() + radius_)));
  invalidate(boundBox());
  release();
}

void qvwr_fg_points::draw(QPainter& painter, const QRect& area)
{
  if (!isVisible() || !area.intersects(boundBox())) return;
  if (!colors_.empty())
    drawManyColours(painter, area);
  else
    drawOneColour(painter, area);
}

void qvwr_fg_points::drawOneColour(QPainter& painter, const QRect& area)
{
  const int r = radius_;
  if (r > 0) {
    painter.setBrush(QBrush(color_, Qt::SolidPattern));
    painter.setPen(QPen(Qt::NoPen));
    for (const vgl_point_2d<double>& p : pts_) {
      const QPoint d = displayPos(p);
      const QRect disc(d.x() - r, d.y() - r, 2 * r + 1, 2 * r + 1);
      if (disc.intersects(area)) painter.drawEllipse(disc.x(), disc.y(), disc.width(), disc.height());
    }
  } else {
    painter.setPen(QPen(color_, 1, Qt::SolidLine));
    for (const vgl_point_2d<double>& p : pts_) {
      const QPoint d = displayPos(p);
      if (area.contains(d)) painter.drawPoint(d);
    }
  }
}

void qvwr_fg_points::drawManyColours(QPainter& painter, const QRect& area)
{
  // colors_ always matches pts_ here (setColors checks, set drops stale ones).
  const int r = radius_;
  if (r > 0) {
    painter.setPen(QPen(Qt::NoPen));
    for (std::size_t i = 0; i < pts_.size(); ++i) {
      const QPoint d = displayPos(pts_[i]);
      const QRect disc(d.x() - r, d.y() - r, 2 * r + 1, 2 * r + 1);
      if (!disc.intersects(area)) continue;
      painter.setBrush(QBrush(colors_[i], Qt::SolidPattern));
      painter.drawEllipse(disc.x(), disc.y(), disc.width(), disc.height());
    }
  } else {
    for (std::size_t i = 0; i < pts_.size(); ++i) {
      const QPoint d = displayPos(pts_[i]);
      if (!area.contains(d)) continue;
      painter.setPen(QPen(colors_[i], 1, Qt::SolidLine));
      painter.drawPoint(d);
    }
  }
}

std::string qvwr_fg_points::is_a() const
{
  return "qvwr_fg_points";
}

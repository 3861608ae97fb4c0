#include <qvwr/qvwr_fg_shape.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <QBrush>
#include <QLine>
#include <QVector>
#include <QPainter>
#include <QPen>
#include <shape_data/vsml_bezier.h>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>

namespace
{
// Far beyond any screen, yet small enough that margins and the widget
// arithmetic of QRect can never overflow an int.
const double display_limit = 16777216.0;
const int max_size = 1 << 20;

// Half away from zero; values off any screen (and NaN) are pinned so the
// conversion to int stays defined.
int display_round(double v)
{
  if (!(v == v)) return 0;
  v = std::min(std::max(v, -display_limit), display_limit);
  return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
}

// Samples per Bezier segment, both ends included.
const int bezier_samples = 20;
}

qvwr_fg_shape::~qvwr_fg_shape() = default;

void qvwr_fg_shape::set(const std::vector<vgl_point_2d<double>>& pts, const vsml_parts& parts)
{
  set(pts.empty() ? nullptr : pts.data(), static_cast<int>(pts.size()), parts);
}

void qvwr_fg_shape::set(const vgl_point_2d<double>* pts, int n, const vsml_parts& parts)
{
  colors_.clear();
  pts_ = pts;
  n_pts_ = n;
  parts_ = &parts;
  redraw();
}

void qvwr_fg_shape::set(const std::vector<vgl_point_2d<double>>& pts, const vsml_parts& parts,
                        const std::vector<QColor>& colors)
{
  set(pts.empty() ? nullptr : pts.data(), static_cast<int>(pts.size()), parts, colors);
}

void qvwr_fg_shape::set(const vgl_point_2d<double>* pts, int n, const vsml_parts& parts,
                        const std::vector<QColor>& colors)
{
  colors_ = colors;
  pts_ = pts;
  n_pts_ = n;
  parts_ = &parts;
  redraw();
}

void qvwr_fg_shape::setColor(const QColor& c)
{
  color_ = c;
  colors_.clear();
  if (gotViewer()) invalidate(boundBox());
}

void qvwr_fg_shape::setColor(const std::vector<QColor>& colors)
{
  colors_ = colors;
  if (gotViewer()) invalidate(boundBox());
}

void qvwr_fg_shape::set_draw_bezier(bool on)
{
  draw_bezier_ = on;
  if (!gotViewer()) return;
  // A spline can swing outside its points, so the box follows the mode.
  lock();
  invalidate(boundBox());
  recalcBounds();
  setBoundBox(widened(bounds_, margin()));
  invalidate(boundBox());
  release();
}

void qvwr_fg_shape::setRadius(int r)
{
  r = std::min(std::max(r, 0), max_size);
  if (r == radius_) return;
  if (!gotViewer() || bounds_.is_empty()) {
    radius_ = r;
    return;
  }
  lock();
  invalidate(boundBox());
  const int d = r - radius_;
  const QRect grown = boundBox().adjusted(-d, -d, d, d);
  radius_ = r;
  setBoundBox(coveringBox(grown));
  invalidate(boundBox());
  release();
}

void qvwr_fg_shape::setLineWidth(int w)
{
  w = std::min(std::max(w, 0), max_size);
  if (w == line_width_) return;
  (void)viewer();
  lock();
  invalidate(boundBox());
  const int d = w / 2 - line_width_ / 2;
  line_width_ = w;
  if (!bounds_.is_empty()) setBoundBox(coveringBox(boundBox().adjusted(-d, -d, d, d)));
  invalidate(boundBox());
  release();
}

void qvwr_fg_shape::setViewer(qvwr_viewer& v)
{
  qvwr_figure::setViewer(v);
  // Positions kept from an earlier attachment compare equal to the new ones,
  // so the incremental update alone would repaint nothing.
  whole_repaint_ = true;
}

void qvwr_fg_shape::setTransform(const vimt_transform_2d& w2d)
{
  lock();
  w2d_ = w2d;
  redraw();
  release();
}

const vsml_parts& qvwr_fg_shape::parts() const
{
  assert(parts_!=0);
  return *parts_;
}

std::string qvwr_fg_shape::is_a() const
{
  return "qvwr_fg_shape";
}

int qvwr_fg_shape::margin() const
{
  return std::max(radius_, (line_width_ + 1) / 2);
}

QRect qvwr_fg_shape::widened(const vgl_box_2d<int>& b, int m)
{
  if (b.is_empty()) return QRect();
  return toRect(vgl_box_2d<int>(b.min_x() - m, b.max_x() + m, b.min_y() - m, b.max_y() + m));
}

QRect qvwr_fg_shape::coveringBox(const QRect& grown) const
{
  // A disc reaches radius_ pixels from its centre, a line line_width_/2
  // pixels from its axis; growing the box by the change of one margin alone
  // can fall short of that when the other one dominates.
  const QRect needed = widened(bounds_, std::max(radius_, line_width_ / 2));
  return grown.united(needed);
}

void qvwr_fg_shape::calcPts()
{
  if (pts_ == nullptr || n_pts_ <= 0) {
    // No points to read: every index is out of range.
    display_pts_.clear();
    return;
  }
  display_pts_.resize(n_pts_);
  for (int i = 0; i < n_pts_; ++i) {
    const vgl_point_2d<double> d = w2d_(pts_[i]);
    display_pts_[i] = vgl_point_2d<int>(display_round(d.x()), display_round(d.y()));
  }
}

void qvwr_fg_shape::updateBnds(const vgl_point_2d<int>& p)
{
  bounds_.add(p);
}

void qvwr_fg_shape::updateChangedRegion(const vgl_point_2d<int>& p)
{
  changed_.add(p);
}

void qvwr_fg_shape::set(std::vector<vgl_point_2d<int>>& dst, const vsml_part& part)
{
  dst.clear();
  for (int k = 0; k < part.nPoints(); ++k) {
    const int idx = part.index(k);
    if (!validIndex(idx)) continue;
    dst.push_back(display_pts_[idx]);
    updateBnds(display_pts_[idx]);
  }
}

void qvwr_fg_shape::adjust(std::vector<vgl_point_2d<int>>& cur, const vsml_part& part)
{
  if (cur.empty() || part.nPoints() == 0) return;
  std::vector<vgl_point_2d<int>> now;
  now.reserve(cur.size());
  for (int k = 0; k < part.nPoints(); ++k) {
    const int idx = part.index(k);
    if (validIndex(idx)) now.push_back(display_pts_[idx]);
  }
  // The structure check in redraw has made the counts equal.
  assert(now.size() == cur.size());
  const std::size_t n = cur.size();

  if (part.form() == vsml_part::SetOfPoints) {
    for (std::size_t k = 0; k < n; ++k) {
      if (now[k] != cur[k]) {
        updateChangedRegion(cur[k]);
        updateChangedRegion(now[k]);
        cur[k] = now[k];
      }
      updateBnds(now[k]);
    }
    return;
  }

  const bool closed = part.form() == vsml_part::ClosedBoundary;
  for (std::size_t k = 0; k < n; ++k) {
    if (now[k] != cur[k]) {
      updateChangedRegion(cur[k]);
      updateChangedRegion(now[k]);
      cur[k] = now[k];
      // Both segments touching the point are redrawn.
      if (k > 0) updateChangedRegion(cur[k - 1]);
      if (k + 1 < n) updateChangedRegion(cur[k + 1]);
      if (closed && k == 0) updateChangedRegion(cur[n - 1]);
      if (closed && k + 1 == n) updateChangedRegion(cur[0]);
    }
    updateBnds(now[k]);
  }
}

QPolygon qvwr_fg_shape::bezierPolyline(const std::vector<vgl_point_2d<int>>& pts)
{
  QPolygon poly;
  const int n = static_cast<int>(pts.size());
  if (n == 0) return poly;
  std::vector<vgl_point_2d<double>> d;
  d.reserve(n);
  for (const vgl_point_2d<int>& p : pts) d.emplace_back(p.x(), p.y());
  vsml_bezier curve;
  curve.set(d);
  curve.smooth();
  poly.reserve(1 + n * bezier_samples);
  const vgl_point_2d<double> p0 = curve.value(0, 0.0);
  poly << QPoint(display_round(p0.x()), display_round(p0.y()));
  for (int s = 0; s < n; ++s)
    for (int j = 0; j < bezier_samples; ++j) {
      const vgl_point_2d<double> p = curve.value(s, double(j) / (bezier_samples - 1));
      poly << QPoint(display_round(p.x()), display_round(p.y()));
    }
  return poly;
}

void qvwr_fg_shape::addCurveBounds()
{
  for (int i = 0; i < n_parts_; ++i) {
    if (part_forms_[i] != vsml_part::OpenBoundary && part_forms_[i] != vsml_part::ClosedBoundary)
      continue;
    for (const QPoint& p : bezierPolyline(part_pts_[i])) updateBnds(vgl_point_2d<int>(p.x(), p.y()));
  }
}

void qvwr_fg_shape::recalcBounds()
{
  bounds_.empty();
  for (const std::vector<vgl_point_2d<int>>& list : part_pts_)
    for (const vgl_point_2d<int>& p : list) updateBnds(p);
  if (draw_bezier_) addCurveBounds();
}

void qvwr_fg_shape::redraw()
{
  if (parts_ == nullptr) return;
  const vsml_parts& parts = *parts_;
  const int np = parts.nParts();

  if (!colors_.empty() && static_cast<int>(colors_.size()) != np) {
    std::cerr << "qvwr_fg_shape::redraw : "
              << "Number of colours = " << colors_.size() << '\n'
              << "Number of parts = " << np << std::endl;
    std::abort();
  }

  calcPts();

  // Structure: number of parts, their forms and how many points each draws.
  bool changed = whole_repaint_;
  whole_repaint_ = false;
  if (np != n_parts_) {
    n_parts_ = np;
    part_pts_.assign(np, std::vector<vgl_point_2d<int>>());
    part_forms_.assign(np, 0);
    changed = true;
  }
  for (int i = 0; i < np; ++i) {
    const vsml_part& part = parts(i);
    if (part_forms_[i] != part.form()) {
      part_forms_[i] = part.form();
      changed = true;
    }
    std::size_t valid = 0;
    for (int k = 0; k < part.nPoints(); ++k)
      if (validIndex(part.index(k))) ++valid;
    if (part_pts_[i].size() != valid) {
      part_pts_[i].resize(valid);
      changed = true;
    }
  }

  bounds_.empty();
  changed_.empty();
  if (changed) {
    for (int i = 0; i < np; ++i) set(part_pts_[i], parts(i));
  } else {
    for (int i = 0; i < np; ++i) adjust(part_pts_[i], parts(i));
  }
  if (draw_bezier_) addCurveBounds();

  const int m = margin();
  const QRect new_box = widened(bounds_, m);

  lock();
  if (changed) {
    invalidate(boundBox());
    setBoundBox(new_box);
    invalidate(boundBox());
  } else if (!changed_.is_empty()) {
    if (draw_bezier_) {
      // Moving one node reshapes the whole spline: repaint all of it.
      invalidate(boundBox());
      invalidate(new_box);
    } else {
      invalidate(widened(changed_, m));
    }
    setBoundBox(new_box);
  }
  release();
}

void qvwr_fg_shape::draw(QPainter& painter, const QRect& area)
{
  if (!isVisible() || !area.intersects(boundBox()) || n_parts_ == 0) return;

  if (!colors_.empty() && static_cast<int>(colors_.size()) != n_parts_) {
    std::cerr << "qvwr_fg_shape::draw : Wrong number of colours defined.\n"
              << "Given " << colors_.size() << " require " << n_parts_ << std::endl;
    std::abort();
  }

  // Round caps keep a thick line within half its width of its end points,
  // which the margin of the bound box allows for.
  QPen pen(QBrush(color_, Qt::SolidPattern), line_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  QBrush brush(color_, Qt::SolidPattern);
  painter.setPen(pen);
  painter.setBrush(brush);

  for (int i = 0; i < n_parts_; ++i) {
    if (!colors_.empty()) {
      pen.setColor(colors_[i]);
      brush.setColor(colors_[i]);
      painter.setPen(pen);
      painter.setBrush(brush);
    }
    const std::vector<vgl_point_2d<int>>& p = part_pts_[i];
    if (p.empty()) continue;
    switch (part_forms_[i]) {
      case vsml_part::OpenBoundary:
      case vsml_part::ClosedBoundary: {
        QPolygon poly;
        if (draw_bezier_) {
          poly = bezierPolyline(p);
        } else {
          poly.reserve(static_cast<int>(p.size()) + 1);
          for (const vgl_point_2d<int>& q : p) poly << QPoint(q.x(), q.y());
          if (part_forms_[i] == vsml_part::ClosedBoundary) poly << QPoint(p[0].x(), p[0].y());
        }
        // Segment by segment: a thin polyline overshoots sharp corners by a
        // pixel, while a single thin line stays between its end points.
        QVector<QLine> lines;
        lines.reserve(poly.size());
        for (int k = 0; k + 1 < poly.size(); ++k) lines << QLine(poly[k], poly[k + 1]);
        if (!lines.isEmpty()) painter.drawLines(lines);
        break;
      }
      case vsml_part::SetOfPoints:
        if (radius_ > 0) {
          // The disc is filled without an outline: an outline would reach one
          // pixel (or half a pen width) beyond the radius, outside the box.
          const int r = radius_;
          painter.setPen(QPen(Qt::NoPen));
          for (const vgl_point_2d<int>& q : p) {
            const QRect disc(q.x() - r, q.y() - r, 2 * r + 1, 2 * r + 1);
            if (disc.intersects(area)) painter.drawEllipse(disc.x(), disc.y(), disc.width(), disc.height());
          }
          painter.setPen(pen);
        } else {
          for (const vgl_point_2d<int>& q : p) painter.drawPoint(q.x(), q.y());
        }
        break;
      default:
        break;
    }
  }
}

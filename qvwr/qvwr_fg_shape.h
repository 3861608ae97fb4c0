#ifndef qvwr_fg_shape_h_
#define qvwr_fg_shape_h_
// A shape drawn in a qvwr_viewer: world points grouped by a vsml_parts
// collection, each part drawn as an open polyline, a closed polyline or
// loose points (pixels or discs), or, with Bezier drawing on, every open or
// closed part as a smooth closed curve through its points.
//
// The figure refers to the caller's points and parts (neither is copied):
// the caller keeps them alive while the figure is attached, and calls set()
// again to show changed positions.  Display positions are kept as integers;
// when only positions change, just the region around the moved points is
// repainted.  Indices outside the points are skipped, never read.
#include <string>
#include <vector>
#include <QColor>
#include <QPolygon>
#include <qvwr/qvwr_figure.h>
#include <vgl/vgl_box_2d.h>
#include <vgl/vgl_point_2d.h>
#include <vimt/vimt_transform_2d.h>

class vsml_part;
class vsml_parts;

class qvwr_fg_shape : public qvwr_figure
{
 public:
  qvwr_fg_shape() = default;
  ~qvwr_fg_shape() override;

  // Each stores the pointers and redraws; the figure must be attached.
  // The forms without colours go back to the single colour.
  void set(const std::vector<vgl_point_2d<double>>& pts, const vsml_parts& parts);
  void set(const vgl_point_2d<double>* pts, int n, const vsml_parts& parts);
  // One colour per part; a count that differs from the number of parts stops
  // the program.
  void set(const std::vector<vgl_point_2d<double>>& pts, const vsml_parts& parts,
           const std::vector<QColor>& colors);
  void set(const vgl_point_2d<double>* pts, int n, const vsml_parts& parts,
           const std::vector<QColor>& colors);

  // One colour for every part (drops per-part colours).
  void setColor(const QColor& c);
  // One colour per part; the count is checked when drawing.
  void setColor(const std::vector<QColor>& colors);
  const QColor& color() const { return color_; }

  void set_draw_bezier(bool on);
  bool draw_bezier() const { return draw_bezier_; }

  // Disc radius for loose points, display pixels; negative counts as 0.
  void setRadius(int r);
  int radius() const { return radius_; }
  // Pen width for lines; 0 is the thin line; negative counts as 0.
  void setLineWidth(int w);
  int lineWidth() const { return line_width_; }

  const vsml_parts& parts() const;

  // Recomputes the display positions and repaints what changed.
  void redraw();

  void draw(QPainter& painter, const QRect& area) override;
  // The next redraw repaints the whole old and new boxes.
  void setViewer(qvwr_viewer& v) override;
  void setTransform(const vimt_transform_2d& w2d) override;
  std::string is_a() const override;

  // Display positions of part i's points (those with valid indices), in order.
  const std::vector<vgl_point_2d<int>>& partPoints(int i) const { return part_pts_[i]; }

 private:
  void calcPts();
  void set(std::vector<vgl_point_2d<int>>& dst, const vsml_part& part);
  void adjust(std::vector<vgl_point_2d<int>>& cur, const vsml_part& part);
  void updateBnds(const vgl_point_2d<int>& p);
  void updateChangedRegion(const vgl_point_2d<int>& p);
  // Adds the samples of every curve drawn as a Bezier curve to bounds_.
  void addCurveBounds();
  // bounds_ from the stored part positions (and curves) alone.
  void recalcBounds();
  int margin() const;
  // b widened by m on every side, as a rectangle; null for an empty box.
  static QRect widened(const vgl_box_2d<int>& b, int m);
  // The box set by the margin rules, grown if needed to cover what is drawn.
  QRect coveringBox(const QRect& grown) const;
  bool validIndex(int k) const { return k >= 0 && k < static_cast<int>(display_pts_.size()); }
  // The samples of the closed Bezier curve through pts.
  static QPolygon bezierPolyline(const std::vector<vgl_point_2d<int>>& pts);

  int n_pts_{0};
  const vgl_point_2d<double>* pts_{nullptr};
  int n_parts_{0};
  const vsml_parts* parts_{nullptr};
  QColor color_;
  std::vector<QColor> colors_;
  std::vector<std::vector<vgl_point_2d<int>>> part_pts_;
  std::vector<vgl_point_2d<int>> display_pts_;
  std::vector<int> part_forms_;
  vgl_box_2d<int> bounds_;
  vgl_box_2d<int> changed_;
  vimt_transform_2d w2d_;
  int radius_{0};
  int line_width_{0};
  bool draw_bezier_{false};
  // Set on attaching: the viewer has not shown the stored positions yet.
  bool whole_repaint_{false};
};

#endif

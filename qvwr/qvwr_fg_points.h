#ifndef qvwr_fg_points_h_
#define qvwr_fg_points_h_
// A set of 2-D world points drawn in a qvwr_viewer: filled discs of a radius
// in display pixels, or single pixels for radius 0, in one colour or one
// colour per point.
#include <string>
#include <vector>
#include <QColor>
#include <QPoint>
#include <qvwr/qvwr_figure.h>
#include <vgl/vgl_point_2d.h>
#include <vimt/vimt_transform_2d.h>

class vsml_points;
class vsml_points_2d;
class vsml_g_point;

class qvwr_fg_points : public qvwr_figure
{
 public:
  qvwr_fg_points() = default;
  ~qvwr_fg_points() override;

  // Each replaces the whole set and repaints; the figure must be attached.
  // Per-point colours are dropped when the number of points changes.
  void set(const std::vector<vgl_point_2d<double>>& pts);
  void set(const vgl_point_2d<double>* pts, int n);
  void set(const vsml_points_2d& pts);
  // Read as a 2-D set: of 2n values, point i is (v[i], v[n+i]).
  void set(const vsml_points& pts);
  void set(const vsml_g_point* pts, int n);
  const std::vector<vgl_point_2d<double>>& points() const { return pts_; }

  // Used while no per-point colours are held.
  void setColor(const QColor& c);
  const QColor& color() const { return color_; }
  // n must be 0 (back to one colour) or the number of points.
  void setColors(const QColor* colors, int n);
  void setColors(const std::vector<QColor>& colors);
  const std::vector<QColor>& colors() const { return colors_; }

  // Disc radius in display pixels; negative counts as 0.
  void setRadius(int r);
  int radius() const { return radius_; }

  void draw(QPainter& painter, const QRect& area) override;
  void setTransform(const vimt_transform_2d& w2d) override;
  std::string is_a() const override;

  // World point to display pixel, each coordinate rounded half away from zero.
  QPoint displayPos(const vgl_point_2d<double>& p) const;

 private:
  void drawOneColour(QPainter& painter, const QRect& area);
  void drawManyColours(QPainter& painter, const QRect& area);
  // Repaints after the points were replaced.
  void pointsChanged();

  std::vector<vgl_point_2d<double>> pts_;
  std::vector<QColor> colors_;
  vimt_transform_2d w2d_;
  int radius_{0};
  QColor color_;
};

#endif

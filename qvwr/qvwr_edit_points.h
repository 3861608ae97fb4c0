#ifndef qvwr_edit_points_h_
#define qvwr_edit_points_h_
// The interaction with which the user places and drags points in a viewer:
// a press near a point (within the pick radius, in display pixels) picks it,
// a press elsewhere appends a new point, and moves with the button held drag
// the picked point.  Any button does this, unless one is made the remove
// button: its press takes out the point under it and adds none.  The points
// are world coordinates, shown by a points figure owned here and attached to
// the viewer on the first press.
//
// The QWidget base only carries the signals; the widget is never shown.
#include <vector>
#include <QWidget>
#include <qvwr/qvwr_fg_points.h>
#include <qvwr/qvwr_interaction.h>
#include <vgl/vgl_point_2d.h>

class qvwr_edit_points : public QWidget, public qvwr_interaction
{
  Q_OBJECT

 public:
  qvwr_edit_points();
  // Takes the points figure out of its viewer (repainting its area) first.
  ~qvwr_edit_points() override;

  // Pick radius in display pixels; values below 1 (and NaN) give 1.
  void setMaxRadius(double r);
  double maxRadius() const { return max_radius_; }

  // Neither emits a signal; the figure is updated only once attached.
  void clear();
  void set_points(const std::vector<vgl_point_2d<double>>& pts);
  const std::vector<vgl_point_2d<double>>& points() const { return points_; }
  // Attaches the points figure now rather than at the first press, so that
  // set_points shows at once.  Needs a viewer.
  void attachPointsFigure();

  // A press of button b removes the point within the pick radius, or does
  // nothing away from every point.  Qt::NoButton (the default) turns it off.
  void setRemoveButton(Qt::MouseButton b) { remove_button_ = b; }
  Qt::MouseButton removeButton() const { return remove_button_; }

  // Index of the point nearest to p (display pixels) among those closer
  // than r display pixels; -1 if none.  Ties go to the lowest index.
  int closestPointIndex(const vgl_point_2d<double>& p, double r);

  // The point that the following moves drag; -1 when none was picked.
  int currentIndex() const { return current_index_; }
  const qvwr_fg_points& pointsFigure() const { return fg_points_; }

  // Serve both bases: the viewer calls them through qvwr_interaction.
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 signals:
  void mousePressed();
  void mouseMoved();
  void mouseReleased();

 private:
  void showPoints();

  std::vector<vgl_point_2d<double>> points_;
  qvwr_fg_points fg_points_;
  int current_index_{-1};
  double max_radius_{5.0};
  Qt::MouseButton remove_button_{Qt::NoButton};
};

#endif

#ifndef qvwr_viewer_h_
#define qvwr_viewer_h_
// A widget that shows a stack of figures living in a 2-D world, fitted into
// the widget by one uniform zoom, and hands its mouse and key events to the
// active interaction.
//
// Display coordinates are widget pixels (x right, y down, whole numbers at
// pixel positions); world coordinates are doubles.  The world-to-display map
// is zoom-only (or the identity) with one positive scale on both axes.
//
// Repaints are batched: invalidate() collects rectangles, and while the
// viewer is unlocked (or when the outermost release() runs) their union is
// repainted synchronously, so the screen is current when the call returns.
#include <vector>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <vgl/vgl_box_2d.h>
#include <vimt/vimt_image_2d_of.h>
#include <vimt/vimt_transform_2d.h>
#include <vxl_config.h>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QPaintEvent;
class QPixmap;
class QResizeEvent;
class QWheelEvent;
class qvwr_figure;
class qvwr_interaction;

class qvwr_viewer : public QWidget
{
  Q_OBJECT

 public:
  explicit qvwr_viewer(QWidget* parent = nullptr, const char* name = nullptr);
  // Detaches every figure and interaction; deletes none of them.
  ~qvwr_viewer() override;

  // ---- figures, drawn in list order (the last on top)
  // Moves f to the top if it is already here; a figure attached to another
  // viewer leaves that one first.
  void append(qvwr_figure& f);
  void remove(qvwr_figure& f);
  std::vector<qvwr_figure*> figures() const { return figures_; }

  // ---- interactions; the last one is active
  void append(qvwr_interaction& i);
  void remove(qvwr_interaction& i);
  void removeAll();

  // ---- mapping
  // Stores the world box that unZoom() returns to; nothing is recomputed.
  void worldWindow(const vgl_box_2d<double>& b) { world_window_ = b; }
  const vgl_box_2d<double>& worldWindow() const { return world_window_; }
  void viewWindow(const vgl_box_2d<double>& b);
  // A box in display pixels, e.g. a rectangle marked on the widget.
  void viewWindow(const vgl_box_2d<int>& b);
  const vgl_box_2d<double>& viewWindow() const { return view_window_; }
  void unZoom();
  void displaySize(int width, int height);
  // The world area actually visible: wider or taller than the view window
  // when the aspect ratios differ.
  vgl_box_2d<double> displayedWindow() const;
  void setUseIdentityMapping(bool on);
  const vimt_transform_2d& worldToDisplay() const { return w2d_; }
  const vimt_transform_2d& displayToWorld() const { return d2w_; }
  void interpMethod(int m);
  int interpMethod() const { return interp_method_; }
  // Fits the view window into the display and hands the new map to every figure.
  void calcWorld2Display();

  // ---- zooming with the mouse, off by default.  While on, the wheel zooms
  // about the cursor (a factor of 1.25 per notch of 120), between half the
  // fitted scale and 32 display pixels per world unit; the middle button
  // pans, and its double-click unzooms.  Middle-button events never reach
  // the interaction.  A resize keeps the view within the same limits.
  void setMouseZoom(bool on) { mouse_zoom_ = on; }
  bool mouseZoom() const { return mouse_zoom_; }
  // Scales the view by factor about display point p, whose world point
  // stays where it is, within the zoom limits.  Nothing changes for a
  // point that is not finite or an empty display.
  void zoomAbout(const QPointF& p, double factor);
  // Moves the view by d display pixels.
  void pan(const QPointF& d);

  // ---- repaint batching
  void lock() { ++lock_count_; }
  void release();
  void invalidate(const QRect& r);
  // Repaints the collected invalid area now (not the whole widget).
  void updateInvalid();
  void refresh() { updateInvalid(); }

  // ---- rendering
  // The device pixels that the widget pixels r touch at a device pixel
  // ratio, and back: the widget pixels that the device pixels d touch.
  static QRect deviceRect(const QRect& r, qreal ratio);
  static QRect widgetRect(const QRect& d, qreal ratio);
  // Draws from the topmost opaque figure covering area upwards.
  void drawGraphics(QPainter& painter, const QRect& area);
  // Index of that figure, 0 if none.
  std::size_t firstDrawn(const QRect& area) const;
  // The part of area that no shown opaque figure drawn there paints: what
  // needs the ground colour first.
  QRegion groundArea(const QRect& area) const;
  void screenShot(QPixmap* pm);
  // One plane when the rendering is grey, otherwise three (red, green, blue);
  // the world-to-image transform of im is left as it is.
  void screenShot(vimt_image_2d_of<vxl_byte>& im);

  QObject* qObject() { return this; }

 signals:
  void emitMousePressEvent(QMouseEvent* e);
  void emitMouseMoveEvent(QMouseEvent* e);
  void message(const QString& text, int timeout);
  void message(const QString& text);
  void message(const QString& text, const QWidget* sender);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  // With QWidget::setMouseTracking on, moves with no button held emit
  // emitMouseMoveEvent but do not reach the interaction, which sees drags
  // only, as without tracking.
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  // Called at the end of every recomputation of the mapping.
  virtual void viewChanged();

 private:
  QColor groundColor() const;
  // Hands the figures the mapping again for a new device pixel ratio.
  void adoptRatio();
  // The scale that unZoom gives, and the scale of the current mapping.
  double fittedScale() const;
  double scale() const;
  // Whether the event is the middle button's, which mouse zoom keeps.
  bool zoomOwns(const QMouseEvent* e) const;
  qvwr_interaction* active() const { return interactions_.empty() ? nullptr : interactions_.back(); }

  vgl_box_2d<double> world_window_;
  vgl_box_2d<double> view_window_;
  int display_width_{256};
  int display_height_{256};
  vimt_transform_2d w2d_;
  vimt_transform_2d d2w_;
  bool use_identity_{false};
  int interp_method_{1};
  int lock_count_{0};
  // Device pixel ratio the figures were last given a mapping at.
  qreal ratio_{1.0};
  bool mouse_zoom_{false};
  // Where the middle button was last seen while panning.
  QPointF pan_from_;
  bool panning_{false};
  QRect invalid_;
  std::vector<qvwr_figure*> figures_;
  std::vector<qvwr_interaction*> interactions_;
};

#endif

#ifndef qvwr_figure_h_
#define qvwr_figure_h_
// Something drawn in a qvwr_viewer: an image, a point set, a shape.
// The figure knows the widget pixels it may paint (its bound box) and asks
// its viewer to repaint areas; the viewer asks it to draw and hands it the
// world-to-display transform.  The viewer never owns a figure.
#include <cassert>
#include <string>
#include <QRect>
#include <vgl/vgl_box_2d.h>

class QPainter;
class qvwr_viewer;
class vimt_transform_2d;

class qvwr_figure
{
 public:
  qvwr_figure() = default;
  // A copy starts detached: a viewer lists each figure at most once.
  qvwr_figure(const qvwr_figure& f);
  // Takes the geometry and visibility of f; this figure stays where it is
  // attached, and there its old and new bound boxes are repainted.
  qvwr_figure& operator=(const qvwr_figure& f);

  // An attached figure leaves its viewer and has its area repainted.
  virtual ~qvwr_figure();

  virtual void setViewer(qvwr_viewer& v);
  // Paints the part of the figure inside area (widget pixels).  Must return
  // at once when invisible or when area misses the bound box.
  virtual void draw(QPainter& painter, const QRect& area) = 0;
  // Takes the viewer's world-to-display map; recomputes the bound box and
  // invalidates the old and the new one.
  virtual void setTransform(const vimt_transform_2d& w2d) = 0;
  virtual std::string is_a() const = 0;
  virtual void setInterpMethod(int method);
  virtual int interpMethod() const;
  // True only for a figure that paints every pixel of its bound box.
  virtual bool isOpaque() const;

  qvwr_viewer& viewer()
  {
    assert(viewer_!=0);
    return *viewer_;
  }
  bool gotViewer() const { return viewer_ != nullptr; }
  void clearViewer() { viewer_ = nullptr; }
  // Leaves the viewer and repaints the area the figure covered.
  void remove();

  const QRect& boundBox() const { return bound_box_; }
  void setBoundBox(const QRect& r) { bound_box_ = r; }
  void setBoundBox(const vgl_box_2d<int>& b) { bound_box_ = toRect(b); }

  void invalidate(const QRect& r);
  void invalidate(const vgl_box_2d<int>& b) { invalidate(toRect(b)); }

  void setVisible(bool v);
  bool isVisible() const { return visible_; }

  // Repaint batching on the viewer: bracket several changes to paint once.
  void lock();
  void release();

  // Integer box to rectangle covering its corner pixels; an empty box
  // becomes the single pixel at its minimum corner.
  static QRect toRect(const vgl_box_2d<int>& b);

 private:
  qvwr_viewer* viewer_{nullptr};
  QRect bound_box_;
  bool visible_{true};
};

#endif

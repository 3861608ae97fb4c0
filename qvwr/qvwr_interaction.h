#ifndef qvwr_interaction_h_
#define qvwr_interaction_h_
// A mode of handling input in a qvwr_viewer.  Only the active interaction
// (the last one appended) receives the viewer's mouse and key events; the
// viewer tells it when it gains and loses that role.  The viewer never owns
// an interaction.  An interaction that needs signals derives from QWidget
// first and from this class second.
#include <cassert>
#include <string>
#include <QString>

class QKeyEvent;
class QMouseEvent;
class qvwr_viewer;

class qvwr_interaction
{
 public:
  qvwr_interaction() = default;
  // A copy starts detached: a viewer lists each interaction at most once.
  qvwr_interaction(const qvwr_interaction& i) : viewer_(nullptr), name_(i.name_) {}
  // Takes the name of i; this interaction stays where it is attached.
  qvwr_interaction& operator=(const qvwr_interaction& i)
  {
    name_ = i.name_;
    return *this;
  }

  // An interaction still attached leaves its viewer, so the viewer never
  // keeps a pointer to a destroyed interaction.
  virtual ~qvwr_interaction();

  virtual std::string is_a() const;
  virtual void mousePressEvent(QMouseEvent* e);
  virtual void mouseReleaseEvent(QMouseEvent* e);
  virtual void mouseMoveEvent(QMouseEvent* e);
  virtual void mouseDoubleClickEvent(QMouseEvent* e);
  // Unused keys stay ignored, so Qt offers them to the parent widget.
  virtual void keyPressEvent(QKeyEvent* e);
  virtual void keyReleaseEvent(QKeyEvent* e);
  virtual void setViewer(qvwr_viewer& v);
  virtual void clearViewer();
  virtual void losingFocus();
  virtual void gainingFocus();

  qvwr_viewer& viewer()
  {
    assert(viewer_!=0);
    return *viewer_;
  }
  bool gotViewer() const { return viewer_ != nullptr; }
  // Leaves the viewer (which calls losingFocus and clearViewer).
  void remove();

  const QString& name() const { return name_; }
  void set_name(const QString& name) { name_ = name; }

 private:
  qvwr_viewer* viewer_{nullptr};
  QString name_;
};

#endif

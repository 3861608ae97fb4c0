#ifndef tessaly_edit_command_h_
#define tessaly_edit_command_h_
// One step on the window's undo stack: the editable points and the drawn
// snake before and after a change.  Whole lists rather than differences, so
// that a step restores exactly what was on the screen whatever happened
// between.
#include <vector>
#include <QUndoCommand>
#include <vgl/vgl_point_2d.h>

class tessaly;

class tessaly_edit_command : public QUndoCommand
{
 public:
  using point_list = std::vector<vgl_point_2d<double>>;

  // window outlives the step (the stack is its member).
  tessaly_edit_command(tessaly& window, const QString& text, point_list points_before,
                       point_list curve_before, point_list points_after, point_list curve_after);

  void undo() override;
  void redo() override;

 private:
  tessaly& window_;
  point_list points_before_;
  point_list curve_before_;
  point_list points_after_;
  point_list curve_after_;
};

#endif

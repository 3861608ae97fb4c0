#include <app/tessaly_edit_command.h>

#include <utility>
#include <app/tessaly.h>

tessaly_edit_command::tessaly_edit_command(tessaly& window, const QString& text,
                                           point_list points_before, point_list curve_before,
                                           point_list points_after, point_list curve_after)
  : window_(window),
    points_before_(std::move(points_before)),
    curve_before_(std::move(curve_before)),
    points_after_(std::move(points_after)),
    curve_after_(std::move(curve_after))
{
  setText(text);
}

void tessaly_edit_command::undo()
{
  window_.show_edit(points_before_, curve_before_);
}

void tessaly_edit_command::redo()
{
  // Also run by the push: it shows the state the change left, once more.
  window_.show_edit(points_after_, curve_after_);
}

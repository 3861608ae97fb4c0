#ifndef tessaly_h_
#define tessaly_h_
// The main window: a menu, the controls that drive the snake and the viewer
// that shows the image, the cost image and the snake.
#include <QWidget>

class qvwr_viewer;

class tessaly : public QWidget
{
  Q_OBJECT

 public:
  explicit tessaly(QWidget* parent = nullptr, const char* name = nullptr);
  // Empties the viewer first, so that it never refers to a destroyed member
  // figure or interaction.
  ~tessaly() override;

  qvwr_viewer* q_viewer() { return q_viewer_; }

 public slots:
  // Two boxes in turn: the program's own About box, then Qt's.
  void slotHelpAbout();
  void load_image();
  void load_image(const char* path);
  void clear();
  void set_to_select_points();
  void set_to_zoom();
  void set_image_wt(int v);
  void set_smooth_k(int v);
  void search();
  void set_show_cost_image(bool on);

 private:
  // Members in construction order.  The image and snake state follows the
  // viewer in this order: image_, fg_image_, edit_points_, fg_shape_,
  // parts_, snake_pts_, show_cost_image_, cost_image_, max_cost_,
  // cost_display_, work_image_, point_spacing_, image_wt_, smooth_k_.

  // Child widget; Qt deletes it with the window.
  qvwr_viewer* q_viewer_{nullptr};
};

#endif

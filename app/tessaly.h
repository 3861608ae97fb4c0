#ifndef tessaly_h_
#define tessaly_h_
// The main window: a menu, the controls that drive the snake and the viewer
// that shows the image, the cost image and the snake.
#include <QWidget>
#include <qvwr/qvwr_fg_image.h>
#include <vil/vil_image_view.h>
#include <vimt/vimt_image_2d_of.h>
#include <vxl_config.h>

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

  // ---- image and cost image
  // Makes image the current image (pixels shared), recomputes the cost and
  // shows the whole image, unzoomed, in one repaint.
  void set_image(const vimt_image_2d_of<vxl_byte>& image);
  // Cost pipeline: gradient magnitude of image_, smoothed twice with
  // smooth_k_, its maximum and an 8-bit stretched copy for display.
  void compute_cost_image();

  const vimt_image_2d_of<vxl_byte>& image() const { return image_; }
  const vimt_image_2d_of<float>& cost_image() const { return cost_image_; }
  float max_cost() const { return max_cost_; }
  const vimt_image_2d_of<vxl_byte>& cost_display() const { return cost_display_; }
  const vil_image_view<float>& work_image() const { return work_image_; }
  bool show_cost_image() const { return show_cost_image_; }
  double image_wt() const { return image_wt_; }
  double smooth_k() const { return smooth_k_; }

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
  // Image figure, start image and its cost image (end of construction).
  void build_start_image();

  // Members in construction order.  The image and snake state follows the
  // viewer in this order: image_, fg_image_, edit_points_, fg_shape_,
  // parts_, snake_pts_, show_cost_image_, cost_image_, max_cost_,
  // cost_display_, work_image_, point_spacing_, image_wt_, smooth_k_.

  // Child widget; Qt deletes it with the window.
  qvwr_viewer* q_viewer_{nullptr};

  // ---- image and cost image (identity world-to-image transforms)
  vimt_image_2d_of<vxl_byte> image_;
  // Shows image_ or cost_display_; attached first, so drawn beneath all else.
  qvwr_fg_image fg_image_;
  // (the point editor, shape figure, parts and snake points go here)
  bool show_cost_image_{false};
  // Gradient magnitude, one float plane of image_'s size.
  vimt_image_2d_of<float> cost_image_;
  // Largest value of cost_image_, normalises the external term.
  float max_cost_{0.0f};
  // cost_image_ stretched to 0..255 for display.
  vimt_image_2d_of<vxl_byte> cost_display_;
  // Between the two smoothing passes; keeps its memory from run to run.
  vil_image_view<float> work_image_;
  // (point_spacing_ goes here)
  // Weight of the external term, 0..1, from the weight slider.
  double image_wt_{0.5};
  // Exponential filter factor, 0.5 + v/201 from the smoothing slider.
  double smooth_k_{0.75};
};

#endif

#ifndef tessaly_h_
#define tessaly_h_
// The main window: a menu, the controls that drive the snake and the viewer
// that shows the image, the cost image and the snake.
#include <optional>
#include <string>
#include <vector>
#include <QBasicTimer>
#include <QString>
#include <QUndoStack>
#include <QWidget>
#include <app/snake_run.h>
#include <app/tessaly_busy_wait.h>
#include <app/tessaly_cost_worker.h>
#include <app/tessaly_snake.h>
#include <qvwr/qvwr_edit_points.h>
#include <qvwr/qvwr_fg_image.h>
#include <qvwr/qvwr_fg_shape.h>
#include <shape_data/vsml_parts.h>
#include <vgl/vgl_point_2d.h>
#include <vil/vil_image_view.h>
#include <vimt/vimt_image_2d_of.h>
#include <vxl_config.h>

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QEvent;
class QLabel;
class QMenuBar;
class QPushButton;
class QSlider;
class QTimerEvent;
class QToolButton;
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
  // Brings the cost image to the smoothing slider's newest value now, if
  // its moves left it behind.  Runs and exports call it first.
  void finish_cost_image();
  // Cost images computed so far, on this thread or the worker's, and
  // whether one is under way or waiting for a slider's newest value.
  int cost_computations() const { return cost_computations_ + cost_worker_.computations(); }
  bool cost_image_lags() const { return cost_worker_.busy(); }
  // The slider's computations keep the image's gradient for the next move.
  bool cost_gradient_kept() const { return cost_worker_.keeps_gradient(); }
  // The smoothing slider moved: the cost image follows off the GUI thread,
  // for the newest value only once the previous computation ends.
  void smooth_slider_moved(int v);

  const vimt_image_2d_of<vxl_byte>& image() const { return image_; }
  const vimt_image_2d_of<float>& cost_image() const { return cost_image_; }
  float max_cost() const { return max_cost_; }
  const vimt_image_2d_of<vxl_byte>& cost_display() const { return cost_display_; }
  const vil_image_view<float>& work_image() const { return work_image_; }
  bool show_cost_image() const { return show_cost_image_; }
  double image_wt() const { return image_wt_; }
  double smooth_k() const { return smooth_k_; }
  // Weight of the pressure, -1 (shrink) .. 1 (grow), from its slider.
  double pressure() const { return pressure_; }
  // The settings the next run takes: the window's spacing and the sliders'.
  snake_run_settings run_settings() const;

  // ---- snake run control
  // Resamples the point editor's points into an evenly spaced closed curve,
  // which becomes the editable points, the snake and the drawn shape.
  // Needs at least one point in the editor.
  void fill_in_snake_points();

  const qvwr_edit_points& edit_points() const { return edit_points_; }
  const qvwr_fg_shape& fg_shape() const { return fg_shape_; }
  const vsml_parts& parts() const { return parts_; }
  const std::vector<vgl_point_2d<double>>& snake_pts() const { return snake_pts_; }
  double point_spacing() const { return point_spacing_; }

  // ---- files, for the menu items and for scripts.  Each returns false with
  // the reason in why (plain words) and leaves files and state as they were.
  // The point editor's points (after a run, the snake's) as .csv, .json,
  // .svg or .bvl, as tessaly-snake -o writes them; refused with no points.
  bool save_snake(const char* path, std::string* why = nullptr);
  // The image (or the cost image while it is shown) at zoom 1 with the
  // points drawn as a red closed curve and green discs, as tessaly-snake
  // --overlay draws them, in any format vil_save writes.
  bool export_picture(const char* path, std::string* why = nullptr);
  // Points from a CSV or .bvl file become the point editor's, the start of
  // the next run; the drawn curve goes.  One undo step.
  bool load_points(const char* path, std::string* why = nullptr);

  // ---- undo: one step per added, dragged or removed point, run, clear and
  // load of points; loading an image is none and keeps the stack.
  QUndoStack* undo_stack() { return &undo_stack_; }
  // Shows points as the editable points and curve as the drawn snake, in
  // one repaint: a run's every step, and what an undo step restores.
  void show_edit(const std::vector<vgl_point_2d<double>>& points,
                 const std::vector<vgl_point_2d<double>>& curve);
  // Removes the point picked or added last (Delete, Backspace), if any.
  void delete_point();

  // ---- played runs
  // Milliseconds between the units of a played run (a resampling or a
  // step); 0 is Instant, where "Run Snake" calls search().
  Q_INVOKABLE int step_delay_ms() const { return step_delay_ms_; }
  // True while a played run goes on.
  Q_INVOKABLE bool running() const { return run_.has_value(); }

 signals:
  // A run has ended: search() is about to return, or a played run finished
  // or was stopped.
  void run_finished();

 public slots:
  // Two boxes in turn: the program's own About box, then Qt's.
  void slotHelpAbout();
  // Asks for a file; a cancelled dialog changes nothing.
  void load_image();
  // Loads the file as the current image (8-bit pixels, 1 to 4 planes); a
  // file that cannot be used gets a message box and changes nothing.  The
  // points and the snake keep their world positions.
  void load_image(const char* path);
  // Removes the points and the snake; the image stays.
  void clear();
  // Attaches the point editor: the mouse places and drags points.
  void set_to_select_points();
  // Detaches the point editor.
  void set_to_zoom();
  // Slider positions; a value called by name outside 0..100 is clamped.
  // set_smooth_k computes the cost image before it returns.
  void set_image_wt(int v);
  void set_smooth_k(int v);
  // "Run Snake": 10 passes of resampling and 10 snake steps, each painted.
  void search();
  void set_show_cost_image(bool on);
  // The pressure slider's position, -100 (shrink) .. 100 (grow); a value
  // called by name outside that range is clamped.  Acts from the next run.
  void set_pressure(int v);
  // "Run Snake" and Ctrl+R: search() at speed Instant; otherwise plays the
  // run from a timer, or stops the run that plays.
  void run_or_stop();
  // Stops a played run after its current unit; the curve stays where it
  // is, and the run is one undo step.
  void stop_run();
  // Instant, Fast, Normal and Slow are 0, 4, 15 and 50; any value is
  // clamped to 0..1000.  Acts on a run that plays at once.
  void set_step_delay_ms(int ms);

 protected:
  // A local file dropped on the window is loaded (the first of several).
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  // Follows the cursor over the viewer for the status line.
  bool eventFilter(QObject* watched, QEvent* e) override;
  // A played run's next unit.
  void timerEvent(QTimerEvent* e) override;
  // Stops a played run first.
  void closeEvent(QCloseEvent* e) override;

 private:
  // Menus, their keys and the keys without a menu item.
  void build_menus(QMenuBar* bar);
  // The sliders' tool tips show their values while they move.
  // text gives the tip for a value; the value itself when null.
  void follow_slider(QSlider* s, QString (*text)(int) = nullptr);
  // Dialogs of the menu items; a failure is shown with its reason.
  void save_snake_as();
  void export_picture_as();
  void load_points_from();
  // Asks where to save (a name without an extension takes the chosen
  // filter's), then writes there with write, or tells why it could not.
  void save_from_dialog(const QString& caption, const QString& suggested, const char* filter,
                        bool (tessaly::*write)(const char*, std::string*), const QString& fail_caption,
                        const QString& fail_text);
  // The loaded image's name less its extension, then tail; "snake" for the
  // start image.
  QString image_stem(const QString& tail) const;
  // set_image; when the cost images (about 9 bytes a pixel) cannot be had,
  // the old image back and false with the reason.
  bool set_image_or_keep(const vimt_image_2d_of<vxl_byte>& image, std::string& why);
  // A box naming the file and the reason.
  void tell_failure(const QString& caption, const QString& text, const QString& path,
                    const std::string& why, QWidget* parent);
  // Folder the file dialogs for points and pictures start in.
  QString work_folder() const;
  // Pushes one undo step from before to what is shown now, if that differs.
  void push_edit(const QString& text, const std::vector<vgl_point_2d<double>>& points_before,
                 const std::vector<vgl_point_2d<double>>& curve_before);
  // Mouse edits: the points at the press, and one step at the release.
  void note_press();
  void note_release();
  // Zooms about the viewer's centre, as a wheel notch does at the cursor.
  void zoom_by(double factor);
  // The status line now; queued when the viewer has yet to take an event.
  void update_status();
  void queue_status();

  // The box for too few points, and false, or true.
  bool enough_points();
  // The played run's next unit, shown; the run ends after its last.
  void take_run_unit();
  // Ends a played run: the timer goes, the run is one undo step, the
  // controls come back and run_finished() is emitted.
  void end_run();
  // The button reads "Stop", the sliders rest and Esc stops, while on.
  void show_running(bool on);

  // Image figure, start image and its cost image (end of construction).
  void build_start_image();
  // A computed cost image becomes the current one, and is shown if the
  // cost image is.
  void take_cost(const tessaly_cost& c);

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
  // ---- snake: the clicked points, the drawn curve and its grouping
  // Its points are the start of the next run.
  qvwr_edit_points edit_points_;
  // Draws snake_pts_ (red) as one closed part; refers to snake_pts_ and parts_.
  qvwr_fg_shape fg_shape_;
  vsml_parts parts_;
  // The snake the steps move, world coordinates, a closed curve.
  std::vector<vgl_point_2d<double>> snake_pts_;
  bool show_cost_image_{false};
  // Gradient magnitude, one float plane of image_'s size.
  vimt_image_2d_of<float> cost_image_;
  // Largest value of cost_image_, normalises the external term.
  float max_cost_{0.0f};
  // cost_image_ stretched to 0..255 for display.
  vimt_image_2d_of<vxl_byte> cost_display_;
  // Between the two smoothing passes; keeps its memory from run to run.
  // The slider's computations use it too, off the GUI thread.
  vil_image_view<float> work_image_;
  // Target distance between snake points and the length unit of the
  // internal energy, world units.
  double point_spacing_{snake_run_settings().spacing};
  // Weight of the external term, 0..1, from the weight slider.
  double image_wt_{0.5};
  // Exponential filter factor, 0.5 + v/201 from the smoothing slider; the
  // cost image may lag behind while the slider moves.
  double smooth_k_{snake_start_smooth_k};
  double pressure_{0.0};
  // Computes the slider's cost images; cost_computations_ counts the others.
  tessaly_cost_worker cost_worker_{work_image_};
  int cost_computations_{0};
  // The wait of the load under way, if any: its cost image is part of it.
  tessaly_busy_wait* busy_{nullptr};

  // ---- the work kept around the snake
  QUndoStack undo_stack_;
  // The points when the mouse button went down, for the step at release.
  std::vector<vgl_point_2d<double>> press_points_;
  // Index of the point picked or added last; -1 after any other change.
  int picked_{-1};
  // The loaded image's path as given (empty for the start image) and the
  // folders the dialogs start in.
  std::string image_path_;
  QString image_folder_;
  QString work_folder_;
  // Slider positions for the saved settings; smooth -1 until moved.
  int weight_pos_{50};
  int smooth_pos_{-1};
  int pressure_pos_{0};
  // Child widget under the viewer; Qt deletes it with the window.
  QLabel* status_{nullptr};
  // Cursor over the viewer (widget pixels), when it is there.
  QPoint cursor_;
  bool cursor_in_{false};
  bool status_queued_{false};

  // ---- the run that plays, one unit per timer tick
  std::optional<snake_run> run_;
  QBasicTimer run_timer_;
  int step_delay_ms_{15};
  // What the run's undo step goes back to.
  std::vector<vgl_point_2d<double>> run_points_before_;
  std::vector<vgl_point_2d<double>> run_curve_before_;
  // Child widgets and the window's Esc action; Qt deletes them.
  QPushButton* run_button_{nullptr};
  QToolButton* speed_button_{nullptr};
  QAction* stop_action_{nullptr};
};

#endif

#include <app/tessaly.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <sys/stat.h>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QTimerEvent>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <app/snake_image_file.h>
#include <app/snake_measures.h>
#include <app/snake_overlay.h>
#include <app/snake_points_file.h>
#include <app/tessaly_edit_command.h>
#include <app/tessaly_snake.h>
#include <qvwr/qvwr_viewer.h>
#include <vgl/vgl_box_2d.h>
#include <vil/vil_convert.h>
#include <vil/vil_save.h>

namespace
{
const char* const about_text =
  "tessaly  by the tessaly developers\n"
  "\n"
  "Tool for experimenting with basic snake.\n"
  "Use can:\n"
  " - Load in an image\n"
  " - Click to define initial snake\n"
  " - Run iterations of snake\n"
  " - Modify snake parameters\n";

// A push button that keeps its natural size when the window grows.
QPushButton* fixed_button(const QString& text, const QString& tip, QWidget* parent)
{
  auto* b = new QPushButton(text, parent);
  b->setFixedSize(b->sizeHint());
  b->setToolTip(tip);
  return b;
}

// Every name the image loader reads, then anything (the loader goes by a
// file's first bytes, not its name).
const char* const image_filter =
  "Images (*.png *.jpg *.jpeg *.jpe *.jfif *.tif *.tiff *.bmp *.dib *.pbm *.pgm *.ppm *.pnm"
  " *.ras *.sun *.sgi *.rgb *.rgba *.bw *.xv *.viff *.ntf *.nitf *.jp2 *.j2k *.j2c *.jpc"
  " *.jpf *.jpx *.mit);;All files (*)";

const char* const points_read_filter = "Points (*.csv *.bvl);;All files (*)";
const char* const points_write_filter =
  "CSV points (*.csv);;JSON (*.json);;SVG drawing (*.svg);;Point set record (*.bvl)";
// What vil_save writes, by extension.
const char* const picture_filter =
  "PNG (*.png);;TIFF (*.tif *.tiff);;JPEG (*.jpg *.jpeg);;BMP (*.bmp);;PNM (*.pgm *.ppm *.pnm)";

const char* const no_points = "there are no points to save: click points in the image, or load them, first";

// A name typed without an extension takes the chosen filter's first one.
QString with_extension(const QString& name, const QString& filter)
{
  if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
    return name;
  const int star = filter.indexOf(QStringLiteral("*."));
  if (star < 0)
    return name;
  const int end = filter.indexOf(QRegularExpression(QStringLiteral("[ )]")), star);
  return name + filter.mid(star + 1, end < 0 ? -1 : end - star - 1);
}

// A wheel notch's zoom factor, which the zoom keys share.
const double zoom_step = 1.25;

// Speeds of a played run: milliseconds between its units.
const struct
{
  const char* name;
  int ms;
} run_speeds[] = {{"Instant", 0}, {"Fast", 4}, {"Normal", 15}, {"Slow", 50}};
// The slowest step a delay given by name may ask for.
const int max_step_delay_ms = 1000;

// Clicks and drags that would edit points; the middle button's pan and
// unzoom are not among them.
bool edits_points(const QEvent* e)
{
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return static_cast<const QMouseEvent*>(e)->button() != Qt::MiddleButton;
    case QEvent::MouseMove: {
      const Qt::MouseButtons held = static_cast<const QMouseEvent*>(e)->buttons();
      return held != Qt::NoButton && !(held & Qt::MiddleButton);
    }
    default:
      return false;
  }
}

QSlider* mid_slider(QWidget* parent, int lo = 0, int hi = 100)
{
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setRange(lo, hi);
  s->setPageStep(5);
  s->setValue((lo + hi) / 2);
  return s;
}

// The smoothing slider's tip: its value and the blur's width in pixels.
QString smoothing_tip(int v)
{
  return QObject::tr("%1: %2 px").arg(v).arg(snake_smooth_px_from_k(snake_smooth_k_from_slider(v)), 0, 'f', 1);
}
} // namespace

tessaly::tessaly(QWidget* parent, const char* name)
  : QWidget(parent)
{
  if (name)
    setObjectName(QString::fromLatin1(name));

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);

  setWindowTitle(tr("tessaly"));
  // A long session keeps the last thousand steps, not every one.
  undo_stack_.setUndoLimit(1000);
  setWindowIcon(QIcon(QStringLiteral(":/tessaly/tessaly.png")));
  setAcceptDrops(true);

  auto* bar = new QMenuBar(this);
  build_menus(bar);
  top->setMenuBar(bar);

  auto* row1 = new QHBoxLayout;
  top->addLayout(row1, 0);
  QPushButton* clear_button = fixed_button(tr("Clear"), tr("Clear snake"), this);
  clear_button->setObjectName("clear_button");
  row1->addWidget(clear_button, 0, Qt::Alignment());
  connect(clear_button, &QPushButton::clicked, this, &tessaly::clear);
  run_button_ = fixed_button(tr("Run Snake"), tr("Run iterations of the snake"), this);
  run_button_->setObjectName("run_button");
  row1->addWidget(run_button_, 0, Qt::Alignment());
  connect(run_button_, &QPushButton::clicked, this, &tessaly::run_or_stop);
  // The speed: an arrow that opens its menu, small enough for the row to
  // keep within the window's 300 pixels.
  speed_button_ = new QToolButton(this);
  speed_button_->setObjectName("speed_button");
  speed_button_->setArrowType(Qt::DownArrow);
  speed_button_->setPopupMode(QToolButton::InstantPopup);
  auto* speeds = new QMenu(speed_button_);
  auto* speed_group = new QActionGroup(speeds);
  speed_group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const auto& speed : run_speeds) {
    QAction* a = speeds->addAction(tr(speed.name), this, [this, ms = speed.ms] { set_step_delay_ms(ms); });
    a->setData(speed.ms);
    a->setCheckable(true);
    speed_group->addAction(a);
  }
  speed_button_->setMenu(speeds);
  speed_button_->setFixedSize(speed_button_->sizeHint().width(), run_button_->height());
  row1->addWidget(speed_button_, 0, Qt::Alignment());
  set_step_delay_ms(step_delay_ms_);
  auto* cost_check = new QCheckBox(tr("Cost Image"), this);
  cost_check->setObjectName("cost_image_check");
  cost_check->setMinimumSize(cost_check->sizeHint());
  cost_check->setChecked(false);
  row1->addWidget(cost_check, 0, Qt::Alignment());
  connect(cost_check, &QCheckBox::toggled, this, &tessaly::set_show_cost_image);
  row1->addStretch(0);

  // Slider signals are connected after the start value is set: the
  // constructor sets the weights itself.
  auto* row2 = new QHBoxLayout;
  top->addLayout(row2, 0);
  row2->addWidget(new QLabel(tr("All Internal"), this));
  QSlider* wt_slider = mid_slider(this);
  wt_slider->setObjectName("image_wt_slider");
  row2->addWidget(wt_slider);
  row2->addWidget(new QLabel(tr("All External"), this));
  connect(wt_slider, &QSlider::valueChanged, this, &tessaly::set_image_wt);
  follow_slider(wt_slider);

  auto* row3 = new QHBoxLayout;
  top->addLayout(row3, 0);
  row3->addWidget(new QLabel(tr("No smoothing"), this));
  QSlider* k_slider = mid_slider(this);
  k_slider->setObjectName("smooth_k_slider");
  row3->addWidget(k_slider);
  row3->addWidget(new QLabel(tr("Very smooth"), this));
  connect(k_slider, &QSlider::valueChanged, this, &tessaly::smooth_slider_moved);
  connect(&cost_worker_, &tessaly_cost_worker::ready, this, &tessaly::take_cost);
  follow_slider(k_slider, smoothing_tip);
  // The start factor is no slider position's; its own width until moved.
  k_slider->setToolTip(tr("%1 px").arg(snake_smooth_px_from_k(smooth_k_), 0, 'f', 1));

  auto* row4 = new QHBoxLayout;
  top->addLayout(row4, 0);
  row4->addWidget(new QLabel(tr("Shrink"), this));
  QSlider* pressure_slider = mid_slider(this, -snake_pressure_slider_max, snake_pressure_slider_max);
  pressure_slider->setObjectName("pressure_slider");
  row4->addWidget(pressure_slider);
  row4->addWidget(new QLabel(tr("Grow"), this));
  connect(pressure_slider, &QSlider::valueChanged, this, &tessaly::set_pressure);
  follow_slider(pressure_slider);

  q_viewer_ = new qvwr_viewer(this, "qvwr_viewer");
  QPalette pal = q_viewer_->palette();
  QColor ground;
  ground.setRgb(10, 100, 10);
  pal.setColor(q_viewer_->backgroundRole(), ground);
  q_viewer_->setPalette(pal);
  q_viewer_->setMouseZoom(true);
  // A frame is sampled straight into the window: one pass over it per step.
  fg_image_.set_paint_from_source(true);
  top->addWidget(q_viewer_, 0, Qt::Alignment());

  // Under the viewer: the cursor's pixel, the zoom, the size, the points.
  status_ = new QLabel(this);
  status_->setObjectName("status_line");
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  status_->setContentsMargins(4, 1, 4, 1);
  top->addWidget(status_, 0);
  q_viewer_->setMouseTracking(true);
  q_viewer_->installEventFilter(this);

  build_start_image();

  // Clicks place points at once; the snake is drawn above the image, and
  // the points above the snake.  The right button removes a point.
  q_viewer_->append(edit_points_);
  q_viewer_->append(fg_shape_);
  fg_shape_.setColor(Qt::red);
  // One logical pixel, so as many device pixels as the screen's ratio.
  fg_shape_.setLineWidth(1);
  edit_points_.attachPointsFigure();
  edit_points_.setRemoveButton(Qt::RightButton);
  connect(q_viewer_, &qvwr_viewer::emitMousePressEvent, this, &tessaly::note_press);
  connect(&edit_points_, &qvwr_edit_points::mousePressed, this,
          [this] { picked_ = edit_points_.currentIndex(); });
  connect(&edit_points_, &qvwr_edit_points::mouseReleased, this, &tessaly::note_release);
  update_status();
}

void tessaly::build_menus(QMenuBar* bar)
{
  // The first items keep their order; each menu gains its new items.
  QMenu* file = bar->addMenu(tr("&File"));
  QAction* load = file->addAction(tr("Load Image"), this, qOverload<>(&tessaly::load_image));
  load->setShortcut(QKeySequence::Open);
  file->addAction(tr("Load Points\u2026"), this, &tessaly::load_points_from);
  file->addSeparator();
  QAction* save = file->addAction(tr("Save Snake As\u2026"), this, &tessaly::save_snake_as);
  save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  QAction* exp = file->addAction(tr("Export Picture\u2026"), this, &tessaly::export_picture_as);
  exp->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  file->addSeparator();
  file->addAction(tr("Clear"), this, &tessaly::clear);
  file->addSeparator();
  QAction* quit = file->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* edit = bar->addMenu(tr("&Edit"));
  QAction* undo = undo_stack_.createUndoAction(edit, tr("Undo"));
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  QAction* redo = undo_stack_.createRedoAction(edit, tr("Redo"));
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  // A run that plays stops first, and is then the step undone.
  for (QAction* a : {undo, redo})
    QObject::disconnect(a, &QAction::triggered, &undo_stack_, nullptr);
  connect(undo, &QAction::triggered, this, [this] {
    stop_run();
    undo_stack_.undo();
  });
  connect(redo, &QAction::triggered, this, [this] {
    stop_run();
    undo_stack_.redo();
  });
  edit->addAction(undo);
  edit->addAction(redo);
  edit->addSeparator();
  QAction* del = edit->addAction(tr("Delete Point"), this, &tessaly::delete_point);
  del->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});

  QMenu* view = bar->addMenu(tr("&View"));
  QAction* in = view->addAction(tr("Zoom In"), this, [this] { zoom_by(zoom_step); });
  in->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  QAction* out = view->addAction(tr("Zoom Out"), this, [this] { zoom_by(1.0 / zoom_step); });
  out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  QAction* whole = view->addAction(tr("Whole Image"), this, [this] {
    q_viewer_->unZoom();
    update_status();
  });
  whole->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));

  QMenu* help = bar->addMenu(tr("&Help"));
  QAction* about = help->addAction(tr("About..."), this, &tessaly::slotHelpAbout);
  about->setShortcut(QKeySequence(Qt::Key_F1));

  // No menu item runs the snake; the key works anywhere in the window, as
  // the button does: it stops a run that plays.
  auto* run = new QAction(tr("Run Snake"), this);
  run->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  connect(run, &QAction::triggered, this, &tessaly::run_or_stop);
  addAction(run);
  // Esc stops a run; enabled only then, so that it leaves the key alone
  // otherwise.
  stop_action_ = new QAction(tr("Stop"), this);
  stop_action_->setShortcut(QKeySequence(Qt::Key_Escape));
  stop_action_->setEnabled(false);
  connect(stop_action_, &QAction::triggered, this, &tessaly::stop_run);
  addAction(stop_action_);
}

void tessaly::follow_slider(QSlider* s, QString (*text_of)(int))
{
  // The value in the tool tip, shown beside the handle while it moves.
  auto show = [s, text_of](int v) {
    const QString text = text_of ? text_of(v) : QString::number(v);
    s->setToolTip(text);
    if (!s->isSliderDown() && !s->hasFocus())
      return;
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = v;
    const QRect handle = s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
    QToolTip::showText(s->mapToGlobal(handle.topRight()), text, s);
  };
  connect(s, &QSlider::valueChanged, this, show);
  s->setToolTip(text_of ? text_of(s->value()) : QString::number(s->value()));
}

tessaly::~tessaly()
{
  // No tick may reach a window on its way out, nor a listener hear of it.
  run_timer_.stop();
  run_.reset();
  if (q_viewer_)
    q_viewer_->removeAll();
}

void tessaly::slotHelpAbout()
{
  QMessageBox::about(this, tr("About tessaly"), tr(about_text));
  QMessageBox::aboutQt(this, tr("qt1"));
}

// ---- loading images

void tessaly::load_image()
{
  stop_run();
  const QString name =
    QFileDialog::getOpenFileName(this, tr("Load Image"), image_folder_, tr(image_filter));
  if (name.isEmpty())
    return;
  // The file system's own encoding, so that any name the dialog offers opens.
  load_image(QFile::encodeName(name).constData());
}

void tessaly::load_image(const char* path)
{
  stop_run();
  vimt_image_2d_of<vxl_byte> image;
  std::string why = "no file name given";
  bool ok = false;
  if (path && *path) {
    // A large picture takes seconds to decode and to cost: the busy cursor
    // shows after a moment, and goes before any message box.
    tessaly_busy_wait wait;
    const QScopedValueRollback<tessaly_busy_wait*> during(busy_, &wait);
    ok = wait.run([&] { return snake_load_image(path, image.image(), why); }) &&
         set_image_or_keep(image, why);
  }
  if (ok) {
    image_path_ = path;
    const QFileInfo file(QFile::decodeName(path));
    image_folder_ = file.absolutePath();
    setWindowTitle(file.fileName() + QStringLiteral(" \u2014 ") + tr("tessaly"));
    return;
  }
  tell_failure(tr("Load Error"), tr("Unable to load image"), path ? QFile::decodeName(path) : QString(),
               why, nullptr);
}

bool tessaly::set_image_or_keep(const vimt_image_2d_of<vxl_byte>& image, std::string& why)
{
  const vimt_image_2d_of<vxl_byte> before = image_;
  try {
    set_image(image);
    return true;
  } catch (const std::bad_alloc&) {
    why = "not enough memory for an image of " + std::to_string(image.ni()) + " x " +
          std::to_string(image.nj()) + " pixels";
  }
  set_image(before);
  return false;
}

void tessaly::tell_failure(const QString& caption, const QString& text, const QString& path,
                           const std::string& why, QWidget* parent)
{
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
  const QString reason = QString::fromStdString(why);
  box.setInformativeText(path.isEmpty() ? reason : path + QStringLiteral(": ") + reason);
  box.exec();
}

// ---- files of points and pictures

bool tessaly::save_snake(const char* path, std::string* why)
{
  std::string reason;
  bool ok = false;
  if (edit_points_.points().empty()) {
    reason = no_points;
  } else if (!path || !*path) {
    reason = "no file name given";
  } else {
    snake_points_record r;
    r.image = image_path_;
    r.ni = image_.ni();
    r.nj = image_.nj();
    r.weight = weight_pos_;
    r.smooth = smooth_pos_;
    r.pressure = pressure_pos_;
    r.run = run_settings();
    r.pts = edit_points_.points();
    ok = write_snake_points(path, r, reason);
  }
  if (why)
    *why = ok ? std::string() : reason;
  return ok;
}

bool tessaly::export_picture(const char* path, std::string* why)
{
  finish_cost_image();
  std::string reason = "no file name given";
  const vil_image_view<vxl_byte>& shown = show_cost_image_ ? cost_display_.image() : image_.image();
  const bool ok = path && *path && vil_save(snake_overlay(shown, edit_points_.points()), path, &reason);
  if (why)
    *why = ok ? std::string() : reason;
  return ok;
}

bool tessaly::load_points(const char* path, std::string* why)
{
  std::vector<vgl_point_2d<double>> pts;
  std::string reason = "no file name given";
  stop_run();
  // Regular files only: a FIFO or a device could keep the window waiting.
  struct stat st;
  bool ok = path && *path;
  if (ok && ::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
    ok = false;
    reason = S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a regular file";
  }
  ok = ok && read_snake_points(path, pts, reason);
  if (ok && pts.empty()) {
    ok = false;
    reason = "the file holds no points";
  }
  // Points far off the image are a wrong file, and would take the snake's
  // arithmetic out of range.
  for (std::size_t k = 0; ok && k < pts.size(); ++k)
    if (snake_point_far_outside(pts[k], image_.ni(), image_.nj())) {
      ok = false;
      reason = "point " + std::to_string(k + 1) + " (" + snake_number(pts[k].x()) + ", " +
               snake_number(pts[k].y()) + ") lies far outside the " + std::to_string(image_.ni()) + " x " +
               std::to_string(image_.nj()) + " image";
    }
  if (ok) {
    const std::vector<vgl_point_2d<double>> points = edit_points_.points(), curve = snake_pts_;
    show_edit(pts, {});
    push_edit(tr("Load Points"), points, curve);
  }
  if (why)
    *why = ok ? std::string() : reason;
  return ok;
}

QString tessaly::work_folder() const
{
  return work_folder_.isEmpty() ? image_folder_ : work_folder_;
}

void tessaly::load_points_from()
{
  stop_run();
  const QString name =
    QFileDialog::getOpenFileName(this, tr("Load Points"), work_folder(), tr(points_read_filter));
  if (name.isEmpty())
    return;
  std::string why;
  if (load_points(QFile::encodeName(name).constData(), &why))
    work_folder_ = QFileInfo(name).absolutePath();
  else
    tell_failure(tr("Load Error"), tr("Unable to load points"), name, why, this);
}

void tessaly::save_snake_as()
{
  // Refused before a name is asked for.
  if (edit_points_.points().empty()) {
    tell_failure(tr("Save Error"), tr("Unable to save the snake"), QString(), no_points, this);
    return;
  }
  save_from_dialog(tr("Save Snake As"), image_stem(QString()) + ".csv", points_write_filter, &tessaly::save_snake,
                   tr("Save Error"), tr("Unable to save the snake"));
}

void tessaly::export_picture_as()
{
  save_from_dialog(tr("Export Picture"), image_stem("-snake") + ".png", picture_filter, &tessaly::export_picture,
                   tr("Export Error"), tr("Unable to export the picture"));
}

QString tessaly::image_stem(const QString& tail) const
{
  if (image_path_.empty())
    return QStringLiteral("snake");
  return QFileInfo(QFile::decodeName(image_path_.c_str())).completeBaseName() + tail;
}

void tessaly::save_from_dialog(const QString& caption, const QString& suggested, const char* filter,
                               bool (tessaly::*write)(const char*, std::string*), const QString& fail_caption,
                               const QString& fail_text)
{
  QString chosen;
  const QString name = with_extension(
    QFileDialog::getSaveFileName(this, caption, QDir(work_folder()).filePath(suggested), tr(filter), &chosen), chosen);
  if (name.isEmpty())
    return;
  std::string why;
  if ((this->*write)(QFile::encodeName(name).constData(), &why))
    work_folder_ = QFileInfo(name).absolutePath();
  else
    tell_failure(fail_caption, fail_text, name, why, this);
}

void tessaly::dragEnterEvent(QDragEnterEvent* e)
{
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) {
      e->acceptProposedAction();
      return;
    }
}

void tessaly::dropEvent(QDropEvent* e)
{
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) {
      e->acceptProposedAction();
      load_image(QFile::encodeName(url.toLocalFile()).constData());
      return;
    }
}

// ---- snake run control

void tessaly::clear()
{
  stop_run();
  const std::vector<vgl_point_2d<double>> points = edit_points_.points(), curve = snake_pts_;
  show_edit({}, {});
  push_edit(tr("Clear"), points, curve);
}

void tessaly::set_to_select_points()
{
  q_viewer_->append(edit_points_);
}

void tessaly::set_to_zoom()
{
  edit_points_.remove();
}

void tessaly::fill_in_snake_points()
{
  std::vector<vgl_point_2d<double>> pts;
  resample_curve(pts, edit_points_.points(), point_spacing_, snake_run_settings().max_segments);
  show_edit(pts, pts);
}

bool tessaly::enough_points()
{
  if (edit_points_.points().size() >= snake_min_start_points)
    return true;
  QMessageBox::information(this, tr("tessaly"), tr("Click at least 3 points to define the snake start."));
  return false;
}

void tessaly::search()
{
  stop_run();
  if (!enough_points())
    return;
  finish_cost_image();
  const std::vector<vgl_point_2d<double>> points_before = edit_points_.points(), curve_before = snake_pts_;

  // Each pass starts from the point editor's list, which after the first
  // holds the last step's points, so the run may go on in its own list.
  std::vector<vgl_point_2d<double>> pts = edit_points_.points();
  run_snake(pts, cost_image_, max_cost_, run_settings(),
            [this](int, int, const std::vector<vgl_point_2d<double>>& now) {
              // Curve and points change together, in one repaint of the
              // changed area before the next step is computed.
              show_edit(now, now);
            });
  push_edit(tr("Run Snake"), points_before, curve_before);
  emit run_finished();
}

// ---- played runs

void tessaly::run_or_stop()
{
  if (running()) {
    stop_run();
    return;
  }
  if (step_delay_ms_ == 0) {
    search();
    return;
  }
  if (!enough_points())
    return;
  finish_cost_image();
  run_points_before_ = edit_points_.points();
  run_curve_before_ = snake_pts_;
  run_.emplace(edit_points_.points(), cost_image_, max_cost_, run_settings());
  show_running(true);
  // The first resampling at once: the click shows its curve, and a run
  // stopped at any time leaves the points and the curve alike.
  take_run_unit();
  if (running())
    run_timer_.start(step_delay_ms_, this);
}

void tessaly::timerEvent(QTimerEvent* e)
{
  if (e->timerId() != run_timer_.timerId()) {
    QWidget::timerEvent(e);
    return;
  }
  take_run_unit();
}

void tessaly::take_run_unit()
{
  if (!run_)
    return;
  // One unit, painted before the event loop goes on; a late tick comes
  // once, so slow units never queue up.
  run_->advance();
  show_edit(run_->points(), run_->points());
  if (run_->done())
    end_run();
}

void tessaly::stop_run()
{
  if (running())
    end_run();
}

void tessaly::end_run()
{
  run_timer_.stop();
  run_.reset();
  show_running(false);
  push_edit(tr("Run Snake"), run_points_before_, run_curve_before_);
  emit run_finished();
}

void tessaly::show_running(bool on)
{
  run_button_->setText(on ? tr("Stop") : tr("Run Snake"));
  run_button_->setToolTip(on ? tr("Stop the run after its current step") : tr("Run iterations of the snake"));
  stop_action_->setEnabled(on);
  // The run keeps the weights it started with.
  for (QSlider* s : findChildren<QSlider*>())
    s->setEnabled(!on);
}

void tessaly::set_step_delay_ms(int ms)
{
  step_delay_ms_ = std::clamp(ms, 0, max_step_delay_ms);
  QString name = tr("%1 ms a step").arg(step_delay_ms_);
  for (QAction* a : speed_button_->menu()->actions()) {
    a->setChecked(a->data().toInt() == step_delay_ms_);
    if (a->isChecked())
      name = a->text();
  }
  speed_button_->setToolTip(tr("Speed of Run Snake: %1").arg(name));
  if (running())
    run_timer_.start(step_delay_ms_, this);
}

void tessaly::closeEvent(QCloseEvent* e)
{
  stop_run();
  QWidget::closeEvent(e);
}

// ---- undo

void tessaly::show_edit(const std::vector<vgl_point_2d<double>>& points,
                        const std::vector<vgl_point_2d<double>>& curve)
{
  // The shape figure refers to snake_pts_, which therefore holds the curve
  // (a local list would leave it pointing at freed memory).
  q_viewer_->lock();
  edit_points_.set_points(points);
  snake_pts_ = curve;
  parts_.setOneToOne(int(snake_pts_.size()));
  fg_shape_.set(snake_pts_, parts_);
  q_viewer_->release();
  // The pick belonged to the list just replaced.
  picked_ = -1;
  update_status();
}

void tessaly::push_edit(const QString& text, const std::vector<vgl_point_2d<double>>& points_before,
                        const std::vector<vgl_point_2d<double>>& curve_before)
{
  if (points_before == edit_points_.points() && curve_before == snake_pts_)
    return;
  undo_stack_.push(new tessaly_edit_command(*this, text, points_before, curve_before,
                                            edit_points_.points(), snake_pts_));
}

void tessaly::note_press()
{
  press_points_ = edit_points_.points();
}

void tessaly::note_release()
{
  const std::size_t before = press_points_.size(), now = edit_points_.points().size();
  const QString text = now > before ? tr("Add Point") : now < before ? tr("Delete Point") : tr("Move Point");
  const int picked = edit_points_.currentIndex();
  push_edit(text, press_points_, snake_pts_);
  picked_ = now < before ? -1 : picked;
  update_status();
}

void tessaly::delete_point()
{
  const std::vector<vgl_point_2d<double>> before = edit_points_.points();
  // A run that plays owns the points, as it does against clicks.
  if (running() || picked_ < 0 || picked_ >= int(before.size()))
    return;
  std::vector<vgl_point_2d<double>> after = before;
  after.erase(after.begin() + picked_);
  show_edit(after, snake_pts_);
  push_edit(tr("Delete Point"), before, snake_pts_);
}

// ---- view and status line

void tessaly::zoom_by(double factor)
{
  q_viewer_->zoomAbout(QPointF(0.5 * q_viewer_->width(), 0.5 * q_viewer_->height()), factor);
  update_status();
}

bool tessaly::eventFilter(QObject* watched, QEvent* e)
{
  // While a run plays the points are its own: clicks and drags that would
  // edit them are dropped, after the status line has seen them.
  const bool dropped = watched == q_viewer_ && running() && edits_points(e);
  if (watched == q_viewer_) {
    switch (e->type()) {
      case QEvent::MouseMove:
        cursor_ = static_cast<QMouseEvent*>(e)->position().toPoint();
        cursor_in_ = true;
        queue_status();
        break;
      case QEvent::Leave:
        cursor_in_ = false;
        queue_status();
        break;
      case QEvent::Wheel:
      case QEvent::Resize:
      case QEvent::MouseButtonDblClick:
        // The viewer handles these after this filter: read it afterwards.
        queue_status();
        break;
      default:
        break;
    }
  }
  return dropped || QWidget::eventFilter(watched, e);
}

void tessaly::queue_status()
{
  if (status_queued_)
    return;
  status_queued_ = true;
  QTimer::singleShot(0, this, [this] { update_status(); });
}

void tessaly::update_status()
{
  status_queued_ = false;
  if (!status_ || !q_viewer_)
    return;
  QStringList parts;
  const vil_image_view<vxl_byte>& im = image_.image();
  if (cursor_in_) {
    // Image pixel (i, j) is centred on world point (i, j).
    const vgl_point_2d<double> w = q_viewer_->displayToWorld()(cursor_.x(), cursor_.y());
    const double fi = std::floor(w.x() + 0.5), fj = std::floor(w.y() + 0.5);
    if (fi >= 0 && fj >= 0 && fi < im.ni() && fj < im.nj()) {
      const unsigned i = unsigned(fi), j = unsigned(fj);
      QString value = QString::number(im(i, j, 0));
      if (im.nplanes() >= 3)
        value = QStringLiteral("%1, %2, %3").arg(im(i, j, 0)).arg(im(i, j, 1)).arg(im(i, j, 2));
      parts << QStringLiteral("(%1, %2) %3 %4").arg(i).arg(j).arg(im.nplanes() >= 3 ? tr("RGB") : tr("grey"), value);
    }
  }
  const vimt_transform_2d& w2d = q_viewer_->worldToDisplay();
  const double zoom = w2d(1.0, 0.0).x() - w2d(0.0, 0.0).x();
  parts << tr("zoom %1").arg(zoom, 0, 'g', 3);
  parts << QStringLiteral("%1 \u00d7 %2").arg(im.ni()).arg(im.nj());
  const int n = int(edit_points_.points().size());
  parts << (n == 1 ? tr("1 point") : tr("%1 points").arg(n));
  // The curve's measures, as tessaly-snake --measures gives them.
  if (snake_pts_.size() >= snake_min_start_points) {
    const snake_measures m = measure_snake(snake_pts_);
    parts << tr("area %1 px\u00b2, perimeter %2 px").arg(m.area, 0, 'f', 0).arg(m.perimeter, 0, 'f', 1);
  }
  status_->setText(parts.join(QStringLiteral("   ")));
}

// ---- image and cost image

void tessaly::build_start_image()
{
  // Drawn first, beneath the shape and the points.
  q_viewer_->append(fg_image_);

  // A bright rectangle and a bright disc on a dark ground, so the snake can
  // be tried before any file is loaded.
  snake_start_image(image_.image());

  set_image(image_);
}

void tessaly::set_image(const vimt_image_2d_of<vxl_byte>& image)
{
  // The slider's computation reads the old pixels and its result is stale.
  cost_worker_.cancel();
  image_.set_world2im(image.world2im());
  // Pixels shared with the cost display would be overwritten by the next
  // stretch: take a copy of those.
  const vil_memory_chunk_sptr& mem = image.image().memory_chunk();
  if (mem && mem == cost_display_.image().memory_chunk())
    image_.image().deep_copy(image.image());
  else
    image_.image() = image.image();

  const vimt_transform_2d i2w = image_.world2im().inverse();
  const unsigned ni = image_.ni() > 1 ? image_.ni() : 1, nj = image_.nj() > 1 ? image_.nj() : 1;
  const vgl_point_2d<double> p0 = i2w(0.0, 0.0);
  const vgl_point_2d<double> p1 = i2w(ni - 1.0, nj - 1.0);

  // The image is painted before its cost image is computed, unless the
  // cost image is what is shown.
  if (show_cost_image_) compute_cost_image();
  q_viewer_->lock();
  q_viewer_->worldWindow(vgl_box_2d<double>(p0, p1));
  fg_image_.set(show_cost_image_ ? cost_display_ : image_);
  q_viewer_->unZoom();
  q_viewer_->release();
  if (!show_cost_image_) compute_cost_image();
  update_status();
}

void tessaly::compute_cost_image()
{
  // A run reads the cost's pixels, which are rewritten in place, and the
  // slider's computation works in work_image_.
  stop_run();
  cost_worker_.cancel();
  // Into the memory of the current images, where the sizes fit.
  tessaly_cost c;
  c.cost = cost_image_.image();
  c.display = cost_display_.image();
  ++cost_computations_;
  tessaly_busy_wait own;
  (busy_ ? *busy_ : own).run([&] { tessaly_cost_worker::compute(image_.image(), smooth_k_, c, work_image_); });
  cost_image_.image() = c.cost;
  cost_display_.image() = c.display;
  max_cost_ = c.hi;
}

void tessaly::finish_cost_image()
{
  if (!cost_worker_.busy()) return;
  cost_worker_.cancel();
  compute_cost_image();
  if (show_cost_image_) fg_image_.set(cost_display_);
}

void tessaly::smooth_slider_moved(int v)
{
  smooth_k_ = snake_smooth_k_from_slider(v);
  smooth_pos_ = std::clamp(v, 0, snake_slider_max);
  cost_worker_.request(image_.image(), smooth_k_);
}

void tessaly::take_cost(const tessaly_cost& c)
{
  if (c.cost.size() == 0) {
    QMessageBox::warning(this, tr("tessaly"),
                         tr("Not enough memory to smooth the cost image; it stays as it was."));
    return;
  }
  tessaly_cost old;
  old.cost = cost_image_.image();
  old.display = cost_display_.image();
  cost_image_.image() = c.cost;
  cost_display_.image() = c.display;
  max_cost_ = c.hi;
  if (show_cost_image_) fg_image_.set(cost_display_);
  cost_worker_.recycle(std::move(old));
}

void tessaly::set_image_wt(int v)
{
  // Acts from the next snake run; nothing on screen changes.
  image_wt_ = snake_weight_from_slider(v);
  weight_pos_ = std::clamp(v, 0, snake_slider_max);
}

void tessaly::set_pressure(int v)
{
  // Acts from the next snake run, as the weight does.
  pressure_ = snake_pressure_from_slider(v);
  pressure_pos_ = std::clamp(v, -snake_pressure_slider_max, snake_pressure_slider_max);
}

snake_run_settings tessaly::run_settings() const
{
  snake_run_settings s;
  s.spacing = point_spacing_;
  s.weight = image_wt_;
  s.pressure = pressure_;
  return s;
}

void tessaly::set_smooth_k(int v)
{
  cost_worker_.cancel();
  smooth_k_ = snake_smooth_k_from_slider(v);
  smooth_pos_ = std::clamp(v, 0, snake_slider_max);
  compute_cost_image();
  if (show_cost_image_) fg_image_.set(cost_display_);
}

void tessaly::set_show_cost_image(bool on)
{
  show_cost_image_ = on;
  fg_image_.set(on ? cost_display_ : image_);
}


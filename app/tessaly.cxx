#include <app/tessaly.h>

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <app/tessaly_snake.h>
#include <qvwr/qvwr_viewer.h>
#include <vgl/vgl_box_2d.h>
#include <vil/vil_convert.h>
#include <vil/vil_load.h>

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

QSlider* mid_slider(QWidget* parent)
{
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setRange(0, 100);
  s->setPageStep(5);
  s->setValue(50);
  return s;
}
} // namespace

tessaly::tessaly(QWidget* parent, const char* name)
  : QWidget(parent)
{
  if (name)
    setObjectName(QString::fromLatin1(name));

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(0, 0, 0, 0);

  // The menu bar owns its menus; the ampersands give Alt+F and Alt+H, and
  // the items have no shortcuts of their own.
  auto* bar = new QMenuBar(this);
  QMenu* file = bar->addMenu(tr("&File"));
  file->addAction(tr("Load Image"), this, qOverload<>(&tessaly::load_image));
  file->addAction(tr("Clear"), this, &tessaly::clear);
  file->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
  QMenu* help = bar->addMenu(tr("&Help"));
  help->addAction(tr("About..."), this, &tessaly::slotHelpAbout);
  top->setMenuBar(bar);

  auto* row1 = new QHBoxLayout;
  top->addLayout(row1, 0);
  QPushButton* clear_button = fixed_button(tr("Clear"), tr("Clear snake"), this);
  clear_button->setObjectName("clear_button");
  row1->addWidget(clear_button, 0, Qt::Alignment());
  connect(clear_button, &QPushButton::clicked, this, &tessaly::clear);
  QPushButton* run_button = fixed_button(tr("Run Snake"), tr("Run iterations of the snake"), this);
  run_button->setObjectName("run_button");
  row1->addWidget(run_button, 0, Qt::Alignment());
  connect(run_button, &QPushButton::clicked, this, &tessaly::search);
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

  auto* row3 = new QHBoxLayout;
  top->addLayout(row3, 0);
  row3->addWidget(new QLabel(tr("No smoothing"), this));
  QSlider* k_slider = mid_slider(this);
  k_slider->setObjectName("smooth_k_slider");
  row3->addWidget(k_slider);
  row3->addWidget(new QLabel(tr("Very smooth"), this));
  connect(k_slider, &QSlider::valueChanged, this, &tessaly::set_smooth_k);

  q_viewer_ = new qvwr_viewer(this, "qvwr_viewer");
  QPalette pal = q_viewer_->palette();
  QColor ground;
  ground.setRgb(10, 100, 10);
  pal.setColor(q_viewer_->backgroundRole(), ground);
  q_viewer_->setPalette(pal);
  q_viewer_->setMouseZoom(true);
  top->addWidget(q_viewer_, 0, Qt::Alignment());

  build_start_image();

  // Clicks place points at once; the snake is drawn above the image.
  q_viewer_->append(edit_points_);
  q_viewer_->append(fg_shape_);
  fg_shape_.setColor(Qt::red);
}

tessaly::~tessaly()
{
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
  const QString name =
    QFileDialog::getOpenFileName(nullptr, QString(), QString(), QStringLiteral("*.*"));
  if (name.isEmpty())
    return;
  // The file system's own encoding, so that any name the dialog offers opens.
  load_image(QFile::encodeName(name).constData());
}

void tessaly::load_image(const char* path)
{
  vimt_image_2d_of<vxl_byte> image;
  // Assigning keeps 8-bit pixels only; anything else leaves the view empty.
  if (path)
    image.image() = vil_load(path);
  // Grey, grey with alpha, colour or colour with alpha: what can be shown.
  const unsigned np = image.nplanes();
  if (image.ni() > 0 && image.nj() > 0 && np >= 1 && np <= 4) {
    set_image(image);
    return;
  }
  QMessageBox::information(nullptr, tr("Load Error"), tr("Unable to load image"));
}

// ---- snake run control

void tessaly::clear()
{
  edit_points_.clear();
  parts_.setOneToOne(0);
  snake_pts_.clear();
  fg_shape_.set(snake_pts_, parts_);
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
  show_resampled(pts);
}

void tessaly::show_resampled(std::vector<vgl_point_2d<double>> pts)
{
  // The shape figure refers to snake_pts_, which therefore holds the curve
  // it is given (a local list would leave it pointing at freed memory).
  // One repaint shows the points and the curve together.
  q_viewer_->lock();
  edit_points_.set_points(pts);
  parts_.setOneToOne(int(pts.size()));
  snake_pts_.swap(pts);
  fg_shape_.set(snake_pts_, parts_);
  q_viewer_->release();
}

void tessaly::search()
{
  if (edit_points_.points().size() < snake_min_start_points) {
    QMessageBox::information(this, tr("tessaly"),
                             tr("Click at least 3 points to define the snake start."));
    return;
  }

  snake_run_settings settings;
  settings.spacing = point_spacing_;
  settings.weight = image_wt_;
  // Each pass starts from the point editor's list, which after the first
  // holds the last step's points, so the run may go on in its own list.
  std::vector<vgl_point_2d<double>> pts = edit_points_.points();
  run_snake(pts, cost_image_, max_cost_, settings,
            [this](int, int step, const std::vector<vgl_point_2d<double>>& now) {
              if (step == 0) {
                show_resampled(now);
                return;
              }
              snake_pts_ = now;
              // Curve and points change together: one repaint of the changed area,
              // painted before the next step is computed.
              q_viewer_->lock();
              fg_shape_.set(snake_pts_, parts_);
              edit_points_.set_points(snake_pts_);
              q_viewer_->release();
              q_viewer_->refresh();
            });
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

  compute_cost_image();

  q_viewer_->lock();
  q_viewer_->worldWindow(vgl_box_2d<double>(p0, p1));
  fg_image_.set(show_cost_image_ ? cost_display_ : image_);
  q_viewer_->unZoom();
  q_viewer_->release();
}

void tessaly::compute_cost_image()
{
  float lo = 0.0f, hi = 0.0f;
  snake_cost_image(image_.image(), smooth_k_, cost_image_.image(), work_image_, lo, hi);
  max_cost_ = hi;
  vil_convert_stretch_range_known(cost_image_.image(), lo, hi, cost_display_.image());
}

void tessaly::set_image_wt(int v)
{
  // Acts from the next snake run; nothing on screen changes.
  image_wt_ = snake_weight_from_slider(v);
}

void tessaly::set_smooth_k(int v)
{
  smooth_k_ = snake_smooth_k_from_slider(v);
  compute_cost_image();
  if (show_cost_image_) fg_image_.set(cost_display_);
}

void tessaly::set_show_cost_image(bool on)
{
  show_cost_image_ = on;
  fg_image_.set(on ? cost_display_ : image_);
}


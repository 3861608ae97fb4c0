#include <app/tessaly.h>

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <qvwr/qvwr_viewer.h>
#include <vgl/vgl_box_2d.h>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/vil_convert.h>
#include <vil/vil_fill.h>
#include <vil/vil_math.h>

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
  top->addWidget(q_viewer_, 0, Qt::Alignment());

  build_start_image();
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

// The slots below take up their work with the image, the cost image and the
// snake; until then they are reachable but change nothing.

void tessaly::load_image()
{
}

void tessaly::load_image(const char*)
{
}

void tessaly::clear()
{
}

void tessaly::set_to_select_points()
{
}

void tessaly::set_to_zoom()
{
}

// ---- image and cost image

void tessaly::build_start_image()
{
  // Drawn first, beneath the shape and the points.
  q_viewer_->append(fg_image_);

  // A bright rectangle and a bright disc on a dark ground, so the snake can
  // be tried before any file is loaded.
  vil_image_view<vxl_byte>& px = image_.image();
  px.set_size(250, 250, 1);
  px.fill(30);
  for (unsigned j = 80; j <= 160; ++j)
    for (unsigned i = 50; i <= 110; ++i) px(i, j) = 250;
  vil_fill_disk(px, 170.0, 125.0, 40.0, vxl_byte(250));

  set_image(image_);
}

void tessaly::set_image(const vimt_image_2d_of<vxl_byte>& image)
{
  image_.set_world2im(image.world2im());
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
  // Sobel and rms over all planes in one pass, without the full-size
  // gradient planes.
  vil_gradient_rms_3x3(image_.image(), cost_image_.image());
  if (smooth_k_ > 0) {
    vil_exp_filter_2d<float, float, double>(cost_image_.image(), work_image_, smooth_k_, smooth_k_);
    vil_exp_filter_2d<float, float, double>(work_image_, cost_image_.image(), smooth_k_, smooth_k_);
  }
  float lo = 0.0f, hi = 0.0f;
  vil_math_value_range(cost_image_.image(), lo, hi);
  max_cost_ = hi;
  vil_convert_stretch_range(cost_image_.image(), cost_display_.image());
}

void tessaly::set_image_wt(int v)
{
  // Acts from the next snake run; nothing on screen changes.
  image_wt_ = v / 100.0;
}

void tessaly::set_smooth_k(int v)
{
  smooth_k_ = v / 201.0 + 0.5;
  compute_cost_image();
  if (show_cost_image_) fg_image_.set(cost_display_);
}

void tessaly::set_show_cost_image(bool on)
{
  show_cost_image_ = on;
  fg_image_.set(on ? cost_display_ : image_);
}

void tessaly::search()
{
}


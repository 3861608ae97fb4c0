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

void tessaly::set_image_wt(int)
{
}

void tessaly::set_smooth_k(int)
{
}

void tessaly::search()
{
}

void tessaly::set_show_cost_image(bool)
{
}

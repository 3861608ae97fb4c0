#ifndef tessaly_tests_qvwr_test_helpers_h_
#define tessaly_tests_qvwr_test_helpers_h_
// Figures and interactions that record what the viewer asks of them.
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <QColor>
#include <QCoreApplication>
#include <QPalette>
#include <QTest>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRect>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_interaction.h>
#include <qvwr/qvwr_viewer.h>
#include <vimt/vimt_transform_2d.h>

// Fills its bound box with one colour; counts every call.
class count_figure : public qvwr_figure
{
 public:
  explicit count_figure(const QRect& box = QRect(), QColor colour = Qt::red, bool opaque = false)
    : colour_(colour), opaque_(opaque)
  {
    setBoundBox(box);
  }

  void draw(QPainter& p, const QRect& area) override
  {
    ++draws;
    areas.push_back(area);
    if (!isVisible() || !area.intersects(boundBox()))
      return;
    ++paints;
    p.fillRect(boundBox(), colour_);
  }
  void setTransform(const vimt_transform_2d& t) override
  {
    ++transforms;
    last_transform = t;
  }
  std::string is_a() const override { return "count_figure"; }
  void setInterpMethod(int m) override { interp = m; }
  int interpMethod() const override { return interp; }
  bool isOpaque() const override { return opaque_; }

  void reset()
  {
    draws = paints = transforms = 0;
    areas.clear();
  }

  int draws{0};
  int paints{0};
  int transforms{0};
  int interp{-1};
  std::vector<QRect> areas;
  vimt_transform_2d last_transform;

 private:
  QColor colour_;
  bool opaque_;
};

// Writes "<name>.<call>" into a shared log for every virtual call.
class log_interaction : public qvwr_interaction
{
 public:
  log_interaction(const char* name, std::vector<std::string>* log) : log_(log)
  {
    set_name(QString::fromLatin1(name));
  }

  std::string is_a() const override { return "log_interaction"; }
  void mousePressEvent(QMouseEvent* e) override { note("press", e); }
  void mouseReleaseEvent(QMouseEvent* e) override { note("releaseMouse", e); }
  void mouseMoveEvent(QMouseEvent* e) override { note("move", e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { note("double", e); }
  void keyPressEvent(QKeyEvent* e) override
  {
    add("key");
    if (accept_keys)
      e->accept();
    else
      qvwr_interaction::keyPressEvent(e);
  }
  void keyReleaseEvent(QKeyEvent* e) override
  {
    add("keyRelease");
    qvwr_interaction::keyReleaseEvent(e);
  }
  void setViewer(qvwr_viewer& v) override
  {
    add("setViewer");
    qvwr_interaction::setViewer(v);
  }
  void clearViewer() override
  {
    add("clearViewer");
    qvwr_interaction::clearViewer();
  }
  void losingFocus() override { add("losingFocus"); }
  void gainingFocus() override { add("gainingFocus"); }

  bool accept_keys{false};
  QPoint last_pos{-1, -1};

 private:
  void add(const char* what) { log_->push_back(name().toStdString() + "." + what); }
  void note(const char* what, QMouseEvent* e)
  {
    add(what);
    last_pos = e->position().toPoint();
  }

  std::vector<std::string>* log_;
};

// A shown 256 x 256 viewer on a black ground: world = display pixels.
inline std::unique_ptr<qvwr_viewer> black_viewer_256()
{
  auto v = std::make_unique<qvwr_viewer>(nullptr, "v");
  QPalette pal = v->palette();
  pal.setColor(v->backgroundRole(), Qt::black);
  v->setPalette(pal);
  v->resize(256, 256);
  v->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(v.get()));
  QCoreApplication::processEvents();
  return v;
}

#endif

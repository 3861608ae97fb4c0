// Cost of the viewer's synchronous repaints: a full repaint through the
// off-screen pixmap, many invalidations batched under one lock against the
// same invalidations painted one by one, and a screenshot into an image.
#include <memory>
#include <vector>
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QPainter>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_viewer.h>
#include <vimt/vimt_image_2d_of.h>

namespace
{
void ensure_app()
{
  static int argc = 1;
  static char name[] = "bench_viewer";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
}

class fill_figure : public qvwr_figure
{
 public:
  fill_figure(const QRect& r, QColor c, bool opaque) : colour_(c), opaque_(opaque) { setBoundBox(r); }
  void draw(QPainter& p, const QRect& area) override
  {
    if (!isVisible() || !area.intersects(boundBox()))
      return;
    p.fillRect(boundBox(), colour_);
  }
  void setTransform(const vimt_transform_2d&) override {}
  std::string is_a() const override { return "fill_figure"; }
  bool isOpaque() const override { return opaque_; }

 private:
  QColor colour_;
  bool opaque_;
};

// A shown 300 x 300 viewer with an opaque ground and 20 small figures on it.
struct scene
{
  scene()
  {
    ensure_app();
    viewer = std::make_unique<qvwr_viewer>(nullptr, "bench");
    viewer->resize(300, 300);
    viewer->show();
    for (int k = 0; k < 10; ++k)
      QCoreApplication::processEvents();
    figures.push_back(std::make_unique<fill_figure>(QRect(0, 0, 300, 300), Qt::darkGray, true));
    for (int k = 0; k < 20; ++k)
      figures.push_back(
        std::make_unique<fill_figure>(QRect(12 * k, 10 * k, 30, 30), Qt::red, false));
    for (auto& f : figures)
      viewer->append(*f);
    QCoreApplication::processEvents();
  }
  ~scene() { viewer->removeAll(); }

  std::unique_ptr<qvwr_viewer> viewer;
  std::vector<std::unique_ptr<fill_figure>> figures;
};

void BM_ViewerFullRepaint(benchmark::State& state)
{
  scene s;
  for (auto _ : state)
    s.viewer->invalidate(s.viewer->rect());
  state.SetItemsProcessed(state.iterations() * 300 * 300);
}
BENCHMARK(BM_ViewerFullRepaint)->Unit(benchmark::kMicrosecond);

// 100 small invalidations spread over the widget: one repaint of their union
// under a lock (arg 1) or one repaint each (arg 0).
void BM_ViewerManyInvalidations(benchmark::State& state)
{
  scene s;
  const bool batched = state.range(0) != 0;
  for (auto _ : state) {
    if (batched)
      s.viewer->lock();
    for (int k = 0; k < 100; ++k)
      s.viewer->invalidate(QRect((k * 37) % 290, (k * 53) % 290, 8, 8));
    if (batched)
      s.viewer->release();
  }
}
BENCHMARK(BM_ViewerManyInvalidations)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ViewerScreenShotImage(benchmark::State& state)
{
  scene s;
  vimt_image_2d_of<vxl_byte> im;
  for (auto _ : state) {
    s.viewer->screenShot(im);
    benchmark::DoNotOptimize(im.image().top_left_ptr());
  }
}
BENCHMARK(BM_ViewerScreenShotImage)->Unit(benchmark::kMicrosecond);
} // namespace

// Display rebuild of a large image in a full-HD viewer, painting it, and a
// move of the smoothing slider in the window (cost pipeline plus rebuild).
#include <chrono>
#include <thread>
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <app/tessaly.h>
#include <qvwr/qvwr_fg_image.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_convert.h>
#include <vil/vil_load_support.h>

namespace
{
const unsigned big_ni = 4000, big_nj = 3000;
const int view_w = 1920, view_h = 1080;

// Planes one after another, or (interleaved) a pixel's samples side by
// side as the image loaders give them.
vimt_image_2d_of<vxl_byte> big_image(unsigned nplanes, bool interleaved = false)
{
  vimt_image_2d_of<vxl_byte> im(big_ni, big_nj, nplanes);
  if (interleaved)
    im.image() = vil_load_interleaved_view<vxl_byte>(big_ni, big_nj, nplanes);
  vil_image_view<vxl_byte>& v = im.image();
  for (unsigned p = 0; p < nplanes; ++p)
    for (unsigned j = 0; j < big_nj; ++j) {
      vxl_byte* row = v.top_left_ptr() + p * v.planestep() + j * v.jstep();
      for (unsigned i = 0; i < big_ni; ++i) row[i * v.istep()] = vxl_byte((i ^ j) + 40 * p);
    }
  return im;
}

// Page faults of the process so far: each is a fresh page cleared.
long page_faults()
{
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt + u.ru_majflt;
}

// A viewer of 1920 x 1080 showing the whole image, fitted; painted from
// the image itself, as in the window, or through the display image.
struct big_view
{
  qvwr_viewer viewer;
  qvwr_fg_image fig;
  explicit big_view(const vimt_image_2d_of<vxl_byte>& im, bool from_source = false)
  {
    fig.set_paint_from_source(from_source);
    viewer.resize(view_w, view_h);
    viewer.displaySize(view_w, view_h);
    viewer.append(fig);
    viewer.worldWindow(vgl_box_2d<double>(0, big_ni - 1, 0, big_nj - 1));
    viewer.unZoom();
    fig.set(im);
  }
  ~big_view() { viewer.removeAll(); }
};

// Run with QT_SCALE_FACTOR=2 for a screen of device pixel ratio 2.
void display_rebuild(benchmark::State& state, unsigned nplanes, bool interleaved = false)
{
  const vimt_image_2d_of<vxl_byte> im = big_image(nplanes, interleaved);
  big_view v(im);
  for (auto _ : state) {
    v.fig.computeImage();
    benchmark::DoNotOptimize(v.fig.shownImage().cacheKey());
  }
  state.counters["display_px"] = double(v.fig.displayImage().width()) * v.fig.displayImage().height();
  state.counters["ratio"] = v.viewer.devicePixelRatioF();
}

void BM_ComputeImageColour(benchmark::State& state) { display_rebuild(state, 3); }
void BM_ComputeImageColourLoaded(benchmark::State& state) { display_rebuild(state, 3, true); }
void BM_ComputeImageGrey(benchmark::State& state) { display_rebuild(state, 1); }
BENCHMARK(BM_ComputeImageColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeImageColourLoaded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComputeImageGrey)->Unit(benchmark::kMillisecond);

// Painting the built display image: one pixmap blit into the repaint buffer.
void BM_PaintColour(benchmark::State& state)
{
  const vimt_image_2d_of<vxl_byte> im = big_image(3);
  big_view v(im);
  QPixmap target(view_w, view_h);
  const QRect all(0, 0, view_w, view_h);
  for (auto _ : state) {
    QPainter p(&target);
    v.viewer.drawGraphics(p, all);
  }
}
BENCHMARK(BM_PaintColour)->Unit(benchmark::kMillisecond);

// One wheel notch on the shown viewer, in and out in turn: the display
// rebuild at the new mapping and the repaint, as a user's wheel step; of a
// colour or a grey image, drawn from the image or through the display one.
void BM_WheelStep(benchmark::State& state)
{
  const vimt_image_2d_of<vxl_byte> im = big_image(state.range(2) ? 1 : 3, true);
  big_view v(im, state.range(1) != 0);
  v.viewer.setMouseZoom(true);
  v.viewer.show();
  for (int k = 0; k < 10; ++k)
    QCoreApplication::processEvents();
  const QPointF at(700, 400);
  int delta = 120;
  const long faults = page_faults();
  for (auto _ : state) {
    QWheelEvent e(at, at, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&v.viewer, &e);
    delta = -delta;
    // A hand turns the wheel a notch every few tens of milliseconds, and
    // the CPUs fall idle in between.
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
    state.ResumeTiming();
  }
  state.counters["faults"] = benchmark::Counter(double(page_faults() - faults), benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = v.viewer.devicePixelRatioF();
}
BENCHMARK(BM_WheelStep)
    ->ArgNames({"idle_ms", "from_source", "grey"})
    ->ArgsProduct({{0, 20}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The 12 MP cost image's stretch to the display's bytes, on 1 thread and
// on every CPU, as the slider's computation ends.
void BM_StretchCost(benchmark::State& state)
{
  vil_image_view<float> cost(big_ni, big_nj);
  for (unsigned j = 0; j < big_nj; ++j)
    for (unsigned i = 0; i < big_ni; ++i) cost(i, j) = float((i * 7 + j * 3) % 1000);
  vil_image_view<vxl_byte> shown;
  const unsigned n = state.range(0) ? unsigned(state.range(0)) : vil_thread_team::available();
  for (auto _ : state) vil_convert_stretch_range_known(cost, 0.0f, 999.0f, shown, n);
  state.counters["threads"] = n;
}
BENCHMARK(BM_StretchCost)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window at the benchmark's size, showing the big colour image's cost.
void show_big_cost_image(tessaly& win)
{
  win.resize(view_w, view_h + 120);
  win.q_viewer()->resize(view_w, view_h);
  win.q_viewer()->displaySize(view_w, view_h);
  win.set_image(big_image(3));
  win.set_show_cost_image(true);
}

// One step of the smoothing slider on the big colour image while the cost
// image is shown: the cost pipeline and the display rebuild.
void BM_SmoothingSlider(benchmark::State& state)
{
  tessaly win(nullptr, nullptr);
  show_big_cost_image(win);
  int v = 0;
  for (auto _ : state) {
    win.set_smooth_k(v);
    v = (v + 37) % 101;
  }
}
BENCHMARK(BM_SmoothingSlider)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Notes a paint of the viewer once the window has taken the new cost image.
struct paint_watch : QObject
{
  const tessaly& win;
  bool painted = false;
  explicit paint_watch(const tessaly& w) : win(w) {}
  bool eventFilter(QObject*, QEvent* e) override
  {
    if (e->type() == QEvent::Paint && !win.cost_image_lags()) painted = true;
    return false;
  }
};

// A move of the slider itself on the shown window, from the move until the
// window has repainted the new cost image: the computation off the GUI
// thread, its taking over and the paint.
void BM_SmoothingSliderMove(benchmark::State& state)
{
  tessaly win(nullptr, nullptr);
  show_big_cost_image(win);
  win.show();
  paint_watch watch(win);
  win.q_viewer()->installEventFilter(&watch);
  QSlider* slider = win.findChild<QSlider*>("smooth_k_slider");
  for (int k = 0; k < 10; ++k) QCoreApplication::processEvents();
  int v = 0;
  auto move = [&] {
    slider->setValue(v);
    watch.painted = false;
    // The paint event ends inside the call that saw it begin.
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    v = (v + 37) % 101;
  };
  // The first move of a drag also computes the gradient the next ones keep.
  const auto t0 = std::chrono::steady_clock::now();
  move();
  state.counters["first_move_ms"] =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const long faults = page_faults();
  for (auto _ : state) move();
  state.counters["faults"] = benchmark::Counter(double(page_faults() - faults), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SmoothingSliderMove)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
}  // namespace

int main(int argc, char** argv)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

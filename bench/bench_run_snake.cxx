// One press of "Run Snake" in the real window: 10 passes of resampling and
// 100 snake steps on the start image, every step painted, in a 300 x 300
// window on the offscreen platform.  Time per press in milliseconds; the
// counters give the paint events and painted pixels per step (the repaint
// covers only the area the curve and its points moved through) against the
// viewer's whole area.
#include <memory>
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <app/tessaly.h>
#include <qvwr/qvwr_viewer.h>

namespace
{
typedef vgl_point_2d<double> pt;

QApplication& app()
{
  static int argc = 1;
  static char name[] = "bench_run_snake";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication a(argc, argv);
  return a;
}

// Counts the viewer's paint events and the pixels they cover.
class paint_counter : public QObject
{
 public:
  bool eventFilter(QObject*, QEvent* e) override
  {
    if (e->type() == QEvent::Paint) {
      ++paints;
      for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
        pixels += double(r.width()) * r.height();
    }
    return false;
  }
  long paints{0};
  double pixels{0};
};

std::unique_ptr<tessaly> shown_window()
{
  app();
  auto w = std::make_unique<tessaly>(nullptr, nullptr);
  w->setGeometry(100, 100, 300, 300);
  w->show();
  QCoreApplication::processEvents();
  return w;
}

void click(tessaly& w, const pt& p)
{
  qvwr_viewer* v = w.q_viewer();
  const pt d = v->worldToDisplay()(p);
  const QPointF at(d.x(), d.y());
  QMouseEvent press(QEvent::MouseButtonPress, at, v->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, v->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v, &release);
}

// The three clicks around the disc of the start image.
void start_snake(tessaly& w)
{
  w.clear();
  click(w, pt(170, 70));
  click(w, pt(230, 160));
  click(w, pt(120, 170));
}

void report(benchmark::State& state, tessaly& w, const paint_counter& pc, long presses)
{
  const double steps = 100.0 * double(presses);
  state.counters["paints_per_step"] = double(pc.paints) / steps;
  state.counters["painted_px_per_step"] = pc.pixels / steps;
  state.counters["viewer_px"] = double(w.q_viewer()->width()) * w.q_viewer()->height();
  state.counters["snake_points"] = double(w.snake_pts().size());
}

// From the three clicks: the curve travels from the triangle to the disc.
void BM_RunSnakeFromClicks(benchmark::State& state)
{
  auto w = shown_window();
  paint_counter pc;
  w->q_viewer()->installEventFilter(&pc);
  long presses = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const long paints = pc.paints;
    const double pixels = pc.pixels;
    start_snake(*w);
    // The clicks are not part of the press.
    pc.paints = paints;
    pc.pixels = pixels;
    state.ResumeTiming();
    w->search();
    ++presses;
  }
  w->q_viewer()->removeEventFilter(&pc);
  report(state, *w, pc, presses);
}

// Pressing again once the curve sits on the outline: little moves, small
// repaints.
void BM_RunSnakeAgain(benchmark::State& state)
{
  auto w = shown_window();
  start_snake(*w);
  w->search();
  paint_counter pc;
  w->q_viewer()->installEventFilter(&pc);
  long presses = 0;
  for (auto _ : state) {
    w->search();
    ++presses;
  }
  w->q_viewer()->removeEventFilter(&pc);
  report(state, *w, pc, presses);
}
} // namespace

BENCHMARK(BM_RunSnakeFromClicks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunSnakeAgain)->Unit(benchmark::kMillisecond);

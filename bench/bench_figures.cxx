// Cost of showing a moving snake: a 50-point closed shape handed to the
// shape figure and repainted (only around the moved points) in a shown
// viewer, the same with Bezier drawing, and the point editor's figure taking
// 50 points.  Time per call, painting included.
#include <cmath>
#include <memory>
#include <vector>
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <qvwr/qvwr_fg_points.h>
#include <qvwr/qvwr_fg_shape.h>
#include <qvwr/qvwr_viewer.h>
#include <shape_data/vsml_parts.h>

namespace
{
typedef vgl_point_2d<double> pt;

// The widgets need an application; made once, on the offscreen platform.
QApplication& app()
{
  static int argc = 1;
  static char name[] = "bench_figures";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication a(argc, argv);
  return a;
}

std::unique_ptr<qvwr_viewer> shown_viewer()
{
  app();
  auto v = std::make_unique<qvwr_viewer>(nullptr, "bench");
  v->resize(300, 300);
  v->show();
  QCoreApplication::processEvents();
  return v;
}

// 50 points on a circle, turned by phase: every point moves a few pixels,
// as in one snake step.
void circle(std::vector<pt>& pts, double phase)
{
  pts.resize(50);
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const double a = 2 * M_PI * k / pts.size() + phase;
    pts[k] = pt(128 + 60 * std::cos(a), 128 + 60 * std::sin(a));
  }
}

void shape_step(benchmark::State& state, bool bezier)
{
  auto v = shown_viewer();
  qvwr_fg_shape f;
  f.setColor(Qt::red);
  v->append(f);
  f.set_draw_bezier(bezier);
  vsml_parts parts;
  parts.setOneToOne(50);
  std::vector<pt> pts;
  double phase = 0;
  for (auto _ : state) {
    phase += 0.01;
    circle(pts, phase);
    f.set(pts, parts);  // redraw and the synchronous repaint
  }
}

void BM_ShapeStep50(benchmark::State& state) { shape_step(state, false); }
void BM_ShapeStep50Bezier(benchmark::State& state) { shape_step(state, true); }

void BM_PointsSet50(benchmark::State& state)
{
  auto v = shown_viewer();
  qvwr_fg_points f;
  f.setRadius(2);
  f.setColor(Qt::green);
  v->append(f);
  std::vector<pt> pts;
  double phase = 0;
  for (auto _ : state) {
    phase += 0.01;
    circle(pts, phase);
    f.set(pts);
  }
}

// Drawing alone, into an image: what one paint event costs the figure.
void BM_ShapeDraw50Bezier(benchmark::State& state)
{
  auto v = shown_viewer();
  qvwr_fg_shape f;
  v->append(f);
  f.set_draw_bezier(true);
  vsml_parts parts;
  parts.setOneToOne(50);
  std::vector<pt> pts;
  circle(pts, 0);
  f.set(pts, parts);
  QImage im(300, 300, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&im);
    f.draw(p, im.rect());
  }
}
} // namespace

BENCHMARK(BM_ShapeStep50);
BENCHMARK(BM_ShapeStep50Bezier);
BENCHMARK(BM_PointsSet50);
BENCHMARK(BM_ShapeDraw50Bezier);

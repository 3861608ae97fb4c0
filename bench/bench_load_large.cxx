// load_image of an 8000 x 6000 colour JPEG into the shown window: the time
// to its first paint and to the end of the call, the memory it takes at
// its peak above what the window had before, and the decode alone.
//   bench_load_large [folder]   (the JPEG stays there; default: TMPDIR)
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <QApplication>
#include <benchmark/benchmark.h>

#include <app/tessaly.h>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/vil_load.h>
#include <vil/vil_save.h>

namespace
{
typedef std::chrono::steady_clock clock_type;
const unsigned big_ni = 8000, big_nj = 6000;
std::string jpeg;

// Made once; a photograph-like picture: smooth shading and fine texture.
void make_jpeg(const std::string& folder)
{
  jpeg = folder + "/tessaly_bench_8000x6000.jpg";
  if (std::ifstream(jpeg).good()) return;
  vil_image_view<vxl_byte> im(big_ni, big_nj, 3);
  for (unsigned j = 0; j < big_nj; ++j)
    for (unsigned i = 0; i < big_ni; ++i)
      for (unsigned p = 0; p < 3; ++p)
        im(i, j, p) = vxl_byte(((i / 7 + j / 5) * (p + 1) + ((i * 7919u + j * 104729u) >> 5 & 31)) & 255);
  if (!vil_save(im, jpeg.c_str())) std::exit(1);
}

// Notes when the viewer first paints after being armed.
class paint_probe : public qvwr_figure
{
 public:
  paint_probe() { setBoundBox(QRect(-100000, -100000, 200000, 200000)); }
  void draw(QPainter&, const QRect&) override
  {
    if (armed) {
      armed = false;
      painted = clock_type::now();
      painted_cpu = std::clock();
    }
  }
  void setTransform(const vimt_transform_2d&) override {}
  std::string is_a() const override { return "paint_probe"; }
  bool armed = false;
  clock_type::time_point painted;
  std::clock_t painted_cpu = 0;
};

long status_kib(const char* field)
{
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return 0;
}

void BM_LoadImageToFirstPaint(benchmark::State& state)
{
  tessaly win(nullptr, nullptr);
  win.resize(1920, 1200);
  win.show();
  for (int k = 0; k < 10; ++k) QCoreApplication::processEvents();
  paint_probe probe;
  win.q_viewer()->append(probe);
  // Wall times, and the process's processor times, which a busy machine
  // stretches less.
  double first = 0, total = 0, first_cpu = 0, total_cpu = 0, peak = 0;
  for (auto _ : state) {
    // Back to the start image, so that each load starts from the same state.
    state.PauseTiming();
    win.set_image(vimt_image_2d_of<vxl_byte>(250, 250, 1));
    QCoreApplication::processEvents();
    const long before = status_kib("VmRSS:");
    { std::ofstream("/proc/self/clear_refs") << "5"; }  // resets the peak
    probe.armed = true;
    state.ResumeTiming();
    const clock_type::time_point start = clock_type::now();
    const std::clock_t start_cpu = std::clock();
    win.load_image(jpeg.c_str());
    const clock_type::time_point end = clock_type::now();
    total_cpu += double(std::clock() - start_cpu) / CLOCKS_PER_SEC;
    first_cpu += double(probe.painted_cpu - start_cpu) / CLOCKS_PER_SEC;
    first += std::chrono::duration<double>(probe.painted - start).count();
    total += std::chrono::duration<double>(end - start).count();
    peak += double(status_kib("VmHWM:") - before) / 1024.0;
    if (probe.armed || win.image().ni() != big_ni) state.SkipWithError("not loaded or not painted");
  }
  const double n = double(state.iterations());
  state.counters["first_paint_s"] = first / n;
  state.counters["load_s"] = total / n;
  state.counters["first_paint_cpu_s"] = first_cpu / n;
  state.counters["load_cpu_s"] = total_cpu / n;
  state.counters["peak_MB_above"] = peak / n;
  state.counters["image_MB"] = big_ni * double(big_nj) * 3 / (1 << 20);
  state.counters["image_3floats_MB"] = big_ni * double(big_nj) * 15 / (1 << 20);
  win.q_viewer()->remove(probe);
}
BENCHMARK(BM_LoadImageToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();

void BM_DecodeOnly(benchmark::State& state)
{
  for (auto _ : state) {
    vil_image_view_base_sptr im = vil_load(jpeg.c_str());
    if (!im) state.SkipWithError("not loaded");
  }
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();
}  // namespace

int main(int argc, char** argv)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  const char* tmp = std::getenv("TMPDIR");
  make_jpeg(argc > 1 ? argv[1] : tmp && *tmp ? tmp : "/tmp");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

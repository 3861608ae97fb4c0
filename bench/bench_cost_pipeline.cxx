// The cost pipeline (gradient magnitude, the exponential filter twice in
// each direction, value range, stretch to bytes) on large grey and colour
// images, one 4096 pixels wide (rows of 4096 floats crowd the caches), and
// on the 250 x 250 start image: fused as the window runs it, as separate
// fast steps, and straightforward.
// Reports megapixels per second (of wall-clock time), the pipeline's peak
// memory and the instruction set its vector code runs with.
//
// --threads=N (first, before the benchmark's own options) runs the fused and
// separate pipelines with 1 and with N threads; without it N is the number of
// CPUs the process may run on.  The large fused ones also run side by side on
// N images, a thread each: the throughput to hold N threads' speed-up against.
// --target=NAME (also before the benchmark's own options; AVX2, SSE4, ...)
// runs the vector code on that instruction set at best, as on a processor
// that has no better one: Highway's targets above it are masked.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <hwy/targets.h>
#include <vil/algo/vil_exp_filter_1d.h>
#include <vil/algo/vil_exp_filter_2d.h>
#include <vil/algo/vil_gradient_rms_3x3.h>
#include <vil/algo/vil_smooth_gradient_rms.h>
#include <vil/algo/vil_sobel_3x3.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_convert.h>
#include <vil/vil_fill.h>
#include <vil/vil_load_support.h>
#include <vil/vil_math.h>
#include "arithmetic_in_registers.h"

namespace
{
const double smooth_k = 0.75;  // the window's starting smoothing

// The images a pipeline run keeps from one run to the next, as the window does.
struct cost_state
{
  vil_image_view<float> cost, work, gradient;
  vil_image_view<vxl_byte> display;
  float max_cost = 0;
  unsigned threads = 1;
};

// As the window runs it: three sweeps for gradient, both filters and range,
// then the stretch.
void pipeline_fused(const vil_image_view<vxl_byte>& image, cost_state& s)
{
  float lo;
  vil_smooth_gradient_rms(image, smooth_k, s.cost, s.work, lo, s.max_cost, s.threads);
  vil_convert_stretch_range_known(s.cost, lo, s.max_cost, s.display, s.threads);
}

// The same fast steps called one after the other, each a sweep of its own.
void pipeline_separate(const vil_image_view<vxl_byte>& image, cost_state& s)
{
  vil_gradient_rms_3x3(image, s.cost, s.threads);
  vil_exp_filter_2d<float, float, double>(s.cost, s.work, smooth_k, smooth_k);
  vil_exp_filter_2d<float, float, double>(s.work, s.cost, smooth_k, smooth_k);
  float lo;
  vil_math_value_range(s.cost, lo, s.max_cost);
  vil_convert_stretch_range(s.cost, s.display);
}

using pipeline = void (*)(const vil_image_view<vxl_byte>&, cost_state&);

// The textbook 2-D filter: every row, then every column one at a time.
void exp_filter_2d_by_lines(const vil_image_view<float>& src, vil_image_view<float>& dest, double k)
{
  dest.set_size(src.ni(), src.nj(), 1);
  for (unsigned j = 0; j < src.nj(); ++j)
    vil_exp_filter_1d(src.top_left_ptr() + j * src.jstep(), src.istep(),
                      dest.top_left_ptr() + j * dest.jstep(), dest.istep(), int(src.ni()), k);
  for (unsigned i = 0; i < src.ni(); ++i)
    vil_exp_filter_1d(dest.top_left_ptr() + i * dest.istep(), dest.jstep(),
                      dest.top_left_ptr() + i * dest.istep(), dest.jstep(), int(src.nj()), k);
}

void pipeline_straightforward(const vil_image_view<vxl_byte>& image, cost_state& s)
{
  vil_sobel_3x3(image, s.gradient);
  vil_math_rms(s.gradient, s.cost);
  exp_filter_2d_by_lines(s.cost, s.work, smooth_k);
  exp_filter_2d_by_lines(s.work, s.cost, smooth_k);
  float lo;
  vil_math_value_range(s.cost, lo, s.max_cost);
  vil_convert_stretch_range(s.cost, s.display);
}

// Bright rectangles and discs on a textured ground; colour images are
// interleaved, as the file readers give them.
vil_image_view<vxl_byte> test_image(unsigned ni, unsigned nj, unsigned np)
{
  vil_image_view<vxl_byte> im = np == 1 ? vil_image_view<vxl_byte>(ni, nj, 1)
                                        : vil_load_interleaved_view<vxl_byte>(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) im(i, j, p) = vxl_byte(30 + ((i * 7 + j * 3 + p * 11) % 23));
  for (unsigned k = 0; k < 20; ++k)
    vil_fill_disk(im, ni * (k * 0.37 - int(k * 0.37)), nj * (k * 0.61 - int(k * 0.61)),
                  (ni + nj) / 40.0, vxl_byte(200 + k));
  return im;
}

// The start image of the window: 30, a rectangle and a disc of 250.
vil_image_view<vxl_byte> start_image()
{
  vil_image_view<vxl_byte> im(250, 250);
  im.fill(30);
  for (unsigned j = 80; j <= 160; ++j)
    for (unsigned i = 50; i <= 110; ++i) im(i, j) = 250;
  vil_fill_disk(im, 170.0, 125.0, 40.0, vxl_byte(250));
  return im;
}

long resident_kb()
{
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Peak memory of one pipeline run, input image included, in MB: measured in
// a fresh child process as its peak resident size less what it started with.
double peak_mb(unsigned ni, unsigned nj, unsigned np, pipeline f)
{
  int fd[2];
  if (pipe(fd) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    const long before = resident_kb();
    {
      const vil_image_view<vxl_byte> image = test_image(ni, nj, np);
      cost_state s;
      f(image, s);
    }
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    const double mb = double(ru.ru_maxrss - before) / 1024.0;
    if (write(fd[1], &mb, sizeof mb) != sizeof mb) _exit(1);
    _exit(0);
  }
  close(fd[1]);
  double mb = -1;
  if (read(fd[0], &mb, sizeof mb) != sizeof mb) mb = -1;
  close(fd[0]);
  waitpid(pid, nullptr, 0);
  return mb;
}

std::map<std::string, double> peaks;  // measured before any benchmark runs

void run(benchmark::State& state, unsigned ni, unsigned nj, unsigned np, pipeline f,
         const std::string& name, unsigned threads)
{
  const vil_image_view<vxl_byte> image = ni == 250 ? start_image() : test_image(ni, nj, np);
  cost_state s;
  s.threads = threads;
  // The window keeps its images from one run to the next (a slider move, a
  // new image of the same size); time that steady state, and the first run,
  // which also allocates and zeroes them, apart.
  const auto start = std::chrono::steady_clock::now();
  f(image, s);
  const double first_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  for (auto _ : state) {
    f(image, s);
    benchmark::DoNotOptimize(s.max_cost);
  }
  const double mp = double(ni) * nj / 1e6;
  state.counters["MP/s"] = benchmark::Counter(mp, benchmark::Counter::kIsIterationInvariantRate);
  const double limit = (double(ni) * nj * np + 3.0 * ni * nj * sizeof(float)) / (1024.0 * 1024.0);
  state.counters["limit_MB"] = limit;
  state.counters["first_run_ms"] = first_ms;
  if (peaks.count(name)) state.counters["peak_MB"] = peaks[name];
  state.SetLabel(hwy::TargetName(hwy::SupportedAndGeneratedTargets().front()));
}

// body(0) .. body(m-1) at once, a thread each (the caller's for 0).
template <class F>
void on_threads(unsigned m, const F& body)
{
  std::vector<std::thread> others;
  for (unsigned t = 1; t < m; ++t) others.emplace_back([&body, t] { body(t); });
  body(0);
  for (std::thread& o : others) o.join();
}

// The pipeline on each image at once, a thread each (the caller's for the
// first), as each state's thread count says.
void side_by_side(const std::vector<vil_image_view<vxl_byte>>& images,
                  std::vector<cost_state>& states, pipeline f)
{
  on_threads(unsigned(images.size()), [&](unsigned t) { f(images[t], states[t]); });
}

// The same pipeline, one thread each, on n images at once: the throughput
// n CPUs reach with no work shared, the most one image on n threads can
// hope for on this machine.  An iteration is all n images.
void run_side_by_side(benchmark::State& state, unsigned ni, unsigned nj, unsigned np,
                      pipeline f, unsigned n)
{
  std::vector<vil_image_view<vxl_byte>> images;
  std::vector<cost_state> states(n);
  for (unsigned t = 0; t < n; ++t) {
    images.push_back(test_image(ni, nj, np));
    f(images[t], states[t]);
  }
  for (auto _ : state) side_by_side(images, states, f);
  state.counters["MP/s"] = benchmark::Counter(double(n) * ni * nj / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(hwy::TargetName(hwy::SupportedAndGeneratedTargets().front()));
}

// m threads at once, each copying buffer from[t] into to[t].
void copy_side_by_side(const std::vector<std::vector<float>>& from,
                       std::vector<std::vector<float>>& to, unsigned m)
{
  on_threads(m, [&](unsigned t) { std::copy(from[t].begin(), from[t].end(), to[t].begin()); });
}

// Speed-ups measured in pairs: each iteration runs the pipeline on 1
// thread, on n threads and on n images side by side, one right after the
// other, so that the machine's speed, which drifts from second to second
// on a shared host, is nearly the same for the three.  The counters are
// the medians over the iterations of the n-thread and side-by-side speed-
// ups against that iteration's 1-thread run, and of two ceilings: memory's,
// n threads each copying an image of floats against one thread copying one,
// and arithmetic's, n threads each running the same recursions in
// registers against one.  The pipeline streams its images through memory
// several times, so where memory gains less than n times, so does it; and
// no kernel gains more than arithmetic does.
void run_speedup(benchmark::State& state, unsigned ni, unsigned nj, unsigned np, pipeline f,
                 unsigned n)
{
  std::vector<vil_image_view<vxl_byte>> images;
  std::vector<cost_state> states(n);
  for (unsigned t = 0; t < n; ++t) {
    images.push_back(test_image(ni, nj, np));
    f(images[t], states[t]);
  }
  auto time_ms = [](auto work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  };
  std::vector<std::vector<float>> from(n, std::vector<float>(std::size_t(ni) * nj, 1.0f)),
      to(n, std::vector<float>(std::size_t(ni) * nj));
  const std::size_t steps = std::size_t(1) << 20;  // a few milliseconds
  std::vector<double> results(n);
  auto in_registers = [&](unsigned m) {
    on_threads(m, [&](unsigned t) { results[t] = arithmetic_in_registers(steps); });
  };
  std::vector<double> threaded, side, copy, arithmetic;
  for (auto _ : state) {
    states[0].threads = 1;
    const double one = time_ms([&] { f(images[0], states[0]); });
    states[0].threads = n;
    threaded.push_back(one / time_ms([&] { f(images[0], states[0]); }));
    states[0].threads = 1;
    side.push_back(n * one / time_ms([&] { side_by_side(images, states, f); }));
    const double copy_one = time_ms([&] { copy_side_by_side(from, to, 1); });
    copy.push_back(n * copy_one / time_ms([&] { copy_side_by_side(from, to, n); }));
    const double arithmetic_one = time_ms([&] { in_registers(1); });
    arithmetic.push_back(n * arithmetic_one / time_ms([&] { in_registers(n); }));
    benchmark::DoNotOptimize(results);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["speedup"] = median(threaded);
  state.counters["side_by_side_speedup"] = median(side);
  state.counters["memory_copy_speedup"] = median(copy);
  state.counters["arithmetic_speedup"] = median(arithmetic);
  state.SetLabel(hwy::TargetName(hwy::SupportedAndGeneratedTargets().front()));
}

struct config
{
  const char* name;
  unsigned ni, nj, np;
  pipeline f;
};
const config configs[] = {
    {"grey_4000x3000/fused", 4000, 3000, 1, pipeline_fused},
    {"grey_4000x3000/separate", 4000, 3000, 1, pipeline_separate},
    {"grey_4000x3000/straightforward", 4000, 3000, 1, pipeline_straightforward},
    {"colour_4000x3000/fused", 4000, 3000, 3, pipeline_fused},
    {"colour_4000x3000/separate", 4000, 3000, 3, pipeline_separate},
    {"colour_4000x3000/straightforward", 4000, 3000, 3, pipeline_straightforward},
    {"grey_4096x3072/fused", 4096, 3072, 1, pipeline_fused},
    {"start_250x250/fused", 250, 250, 1, pipeline_fused},
    {"start_250x250/separate", 250, 250, 1, pipeline_separate},
    {"start_250x250/straightforward", 250, 250, 1, pipeline_straightforward},
};

// Masks every target better than `name` (better targets have lower bits),
// as on a processor whose best is `name`.  False, with a message, when this
// processor cannot run `name` or Highway was not built for it.
bool mask_targets_above(const std::string& name)
{
  for (int64_t t : hwy::SupportedAndGeneratedTargets())
    if (name == hwy::TargetName(t)) {
      hwy::DisableTargets(t - 1);
      return true;
    }
  std::fprintf(stderr, "--target=%s: not a target this processor runs; it runs:", name.c_str());
  for (int64_t t : hwy::SupportedAndGeneratedTargets()) std::fprintf(stderr, " %s", hwy::TargetName(t));
  std::fprintf(stderr, "\n");
  return false;
}
}  // namespace

int main(int argc, char** argv)
{
  unsigned threads = vil_thread_team::available();
  while (argc > 1) {
    const std::string arg = argv[1];
    if (arg.rfind("--threads=", 0) == 0)
      threads = unsigned(std::max(1l, std::strtol(arg.c_str() + 10, nullptr, 10)));
    else if (arg.rfind("--target=", 0) == 0) {
      if (!mask_targets_above(arg.substr(9))) return 2;
    } else
      break;
    --argc;
    for (int a = 1; a < argc; ++a) argv[a] = argv[a + 1];
  }
  for (const config& c : configs)
    if (c.ni > 250) peaks[c.name] = peak_mb(c.ni, c.nj, c.np, c.f);
  for (const config& c : configs)
    for (unsigned n : {1u, threads}) {
      const bool threaded = c.f != pipeline_straightforward;
      if (n > 1 && !threaded) continue;
      const std::string name = c.name;
      const std::string label = threaded ? name + "/threads:" + std::to_string(n) : name;
      benchmark::RegisterBenchmark(("cost_pipeline/" + label).c_str(),
                                   [c, name, n](benchmark::State& st) {
                                     run(st, c.ni, c.nj, c.np, c.f, name, n);
                                   })
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      if (threads == 1) break;
      if (n > 1 && c.f == pipeline_fused && c.ni > 250) {
        benchmark::RegisterBenchmark(
            ("cost_pipeline/" + name + "/side_by_side:" + std::to_string(n)).c_str(),
            [c, n](benchmark::State& st) { run_side_by_side(st, c.ni, c.nj, c.np, c.f, n); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(
            ("cost_pipeline/" + name + "/speedup_in_pairs:" + std::to_string(n)).c_str(),
            [c, n](benchmark::State& st) { run_speedup(st, c.ni, c.nj, c.np, c.f, n); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(30)
            ->UseRealTime();
      }
    }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// tessaly-snake over a batch: 100 grey 1000 x 1000 PNG images with the same
// start points, writing the points as CSV and an overlay PNG for each, run
// as a user runs it with -j 1 and -j 2 (images per second, wall time).
// Then one image's stages on their own, to say where the time goes:
// decoding, the cost image, the snake run, drawing and encoding the overlay.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <app/snake_overlay.h>
#include <app/snake_points_file.h>
#include <app/tessaly_snake.h>
#include <cli/cli_output.h>
#include <vil/vil_fill.h>
#include <vil/vil_load.h>
#include <vil/vil_save.h>
#include <vimt/vimt_image_2d_of.h>

namespace
{
namespace fs = std::filesystem;
typedef vgl_point_2d<double> point;

const int n_images = 100;
const unsigned side = 1000;
// Around the disc of every image.
const char* const start_points = "680,280 920,640 480,680";
std::vector<point> start() { return {point(680, 280), point(920, 640), point(480, 680)}; }

// The start image four times larger, shifted a little from image to image,
// with a faint texture so that the files compress as real pictures do.
vil_image_view<vxl_byte> picture(int k)
{
  vil_image_view<vxl_byte> im(side, side, 1);
  std::uint32_t h = 2166136261u + std::uint32_t(k);
  for (unsigned j = 0; j < side; ++j)
    for (unsigned i = 0; i < side; ++i) {
      h = h * 1664525u + 1013904223u;
      im(i, j) = vxl_byte(30 + (h >> 29));
    }
  for (unsigned j = 320; j <= 640; ++j)
    for (unsigned i = 200 + k % 5; i <= 440; ++i) im(i, j) = vxl_byte(235 + (im(i, j) & 15));
  vil_fill_disk(im, 680.0 + k % 7, 500.0, 160.0, vxl_byte(240));
  return im;
}

// The batch's folder, made on first use and removed at exit: images in
// it, outputs in out/.
struct batch_folder
{
  fs::path dir;
  ~batch_folder()
  {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
} batch;

const fs::path& batch_dir()
{
  if (batch.dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    const fs::path d = fs::path(tmp ? tmp : "/tmp") / ("bench_batch-" + std::to_string(::getpid()));
    fs::create_directories(d / "out");
    batch.dir = d;
    for (int k = 0; k < n_images; ++k)
      vil_save(picture(k), (d / ("img" + std::to_string(1000 + k) + ".png")).c_str());
  }
  return batch.dir;
}

void BM_Batch(benchmark::State& state)
{
  const fs::path& dir = batch_dir();
  std::vector<std::string> args = {TESSALY_SNAKE_EXE, "-j", std::to_string(state.range(0)),
                                   "--points", start_points, "-o", (dir / "out/%n.csv").string(),
                                   "--overlay", (dir / "out/%n.png").string()};
  for (int k = 0; k < n_images; ++k) args.push_back((dir / ("img" + std::to_string(1000 + k) + ".png")).string());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto _ : state) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("tessaly-snake failed");
  }
  state.SetItemsProcessed(state.iterations() * n_images);
}
BENCHMARK(BM_Batch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// ---- one image, stage by stage

struct one_image
{
  std::string png = (batch_dir() / "img1000.png").string();
  vil_image_view<vxl_byte> image = vil_load(png);
  vimt_image_2d_of<float> cost;
  vil_image_view<float> scratch;
  float lo = 0, hi = 0;
  std::vector<point> pts;
  vil_image_view<vxl_byte> overlay;
  one_image()
  {
    snake_cost_image(image, snake_start_smooth_k, cost.image(), scratch, lo, hi, 1);
    pts = start();
    run_snake(pts, cost, hi, snake_run_settings(), nullptr);
    overlay = snake_overlay(image, pts);
  }
};

void BM_Decode(benchmark::State& state)
{
  one_image s;
  for (auto _ : state) benchmark::DoNotOptimize(vil_load(s.png));
}

void BM_Cost(benchmark::State& state)
{
  one_image s;
  for (auto _ : state) snake_cost_image(s.image, snake_start_smooth_k, s.cost.image(), s.scratch, s.lo, s.hi, 1);
}

void BM_Snake(benchmark::State& state)
{
  one_image s;
  for (auto _ : state) {
    std::vector<point> pts = start();
    run_snake(pts, s.cost, s.hi, snake_run_settings(), nullptr);
    benchmark::DoNotOptimize(pts.data());
  }
}

void BM_DrawOverlay(benchmark::State& state)
{
  one_image s;
  for (auto _ : state) benchmark::DoNotOptimize(snake_overlay(s.image, s.pts));
}

void BM_EncodeOverlay(benchmark::State& state)
{
  one_image s;
  const std::string out = (batch_dir() / "out/encode.png").string();
  for (auto _ : state) vil_save(s.overlay, out.c_str());
}

void BM_WriteCsv(benchmark::State& state)
{
  one_image s;
  const std::string out = (batch_dir() / "out/write.csv").string();
  std::string error;
  for (auto _ : state) cli_write_text(out, snake_points_csv(s.pts), error);
}
}  // namespace

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cost)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Snake)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawOverlay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeOverlay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteCsv)->Unit(benchmark::kMillisecond);

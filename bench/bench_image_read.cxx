// Loading a 9 MB colour picture from an uncompressed BMP and a binary PPM,
// against reading the file's bytes into fresh memory, the least any reader
// does.  bench/image_read_vs_opencv.py runs this in rounds with OpenCV's
// imread on the same files.
//   bench_image_read [folder]   (the files stay there; default: TMPDIR)
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <benchmark/benchmark.h>
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>
#include <vil/vil_save.h>

namespace
{
const unsigned ni = 2048, nj = 1536;
std::string folder;

std::string file(const char* ext) { return folder + "/tessaly_bench_read_" + std::to_string(ni) + "x" + std::to_string(nj) + ext; }

void make_files()
{
  vil_image_view<vxl_byte> im(ni, nj, 3);
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p = 0; p < 3; ++p) im(i, j, p) = vxl_byte((i * (p + 1) + j * 3) & 255);
  for (const char* ext : {".bmp", ".ppm"})
    if (!vil_save(im, file(ext).c_str())) std::exit(1);
}

void BM_Load(benchmark::State& state, const char* ext)
{
  const std::string path = file(ext);
  for (auto _ : state) {
    vil_image_view_base_sptr im = vil_load(path.c_str());
    if (!im) {
      state.SkipWithError("not loaded");
      break;
    }
    benchmark::DoNotOptimize(im->ni());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * ni * nj * 3);
}
BENCHMARK_CAPTURE(BM_Load, bmp, ".bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Load, ppm, ".ppm")->Unit(benchmark::kMillisecond);

// One read() of the whole file into memory not touched before.
void BM_ReadIntoFreshMemory(benchmark::State& state)
{
  const std::string path = file(".ppm");
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) state.SkipWithError("cannot open");
    std::unique_ptr<char, decltype(&std::free)> buf(static_cast<char*>(std::malloc(st.st_size)), &std::free);
    if (::read(fd, buf.get(), st.st_size) != st.st_size) state.SkipWithError("short read");
    ::close(fd);
    benchmark::DoNotOptimize(buf.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * ni * nj * 3);
}
BENCHMARK(BM_ReadIntoFreshMemory)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  const char* tmp = std::getenv("TMPDIR");
  folder = argc > 1 ? argv[1] : tmp && *tmp ? tmp : "/tmp";
  make_files();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Time to refuse decompression bombs (see fuzz/image_bombs.h), and the
// growth of peak resident memory while doing so ("peak_MiB": the largest
// growth over the iterations).  Each must be refused in well under a
// second with under 64 MiB.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <benchmark/benchmark.h>
#include <fuzz/image_bombs.h>
#include <vil/vil_load.h>

namespace
{
long status_kib(const char* field)
{
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

void reset_peak()
{
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
}

void refuse(benchmark::State& state, const image_bombs::bytes& data, const char* name)
{
  const std::string path = std::string("/tmp/bench_image_bombs_") + name;
  image_bombs::write_file(path, data);
  // The refusal line would flood the output.
  std::ostringstream sink;
  std::streambuf* old = std::cerr.rdbuf(sink.rdbuf());
  long worst = 0;
  bool refused = true;
  for (auto _ : state) {
    state.PauseTiming();
    reset_peak();
    const long before = status_kib("VmRSS");
    state.ResumeTiming();
    const vil_image_view_base_sptr im = vil_load(path.c_str());
    refused = refused && !im;
    state.PauseTiming();
    worst = std::max(worst, status_kib("VmHWM") - before);
    sink.str(std::string());
    state.ResumeTiming();
  }
  std::cerr.rdbuf(old);
  std::remove(path.c_str());
  state.counters["peak_MiB"] = double(worst) / 1024.0;
  state.counters["file_KiB"] = double(data.size()) / 1024.0;
  if (!refused) state.SkipWithError("the file was loaded");
}

void BM_refuse_huge_png(benchmark::State& state) { refuse(state, image_bombs::huge_png(), "huge.png"); }
void BM_refuse_huge_jpeg(benchmark::State& state) { refuse(state, image_bombs::huge_jpeg(), "huge.jpg"); }
void BM_refuse_huge_tiff(benchmark::State& state) { refuse(state, image_bombs::huge_tiff(), "huge.tif"); }
void BM_refuse_overflowing_png(benchmark::State& state)
{
  static const image_bombs::bytes data = image_bombs::overflowing_png();
  refuse(state, data, "overflowing.png");
}
}  // namespace

BENCHMARK(BM_refuse_huge_png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_refuse_huge_jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_refuse_huge_tiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_refuse_overflowing_png)->Unit(benchmark::kMillisecond);

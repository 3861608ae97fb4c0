// Throughput of the vsl writers and readers on large vectors and many small records.
#include <sstream>
#include <string>
#include <vector>
#include <benchmark/benchmark.h>
#include <vgl/io/vgl_io_point_2d.h>
#include <vnl/io/vnl_io_vector.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_vector_io.h>

namespace
{
template <class T>
std::string encoded(const T& v)
{
  std::ostringstream ss(std::ios::binary);
  vsl_b_ostream os(&ss);
  vsl_b_write(os, v);
  return ss.str();
}

std::vector<int> ints(std::size_t n)
{
  std::vector<int> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<int>(i * 2654435761u) >> (i % 24);
  return v;
}

// A stream buffer that cannot seek, so readers must grow in chunks.
class pipe_buf : public std::streambuf
{
 public:
  explicit pipe_buf(std::string& d) { setg(&d[0], &d[0], &d[0] + d.size()); }
};

void BM_WriteVectorInt(benchmark::State& state)
{
  const std::vector<int> v = ints(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::ostringstream ss(std::ios::binary);
    vsl_b_ostream os(&ss);
    vsl_b_write(os, v);
    benchmark::DoNotOptimize(ss);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteVectorInt)->Arg(1 << 20);

void BM_ReadVectorInt(benchmark::State& state)
{
  const std::string data = encoded(ints(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) {
    std::istringstream ss(data, std::ios::binary);
    vsl_b_istream is(&ss);
    std::vector<int> v;
    vsl_b_read(is, v);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(data.size()));
}
BENCHMARK(BM_ReadVectorInt)->Arg(1 << 20);

void BM_ReadVnlVectorDouble(benchmark::State& state)
{
  vnl_vector<double> src(static_cast<std::size_t>(state.range(0)), 1.25);
  std::string data = encoded(src);
  for (auto _ : state) {
    std::istringstream ss(data, std::ios::binary);
    vsl_b_istream is(&ss);
    vnl_vector<double> v;
    vsl_b_read(is, v);
    benchmark::DoNotOptimize(v.data_block());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(data.size()));
}
BENCHMARK(BM_ReadVnlVectorDouble)->Arg(1 << 20);

void BM_ReadVectorDoublePipe(benchmark::State& state)
{
  std::string data = encoded(std::vector<double>(static_cast<std::size_t>(state.range(0)), 2.5));
  for (auto _ : state) {
    pipe_buf pb(data);
    std::istream in(&pb);
    vsl_b_istream is(&in);
    std::vector<double> v;
    vsl_b_read(is, v);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(data.size()));
}
BENCHMARK(BM_ReadVectorDoublePipe)->Arg(1 << 20);

// Many small records, as in a parts collection: the per-record overhead.
void BM_ReadManyStringsAndPoints(benchmark::State& state)
{
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  std::ostringstream out(std::ios::binary);
  {
    vsl_b_ostream os(&out);
    for (std::size_t i = 0; i < n; ++i) {
      vsl_b_write(os, std::string("Part") + std::to_string(i));
      vsl_b_write(os, vgl_point_2d<double>(static_cast<double>(i), 1.0));
    }
  }
  const std::string data = out.str();
  for (auto _ : state) {
    std::istringstream ss(data, std::ios::binary);
    vsl_b_istream is(&ss);
    std::string s;
    vgl_point_2d<double> p;
    for (std::size_t i = 0; i < n; ++i) {
      vsl_b_read(is, s);
      vsl_b_read(is, p);
    }
    benchmark::DoNotOptimize(p);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadManyStringsAndPoints)->Arg(10000);
} // namespace

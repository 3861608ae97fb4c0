// Time to load a 1000 x 1000 colour picture (3 MB of pixels) from each of
// the less common formats, raw and run-length where the format has both.
// "MB/s" counts the pixel bytes of the result.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include <benchmark/benchmark.h>
#include <openjpeg.h>
#include <vil/vil_load.h>

namespace
{
typedef std::vector<unsigned char> bytes;
const unsigned ni = 1000, nj = 1000;

// Smooth bands with flat stretches, so run-length forms have runs to find.
unsigned char sample(unsigned i, unsigned j, unsigned p) { return (unsigned char)(((i / 8) * 3 + (j / 8) * 5 + p * 40) & 255); }

void put_be(bytes& b, uint64_t v, unsigned n)
{
  for (unsigned k = n; k-- > 0;) b.push_back((unsigned char)(v >> (8 * k)));
}

bytes sun_raster(bool rle)
{
  bytes data;
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p : {2u, 1u, 0u}) data.push_back(sample(i, j, p));
  if (rle) {
    bytes e;
    for (std::size_t k = 0; k < data.size();) {
      std::size_t n = 1;
      while (k + n < data.size() && data[k + n] == data[k] && n < 256) ++n;
      if (n >= 3 || data[k] == 0x80) {
        e.push_back(0x80);
        e.push_back((unsigned char)(n - 1));
        if (n > 1) e.push_back(data[k]);  // 0x80 0 is a lone 0x80
        k += n;
      } else {
        e.push_back(data[k++]);
      }
    }
    data.swap(e);
  }
  bytes b;
  for (uint32_t v : {0x59a66a95u, ni, nj, 24u, uint32_t(data.size()), rle ? 2u : 1u, 0u, 0u}) put_be(b, v, 4);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

bytes viff()
{
  bytes b(1024, 0);
  b[0] = 0xab;
  b[1] = 1;
  b[4] = 2;
  const auto set = [&](std::size_t at, uint32_t v) {
    for (unsigned k = 0; k < 4; ++k) b[at + k] = (unsigned char)(v >> (8 * (3 - k)));
  };
  set(520, ni);
  set(524, nj);
  set(556, 1);
  set(560, 3);
  set(564, 1);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) b.push_back(sample(i, j, p));
  return b;
}

bytes mit()
{
  bytes b = {2, 0, 8, 0, ni & 255, ni >> 8, nj & 255, nj >> 8};
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p = 0; p < 3; ++p) b.push_back(sample(i, j, p));
  return b;
}

bytes sgi(bool rle)
{
  bytes b;
  put_be(b, 474, 2);
  b.push_back(rle ? 1 : 0);
  b.push_back(1);
  for (unsigned v : {3u, ni, nj, 3u}) put_be(b, v, 2);
  b.resize(512, 0);
  if (!rle) {
    for (unsigned z = 0; z < 3; ++z)
      for (unsigned y = 0; y < nj; ++y)
        for (unsigned i = 0; i < ni; ++i) b.push_back(sample(i, nj - 1 - y, z));
    return b;
  }
  std::vector<bytes> lines;
  for (unsigned z = 0; z < 3; ++z)
    for (unsigned y = 0; y < nj; ++y) {
      bytes l;
      for (unsigned i = 0; i < ni;) {
        const unsigned char v = sample(i, nj - 1 - y, z);
        unsigned n = 1;
        while (i + n < ni && n < 127 && sample(i + n, nj - 1 - y, z) == v) ++n;
        l.push_back((unsigned char)n);
        l.push_back(v);
        i += n;
      }
      l.push_back(0);
      lines.push_back(l);
    }
  std::size_t at = 512 + 8 * lines.size();
  for (const bytes& l : lines) {
    put_be(b, at, 4);
    at += l.size();
  }
  for (const bytes& l : lines) put_be(b, l.size(), 4);
  for (const bytes& l : lines) b.insert(b.end(), l.begin(), l.end());
  return b;
}

std::string field(const std::string& s, std::size_t n) { return (s + std::string(n, ' ')).substr(0, n); }
std::string number(unsigned long long v, std::size_t n)
{
  const std::string s = std::to_string(v);
  return std::string(n - s.size(), '0') + s;
}

// NITF 2.1, band-interleaved by block, 256 x 256 blocks.
bytes nitf()
{
  const unsigned bs = 256, nb = (ni + bs - 1) / bs;
  const std::string security = "U" + std::string(166, ' ');
  std::string im = "IM" + field("", 10) + "20240101000000" + std::string(17, ' ') + field("", 80) + security + "0" +
                   field("", 42) + number(nj, 8) + number(ni, 8) + "INT" + field("RGB", 8) + field("VIS", 8) + "08" +
                   "R" + " " + "0" + "NC" + "3";
  for (const char* band : {"R ", "G ", "B "}) im += std::string(band) + std::string(6, ' ') + "N   0";
  im += "0B" + number(nb, 4) + number(nb, 4) + number(bs, 4) + number(bs, 4) + "08" + "001000" + "0000000000" +
        "1.0 " + "00000" + "00000";
  bytes data;
  for (unsigned by = 0; by < nb; ++by)
    for (unsigned bx = 0; bx < nb; ++bx)
      for (unsigned p = 0; p < 3; ++p)
        for (unsigned r = 0; r < bs; ++r)
          for (unsigned c = 0; c < bs; ++c) {
            const unsigned i = bx * bs + c, j = by * bs + r;
            data.push_back(i < ni && j < nj ? sample(i, j, p) : 0);
          }
  std::string fh = "NITF02.10" + std::string("03") + "BF01" + field("", 10) + "20240101000000" + field("", 80) +
                   security + "00000000000" + std::string(3, '\0') + field("", 24) + std::string(18, ' ');
  const std::size_t hl = fh.size() + 12 + 6 + 3 + 6 + 10 + 15 + 10;
  fh += number(hl + im.size() + data.size(), 12) + number(hl, 6) + "001" + number(im.size(), 6) +
        number(data.size(), 10) + std::string(25, '0');
  bytes b(fh.begin(), fh.end());
  b.insert(b.end(), im.begin(), im.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

void jp2(const std::string& path)
{
  opj_image_cmptparm_t parms[3];
  std::memset(parms, 0, sizeof parms);
  for (opj_image_cmptparm_t& c : parms) {
    c.dx = c.dy = 1;
    c.w = ni;
    c.h = nj;
    c.prec = 8;
  }
  opj_image_t* im = opj_image_create(3, parms, OPJ_CLRSPC_SRGB);
  im->x1 = ni;
  im->y1 = nj;
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) im->comps[p].data[j * ni + i] = sample(i, j, p);
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  cp.tcp_numlayers = 1;
  cp.tcp_rates[0] = 0;
  cp.cp_disto_alloc = 1;
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  opj_stream_t* out = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
  opj_setup_encoder(codec, &cp, im);
  opj_start_compress(codec, im, out);
  opj_encode(codec, out);
  opj_end_compress(codec, out);
  opj_stream_destroy(out);
  opj_destroy_codec(codec);
  opj_image_destroy(im);
}

void load(benchmark::State& state, const std::string& path)
{
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  state.counters["file_KiB"] = double(in.tellg()) / 1024.0;
  for (auto _ : state) {
    const vil_image_view_base_sptr im = vil_load(path.c_str());
    if (!im || im->size() != std::size_t(ni) * nj * 3) {
      state.SkipWithError("not loaded as 1000 x 1000 x 3");
      break;
    }
    benchmark::DoNotOptimize(im->ni());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * ni * nj * 3);
}

std::string written(const char* name, const bytes& b)
{
  const std::string path = std::string("/tmp/bench_load_more_formats_") + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(b.data()),
                                                                  std::streamsize(b.size()));
  return path;
}

void BM_load_sun_raster(benchmark::State& s) { load(s, written("raw.ras", sun_raster(false))); }
void BM_load_sun_raster_rle(benchmark::State& s) { load(s, written("rle.ras", sun_raster(true))); }
void BM_load_viff(benchmark::State& s) { load(s, written("x.viff", viff())); }
void BM_load_mit(benchmark::State& s) { load(s, written("x.mit", mit())); }
void BM_load_sgi(benchmark::State& s) { load(s, written("verbatim.rgb", sgi(false))); }
void BM_load_sgi_rle(benchmark::State& s) { load(s, written("rle.rgb", sgi(true))); }
void BM_load_nitf_blocked(benchmark::State& s) { load(s, written("blocked.ntf", nitf())); }
void BM_load_jpeg2000_lossless(benchmark::State& s)
{
  const std::string path = "/tmp/bench_load_more_formats_x.jp2";
  jp2(path);
  load(s, path);
}
}  // namespace

BENCHMARK(BM_load_sun_raster)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_sun_raster_rle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_viff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_mit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_sgi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_sgi_rle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_nitf_blocked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_jpeg2000_lossless)->Unit(benchmark::kMillisecond);

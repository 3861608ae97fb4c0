// Sun raster, VIFF, MIT and SGI files: small files written here with known
// pixels read back exactly (raw and run-length forms), hostile files are
// refused with one line, and the shared test files give VXL's table.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <openjpeg.h>
#include <vil/file_formats/vil_j2k.h>
#include <vil/file_formats/vil_mit.h>
#include <vil/file_formats/vil_nitf.h>
#include <vil/file_formats/vil_ras.h>
#include <vil/file_formats/vil_sgi.h>
#include <vil/file_formats/vil_viff.h>
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>
#include "support/file_bytes.h"
#include "support/pixels_are.h"
#include "test_data.h"

namespace
{
typedef std::vector<unsigned char> bytes;

std::string temp_path(const std::string& name)
{
  return ::testing::TempDir() + "vil_more_formats_" + name;
}

// Loads bytes written to a file of the given name; stderr is captured into err.
vil_image_view_base_sptr load_bytes(const std::string& name, const bytes& data, std::string* err = nullptr)
{
  const std::string path = temp_path(name);
  write_file(path, data);
  ::testing::internal::CaptureStderr();
  vil_image_view_base_sptr im = vil_load(path);
  const std::string e = ::testing::internal::GetCapturedStderr();
  if (err) *err = e;
  return im;
}

// A refusal is a null pointer and exactly one line naming the file.
::testing::AssertionResult refused(const std::string& name, const bytes& data)
{
  std::string err;
  if (load_bytes(name, data, &err)) return ::testing::AssertionFailure() << name << " was loaded";
  if (std::count(err.begin(), err.end(), '\n') != 1 || err.back() != '\n')
    return ::testing::AssertionFailure() << "not one line: \"" << err << '"';
  if (err.find(temp_path(name)) == std::string::npos)
    return ::testing::AssertionFailure() << "line does not name the file: " << err;
  return ::testing::AssertionSuccess() << err;
}

std::string refusal(const std::string& name, const bytes& data)
{
  std::string err;
  load_bytes(name, data, &err);
  return err;
}

unsigned sample(unsigned i, unsigned j, unsigned p, unsigned mul) { return (i * 7 + j * 13 + p * 29 + 1) * mul; }

void put_be(bytes& b, uint64_t v, unsigned n)
{
  for (unsigned k = n; k-- > 0;) b.push_back((unsigned char)(v >> (8 * k)));
}
void put_le(bytes& b, uint64_t v, unsigned n)
{
  for (unsigned k = 0; k < n; ++k) b.push_back((unsigned char)(v >> (8 * k)));
}

// ---- Sun raster ------------------------------------------------------------

bytes ras_file(uint32_t w, uint32_t h, uint32_t depth, uint32_t type, uint32_t maptype,
               const bytes& map, const bytes& data)
{
  bytes b;
  for (uint32_t v : {0x59a66a95u, w, h, depth, uint32_t(data.size()), type, maptype, uint32_t(map.size())})
    put_be(b, v, 4);
  b.insert(b.end(), map.begin(), map.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// The rows of an image, each padded to an even length.
template <class F>
bytes ras_rows(unsigned w, unsigned h, unsigned bytes_per_pixel, F pixel_bytes)
{
  bytes d;
  for (unsigned j = 0; j < h; ++j) {
    for (unsigned i = 0; i < w; ++i) pixel_bytes(d, i, j);
    if ((w * bytes_per_pixel) & 1) d.push_back(0xee);
  }
  return d;
}

// Byte encoding: runs of 3 or more (and every 0x80) as 0x80 n v, the rest as is.
bytes ras_rle(const bytes& in)
{
  bytes out;
  for (std::size_t k = 0; k < in.size();) {
    std::size_t n = 1;
    while (k + n < in.size() && in[k + n] == in[k] && n < 256) ++n;
    if (n >= 3 || in[k] == 0x80) {
      if (n == 1) {
        out.push_back(0x80);
        out.push_back(0);
      } else {
        out.push_back(0x80);
        out.push_back((unsigned char)(n - 1));
        out.push_back(in[k]);
      }
      k += n;
    } else {
      out.push_back(in[k++]);
    }
  }
  return out;
}

TEST(VilLoadMoreFormats, SunRasterDepthsMapsAndEncodings)
{
  const unsigned w = 5, h = 4;
  // 8 bits without a map: the values themselves; odd rows are padded.
  const auto grey = [](unsigned i, unsigned j, unsigned) { return sample(i, j, 0, 3) & 255; };
  const bytes grey_rows = ras_rows(w, h, 1, [&](bytes& d, unsigned i, unsigned j) { d.push_back(grey(i, j, 0)); });
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("g.ras", ras_file(w, h, 8, 1, 0, {}, grey_rows)), w, h, 1, grey));
  // Old type 0 writers leave the length at 0.
  bytes old = ras_file(w, h, 8, 0, 0, {}, grey_rows);
  std::fill(old.begin() + 16, old.begin() + 20, 0);
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("old.ras", old), w, h, 1, grey));

  // A grey map (here inverting) gives one plane of the map's values.
  bytes inv(3 * 256);
  for (unsigned k = 0; k < 256; ++k) inv[k] = inv[256 + k] = inv[512 + k] = (unsigned char)(255 - k);
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("inv.ras", ras_file(w, h, 8, 1, 1, inv, grey_rows)), w, h, 1,
                                   [&](unsigned i, unsigned j, unsigned) { return 255 - grey(i, j, 0); }));
  // A colour map of 40 entries gives three planes; indices past it are black.
  bytes map(3 * 40);
  for (unsigned k = 0; k < 40; ++k) {
    map[k] = (unsigned char)(k * 5);
    map[40 + k] = (unsigned char)(200 - k);
    map[80 + k] = (unsigned char)(k ^ 0x55);
  }
  const auto index = [](unsigned i, unsigned j) { return (i + 9 * j) % 45; };
  const bytes index_rows = ras_rows(w, h, 1, [&](bytes& d, unsigned i, unsigned j) { d.push_back(index(i, j)); });
  const auto mapped = [&](unsigned i, unsigned j, unsigned p) {
    const unsigned k = index(i, j);
    return k < 40 ? map[p * 40 + k] : 0;
  };
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("map.ras", ras_file(w, h, 8, 1, 1, map, index_rows)), w, h, 3, mapped));
  // The same through the byte encoding, which runs across row ends.
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("map_rle.ras", ras_file(w, h, 8, 2, 1, map, ras_rle(index_rows))), w,
                                   h, 3, mapped));
  // A raw map is skipped.
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("raw_map.ras", ras_file(w, h, 8, 1, 2, bytes(7, 9), grey_rows)), w, h,
                                   1, grey));

  // 24 bits: blue first in standard files, red first in RGB-format files.
  const auto colour = [](unsigned i, unsigned j, unsigned p) { return sample(i, j, p, 5) & 255; };
  const bytes bgr = ras_rows(w, h, 3, [&](bytes& d, unsigned i, unsigned j) {
    for (unsigned p : {2u, 1u, 0u}) d.push_back(colour(i, j, p));
  });
  const bytes rgb = ras_rows(w, h, 3, [&](bytes& d, unsigned i, unsigned j) {
    for (unsigned p : {0u, 1u, 2u}) d.push_back(colour(i, j, p));
  });
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("bgr.ras", ras_file(w, h, 24, 1, 0, {}, bgr)), w, h, 3, colour));
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("rgb.ras", ras_file(w, h, 24, 3, 0, {}, rgb)), w, h, 3, colour));
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("bgr_rle.ras", ras_file(w, h, 24, 2, 0, {}, ras_rle(bgr))), w, h, 3,
                                   colour));
  // 32 bits: a pad byte, then the colour.
  const bytes xbgr = ras_rows(w, h, 4, [&](bytes& d, unsigned i, unsigned j) {
    d.push_back(0x77);
    for (unsigned p : {2u, 1u, 0u}) d.push_back(colour(i, j, p));
  });
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("xbgr.ras", ras_file(w, h, 32, 1, 0, {}, xbgr)), w, h, 3, colour));

  // 1 bit, 11 wide (rows of 2 bytes): a set bit is black.
  const unsigned bw = 11;
  const auto bit = [](unsigned i, unsigned j) { return ((i * 3 + j) % 5) < 2; };
  bytes bits;
  for (unsigned j = 0; j < h; ++j) {
    unsigned char row[2] = {0, 0};
    for (unsigned i = 0; i < bw; ++i)
      if (bit(i, j)) row[i / 8] |= (unsigned char)(0x80 >> (i % 8));
    bits.insert(bits.end(), row, row + 2);
  }
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("bits.ras", ras_file(bw, h, 1, 1, 0, {}, bits)), bw, h, 1,
                                   [&](unsigned i, unsigned j, unsigned) { return bit(i, j) ? 0 : 255; }));
  const bytes two = {10, 250, 20, 240, 30, 230};  // reds, greens, blues
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("bits_map.ras", ras_file(bw, h, 1, 1, 1, two, bits)), bw, h, 3,
                                   [&](unsigned i, unsigned j, unsigned p) { return two[2 * p + bit(i, j)]; }));
}

TEST(VilLoadMoreFormats, SunRasterByteEncoding)
{
  // Hand-encoded: a literal 0x80, a run of 300 (two runs), a run crossing
  // the end of row 0, and a last run longer than the image, which is cut.
  const unsigned w = 200, h = 2;  // rows of 200 bytes
  bytes rle = {0x80, 0x00, 0x80, 0xff, 7, 0x80, 43, 7, 5, 0x80, 0xff, 9};
  bytes want(1, 0x80);
  want.insert(want.end(), 256 + 44, 7);
  want.push_back(5);
  want.resize(w * h, 9);
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("hand.ras", ras_file(w, h, 8, 2, 0, {}, rle)), w, h, 1,
                                   [&](unsigned i, unsigned j, unsigned) { return want[j * w + i]; }));
  // A stream that ends early, or inside an escape, is a truncated file.
  EXPECT_TRUE(refused("short_rle.ras", ras_file(w, h, 8, 2, 0, {}, {0x80, 0xff, 7})));
  EXPECT_TRUE(refused("cut_escape.ras", ras_file(w, h, 8, 2, 0, {}, {1, 2, 0x80})));
  EXPECT_TRUE(refused("cut_run.ras", ras_file(w, h, 8, 2, 0, {}, {1, 2, 0x80, 4})));
}

TEST(VilLoadMoreFormats, HostileSunRasters)
{
  const bytes rows(6 * 3, 1);
  EXPECT_TRUE(refused("trunc.ras", ras_file(5, 3, 8, 1, 0, {}, bytes(rows.begin(), rows.end() - 1))));
  EXPECT_TRUE(refused("header.ras", bytes{0x59, 0xa6, 0x6a, 0x95, 0, 0}));
  EXPECT_TRUE(refused("depth.ras", ras_file(5, 3, 16, 1, 0, {}, rows)));
  EXPECT_TRUE(refused("tiff.ras", ras_file(5, 3, 8, 4, 0, {}, rows)));
  EXPECT_TRUE(refused("maptype.ras", ras_file(5, 3, 8, 1, 3, {}, rows)));
  EXPECT_TRUE(refused("map3.ras", ras_file(5, 3, 8, 1, 1, bytes(4, 0), rows)));     // not r, g, b thirds
  EXPECT_TRUE(refused("bigmap.ras", ras_file(5, 3, 8, 1, 1, bytes(771, 0), rows)));  // more than 256 entries
  bytes lie = ras_file(5, 3, 8, 1, 2, {}, rows);
  lie[31] = 0xff;  // a raw map longer than the file
  EXPECT_TRUE(refused("maplie.ras", lie));
  EXPECT_TRUE(refused("empty.ras", ras_file(0, 3, 8, 1, 0, {}, rows)));
  // 400 MB claimed by a few bytes of runs: more than they could ever expand to.
  const std::string bomb = refusal("bomb.ras", ras_file(20000, 20000, 8, 2, 0, {}, {0x80, 0xff, 7, 0x80, 0xff, 7}));
  EXPECT_NE(bomb.find("truncated"), std::string::npos) << bomb;
  // A header asking for 4 G x 4 G pixels is refused before any allocation.
  const std::string err = refusal("huge.ras", ras_file(0xffffffffu, 0xffffffffu, 24, 2, 0, {}, rows));
  EXPECT_NE(err.find("limit"), std::string::npos) << err;
}

// ---- VIFF ------------------------------------------------------------------

// A 1024-byte header and the bands one after the other; `dep` is the
// machine byte, `big` the order the numbers are really written in.
template <class T>
bytes viff_file(unsigned ni, unsigned nj, unsigned bands, unsigned storage, bool big, unsigned dep,
                const std::vector<T>& samples, const bytes& map = {}, unsigned map_scheme = 0)
{
  bytes b(1024, 0);
  b[0] = 0xab;
  b[1] = 1;
  b[2] = 1;
  b[3] = 3;
  b[4] = (unsigned char)dep;
  std::memcpy(&b[8], "written by the test", 19);
  const auto set = [&](std::size_t at, uint32_t v) {
    for (unsigned k = 0; k < 4; ++k) b[at + k] = (unsigned char)(v >> (8 * (big ? 3 - k : k)));
  };
  set(520, ni);
  set(524, nj);
  set(548, 1);  // implicit locations
  set(556, 1);  // one image
  set(560, bands);
  set(564, storage);
  set(572, map_scheme);
  set(576, map.empty() ? 0 : 1);  // map of bytes
  set(580, map.empty() ? 0 : 3);
  set(584, unsigned(map.size() / 3));
  b.insert(b.end(), map.begin(), map.end());
  for (const T& s : samples) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &s, sizeof(T));
    if (big == (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)) std::reverse(raw, raw + sizeof(T));
    b.insert(b.end(), raw, raw + sizeof(T));
  }
  return b;
}

// Band-sequential samples of want(i, j, p).
template <class T, class F>
std::vector<T> band_samples(unsigned ni, unsigned nj, unsigned np, F want)
{
  std::vector<T> s;
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) s.push_back(T(want(i, j, p)));
  return s;
}

template <class T>
void check_viff_type(unsigned storage, double scale)
{
  const unsigned ni = 6, nj = 4;
  const auto want = [&](unsigned i, unsigned j, unsigned p) { return T(sample(i, j, p, 1) * scale); };
  for (unsigned np : {1u, 3u})
    for (bool big : {true, false}) {
      const std::vector<T> s = band_samples<T>(ni, nj, np, want);
      const std::string name = "t" + std::to_string(storage) + "_" + std::to_string(np) + (big ? "b" : "l") + ".viff";
      EXPECT_TRUE(pixels_are<T>(load_bytes(name, viff_file<T>(ni, nj, np, storage, big, big ? 2 : 8, s)), ni, nj, np,
                                want))
          << name;
      // Some writers mark little-endian files as big-endian; the header tells.
      EXPECT_TRUE(pixels_are<T>(load_bytes("x" + name, viff_file<T>(ni, nj, np, storage, big, 2, s)), ni, nj, np, want))
          << "mislabelled " << name;
    }
}

TEST(VilLoadMoreFormats, ViffSampleTypesBandsAndByteOrders)
{
  check_viff_type<vxl_byte>(1, 1);
  check_viff_type<vxl_uint_16>(2, 251);       // past 8 bits
  check_viff_type<vxl_uint_32>(4, 16777259);  // past 16 bits
  check_viff_type<float>(5, -0.375);
  check_viff_type<double>(9, 1e-300);
  // A colour map (its reds, then its greens, then its blues) gives the
  // indices (1 to 48) their colours; an index past its 40 entries is black.
  bytes map(3 * 40);
  for (unsigned k = 0; k < map.size(); ++k) map[k] = (unsigned char)(k * 7 + 3);
  const auto index = [](unsigned i, unsigned j, unsigned) { return sample(i, j, 0, 1); };
  EXPECT_TRUE(pixels_are<vxl_byte>(
      load_bytes("map.viff", viff_file<vxl_byte>(4, 3, 1, 1, true, 2, band_samples<vxl_byte>(4, 3, 1, index), map, 1)),
      4, 3, 3, [&](unsigned i, unsigned j, unsigned p) {
        const unsigned k = index(i, j, 0);
        return k < 40 ? map[p * 40 + k] : 0;
      }));
}

TEST(VilLoadMoreFormats, HostileViffFiles)
{
  const std::vector<vxl_byte> s(12, 1);
  EXPECT_TRUE(refused("short.viff", bytes{0xab, 1, 1, 3, 2, 0, 0, 0}));
  bytes trunc = viff_file<vxl_byte>(4, 3, 1, 1, true, 2, s);
  trunc.pop_back();
  EXPECT_TRUE(refused("trunc.viff", trunc));
  EXPECT_TRUE(refused("bit.viff", viff_file<vxl_byte>(4, 3, 1, 0, true, 2, s)));
  EXPECT_TRUE(refused("complex.viff", viff_file<float>(4, 3, 1, 6, true, 2, std::vector<float>(24))));
  bytes encoded = viff_file<vxl_byte>(4, 3, 1, 1, true, 2, s);
  encoded[571] = 1;
  EXPECT_TRUE(refused("encoded.viff", encoded));
  EXPECT_TRUE(refused("cray.viff", viff_file<vxl_byte>(4, 3, 1, 1, true, 0x10, s)));
  EXPECT_TRUE(refused("nobands.viff", viff_file<vxl_byte>(4, 3, 0, 1, true, 2, s)));
  bytes maplie = viff_file<vxl_byte>(4, 3, 1, 1, true, 2, s, {}, 1);
  maplie[579] = 1;
  maplie[580] = maplie[584] = 0xff;  // a 4 G x 4 G colour map
  EXPECT_TRUE(refused("maplie.viff", maplie));
  const std::string err = refusal("huge.viff", viff_file<vxl_byte>(0xffffffu, 0xffffffu, 3, 9, true, 2, s));
  EXPECT_NE(err.find("limit"), std::string::npos) << err;
}

// ---- MIT -------------------------------------------------------------------

bytes mit_file(unsigned type, unsigned bits, unsigned ni, unsigned nj, const std::vector<unsigned>& samples)
{
  bytes b;
  for (unsigned v : {type, bits, ni, nj}) put_le(b, v, 2);
  for (unsigned s : samples) put_le(b, s, bits / 8);
  return b;
}

TEST(VilLoadMoreFormats, MitGreyColourAndSixteenBits)
{
  const unsigned ni = 7, nj = 3;
  for (unsigned bits : {8u, 16u})
    for (unsigned np : {1u, 3u}) {
      const auto want = [&](unsigned i, unsigned j, unsigned p) { return sample(i, j, p, bits == 8 ? 1 : 997) % (1u << bits); };
      std::vector<unsigned> s;  // the samples of a pixel together
      for (unsigned j = 0; j < nj; ++j)
        for (unsigned i = 0; i < ni; ++i)
          for (unsigned p = 0; p < np; ++p) s.push_back(want(i, j, p));
      const vil_image_view_base_sptr im = load_bytes("m.mit", mit_file(np == 3 ? 2 : 1, bits, ni, nj, s));
      if (bits == 8) EXPECT_TRUE(pixels_are<vxl_byte>(im, ni, nj, np, want)) << np;
      else EXPECT_TRUE(pixels_are<vxl_uint_16>(im, ni, nj, np, want)) << np;
    }
  // Without a magic number the length decides: one byte short or long is
  // not a MIT file.
  bytes b = mit_file(1, 8, 4, 2, std::vector<unsigned>(8, 3));
  EXPECT_TRUE(load_bytes("ok.mit", b));
  b.push_back(0);
  EXPECT_NE(refusal("long.mit", b).find("unknown"), std::string::npos);
  b.resize(b.size() - 2);
  EXPECT_TRUE(refused("short.mit", b));
  // Other types and depths are not this reader's; nothing else claims them.
  EXPECT_TRUE(refused("hsb.mit", mit_file(3, 8, 4, 2, std::vector<unsigned>(24, 3))));
  EXPECT_TRUE(refused("bits.mit", mit_file(1, 12, 4, 2, {})));
  EXPECT_TRUE(refused("empty.mit", mit_file(1, 8, 0, 2, {})));
  // A Sun raster or SGI file is never taken for a MIT one.
  const unsigned char head[] = {1, 0, 8, 0, 1, 0, 1, 0};
  EXPECT_TRUE(vil_mit_probe(head, sizeof head));
  EXPECT_FALSE(vil_mit_probe(head, 7));
}

// ---- SGI -------------------------------------------------------------------

bytes sgi_header(unsigned storage, unsigned bpc, unsigned dimension, unsigned ni, unsigned nj, unsigned nz)
{
  bytes b;
  put_be(b, 474, 2);
  b.push_back((unsigned char)storage);
  b.push_back((unsigned char)bpc);
  for (unsigned v : {dimension, ni, nj, nz}) put_be(b, v, 2);
  put_be(b, 0, 4);
  put_be(b, bpc == 1 ? 255 : 65535, 4);
  b.resize(512, 0);
  return b;
}

// Runs of 3 or more repeat, the rest go as literal groups of up to 127.
bytes sgi_rle_line(const std::vector<unsigned>& s, unsigned bpc)
{
  bytes out;
  std::size_t k = 0;
  while (k < s.size()) {
    std::size_t n = 1;
    while (k + n < s.size() && s[k + n] == s[k] && n < 127) ++n;
    if (n >= 3) {
      put_be(out, n, bpc);
      put_be(out, s[k], bpc);
      k += n;
      continue;
    }
    std::size_t e = k;
    while (e < s.size() && e - k < 127 && !(e + 2 < s.size() && s[e] == s[e + 1] && s[e] == s[e + 2])) ++e;
    put_be(out, 0x80 | (e - k), bpc);
    for (; k < e; ++k) put_be(out, s[k], bpc);
  }
  put_be(out, 0, bpc);
  return out;
}

// An SGI file of want(i, j, p) (j counted from the top, as in the view).
template <class F>
bytes sgi_file(bool rle, unsigned bpc, unsigned ni, unsigned nj, unsigned nz, F want)
{
  bytes b = sgi_header(rle ? 1 : 0, bpc, nz > 1 ? 3 : 2, ni, nj, nz);
  std::vector<bytes> lines;
  for (unsigned z = 0; z < nz; ++z)
    for (unsigned y = 0; y < nj; ++y) {
      std::vector<unsigned> s;
      for (unsigned i = 0; i < ni; ++i) s.push_back(want(i, nj - 1 - y, z));
      if (rle) {
        lines.push_back(sgi_rle_line(s, bpc));
      } else {
        for (unsigned v : s) put_be(b, v, bpc);
      }
    }
  if (!rle) return b;
  // Tables, then the lines in reverse order, so offsets really matter.
  std::size_t at = 512 + 8 * lines.size(), end = at;
  for (const bytes& l : lines) end += l.size();
  std::vector<std::size_t> start(lines.size());
  for (std::size_t r = lines.size(); r-- > 0;) {
    start[r] = at;
    at += lines[r].size();
  }
  for (std::size_t r = 0; r < lines.size(); ++r) put_be(b, start[r], 4);
  for (std::size_t r = 0; r < lines.size(); ++r) put_be(b, lines[r].size(), 4);
  for (std::size_t r = lines.size(); r-- > 0;) b.insert(b.end(), lines[r].begin(), lines[r].end());
  EXPECT_EQ(b.size(), end);
  return b;
}

TEST(VilLoadMoreFormats, SgiVerbatimAndRunLengthEncoded)
{
  const unsigned ni = 300, nj = 5;  // long enough for runs and literal groups past 127
  for (bool rle : {false, true})
    for (unsigned bpc : {1u, 2u})
      for (unsigned nz = 1; nz <= 4; ++nz) {
        const auto want = [&](unsigned i, unsigned j, unsigned p) {
          const unsigned v = (i / 40) % 2 ? 77 + j + p : sample(i, j, p, bpc == 1 ? 1 : 263);
          return v % (bpc == 1 ? 256u : 65536u);
        };
        const vil_image_view_base_sptr im = load_bytes("s.sgi", sgi_file(rle, bpc, ni, nj, nz, want));
        if (bpc == 1) EXPECT_TRUE(pixels_are<vxl_byte>(im, ni, nj, nz, want)) << rle << ' ' << nz;
        else EXPECT_TRUE(pixels_are<vxl_uint_16>(im, ni, nj, nz, want)) << rle << ' ' << nz;
      }
  // Dimension 1 is a single row, whatever the other sizes say.
  bytes one = sgi_header(0, 1, 1, 4, 9, 9);
  for (unsigned v : {5, 6, 7, 8}) one.push_back((unsigned char)v);
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("one.sgi", one), 4, 1, 1, [](unsigned i, unsigned, unsigned) { return 5 + i; }));
}

TEST(VilLoadMoreFormats, HostileSgiFiles)
{
  const auto flat = [](unsigned, unsigned, unsigned) { return 9u; };
  const bytes good = sgi_file(true, 1, 6, 3, 1, flat);
  ASSERT_TRUE(load_bytes("good.sgi", good));
  EXPECT_TRUE(refused("header.sgi", bytes(good.begin(), good.begin() + 100)));
  EXPECT_TRUE(refused("tables.sgi", bytes(good.begin(), good.begin() + 520)));
  EXPECT_TRUE(refused("lines.sgi", bytes(good.begin(), good.end() - 1)));
  bytes b = good;
  b[512] = 0x7f;  // first line starts far past the end
  EXPECT_TRUE(refused("offset.sgi", b));
  b = good;
  b[512 + 3] = 10;  // ... or inside the header
  b[512 + 2] = 0;
  EXPECT_TRUE(refused("inheader.sgi", b));
  b = good;
  b[512 + 12 + 3] = 200;  // a line length no valid line needs
  EXPECT_TRUE(refused("length.sgi", b));
  // Runs that overfill the row, or end before it is full.
  bytes over = sgi_header(1, 1, 2, 4, 1, 1);
  for (unsigned v : {0, 0, 2, 8, 0, 0, 0, 3}) over.push_back((unsigned char)v);
  for (unsigned v : {0x05, 1, 0}) over.push_back((unsigned char)v);
  EXPECT_TRUE(refused("overfill.sgi", over));
  over[520] = 0x03;
  EXPECT_TRUE(refused("underfill.sgi", over));
  over[520] = 0x84;  // four literals promised, one present
  EXPECT_TRUE(refused("literals.sgi", over));
  over[520] = 0x04;
  EXPECT_TRUE(load_bytes("fixed.sgi", over));
  EXPECT_TRUE(refused("storage.sgi", sgi_header(2, 1, 2, 4, 1, 1)));
  EXPECT_TRUE(refused("bpc.sgi", sgi_header(0, 4, 2, 4, 1, 1)));
  EXPECT_TRUE(refused("dim.sgi", sgi_header(0, 1, 4, 4, 1, 1)));
  EXPECT_TRUE(refused("channels.sgi", sgi_header(0, 1, 3, 4, 1, 5)));
  EXPECT_TRUE(refused("nochannels.sgi", sgi_header(0, 1, 3, 4, 1, 0)));
  bytes cmap = sgi_header(0, 1, 2, 1, 1, 1);
  cmap[107] = 3;
  cmap.push_back(1);
  EXPECT_TRUE(refused("colormap.sgi", cmap));
  // Sizes are checked against the file before the image is allocated.
  EXPECT_NE(refusal("bigverbatim.sgi", sgi_header(0, 1, 3, 20000, 20000, 1)).find("truncated"), std::string::npos);
  EXPECT_NE(refusal("bigrle.sgi", sgi_header(1, 1, 3, 20000, 20000, 1)).find("truncated"), std::string::npos);
}

// ---- NITF ------------------------------------------------------------------

struct nitf_spec
{
  std::string version = "NITF02.10";  // or "NITF02.00", "NSIF01.00"
  unsigned nrows = 7, ncols = 5, nbands = 3, nbpp = 8;
  std::string pvtype = "INT", ic = "NC", imode = "B";
  unsigned nppbh = 2, nppbv = 3;  // 0: one block over the whole image
  bool downgrade = false;         // 2.0: "999998" and a downgrade event
  std::string icords = " ";
  unsigned comments = 0;
  bool luts = false;
  bool xbands = false;  // 2.1: NBANDS 0 and the count in XBANDS
};

std::string padded(const std::string& s, std::size_t n) { return (s + std::string(n, ' ')).substr(0, n); }
std::string digits(unsigned long long v, std::size_t n)
{
  std::string s = std::to_string(v);
  return std::string(n > s.size() ? n - s.size() : 0, '0') + s;
}

// Packs samples of nbpp bits, big-endian, padding to a byte at block ends.
struct bit_writer
{
  bytes out;
  unsigned used = 0;  // bits used in the last byte
  void put(uint64_t v, unsigned bits)
  {
    if (bits % 8 == 0 && used == 0) {
      put_be(out, v, bits / 8);
      return;
    }
    for (unsigned k = bits; k-- > 0;) {
      if (used == 0) out.push_back(0);
      if ((v >> k) & 1) out.back() |= (unsigned char)(0x80 >> used);
      used = (used + 1) % 8;
    }
  }
  void pad() { used = 0; }
};

// The image data of want(i, j, p) (raw sample bits) in the order the mode stores it.
template <class F>
bytes nitf_pixels(const nitf_spec& s, F want)
{
  const unsigned bh = s.nppbh ? s.nppbh : s.ncols, bv = s.nppbv ? s.nppbv : s.nrows;
  const unsigned nbpr = (s.ncols + bh - 1) / bh, nbpc = (s.nrows + bv - 1) / bv;
  bit_writer w;
  const auto at = [&](unsigned bx, unsigned by, unsigned r, unsigned c, unsigned p) {
    const unsigned i = bx * bh + c, j = by * bv + r;
    w.put(i < s.ncols && j < s.nrows ? want(i, j, p) : 0x5a5a5a5a5a5a5a5aull & ((2ull << (s.nbpp - 1)) - 1), s.nbpp);
  };
  const char mode = s.nbands == 1 ? 'B' : s.imode[0];
  if (mode == 'S') {
    for (unsigned p = 0; p < s.nbands; ++p)
      for (unsigned by = 0; by < nbpc; ++by)
        for (unsigned bx = 0; bx < nbpr; ++bx, w.pad())
          for (unsigned r = 0; r < bv; ++r)
            for (unsigned c = 0; c < bh; ++c) at(bx, by, r, c, p);
    return w.out;
  }
  for (unsigned by = 0; by < nbpc; ++by)
    for (unsigned bx = 0; bx < nbpr; ++bx, w.pad()) {
      if (mode == 'B') {
        for (unsigned p = 0; p < s.nbands; ++p, w.pad())
          for (unsigned r = 0; r < bv; ++r)
            for (unsigned c = 0; c < bh; ++c) at(bx, by, r, c, p);
      } else if (mode == 'P') {
        for (unsigned r = 0; r < bv; ++r)
          for (unsigned c = 0; c < bh; ++c)
            for (unsigned p = 0; p < s.nbands; ++p) at(bx, by, r, c, p);
      } else {  // 'R'
        for (unsigned r = 0; r < bv; ++r)
          for (unsigned p = 0; p < s.nbands; ++p)
            for (unsigned c = 0; c < bh; ++c) at(bx, by, r, c, p);
      }
    }
  return w.out;
}

bytes nitf_file(const nitf_spec& s, const bytes& data)
{
  const bool v20 = s.version == "NITF02.00";
  const std::string security21 = "U" + std::string(166, ' ');
  // Image subheader.
  std::string im = "IM" + padded("test", 10) + "20240101000000" + std::string(17, ' ') + padded("title", 80);
  if (v20) {
    im += "U" + std::string(40 * 3 + 20 * 2, ' ');
    im += s.downgrade ? "999998" + padded("downgrade event", 40) : std::string(6, ' ');
  } else {
    im += security21;
  }
  im += "0" + padded("written by the test", 42) + digits(s.nrows, 8) + digits(s.ncols, 8) + padded(s.pvtype, 3) +
        padded(s.nbands == 3 ? "RGB" : "MONO", 8) + padded("VIS", 8) + digits(s.nbpp, 2) + "R" + s.icords;
  if (s.icords != " " && !(v20 && s.icords == "N")) im += std::string(60, '0');
  im += digits(s.comments, 1);
  for (unsigned k = 0; k < s.comments; ++k) im += padded("comment " + std::to_string(k), 80);
  im += s.ic;
  if (s.ic != "NC" && s.ic != "NM") im += "1.00";
  im += s.xbands ? "0" + digits(s.nbands, 5) : digits(s.nbands, 1);
  for (unsigned b = 0; b < s.nbands; ++b) {
    im += padded(b < 3 && s.nbands == 3 ? std::string(1, "RGB"[b]) : "M", 2) + std::string(6, ' ') + "N   ";
    if (s.luts) im += "2" + digits(3, 5) + "abc" + "xyz";  // two tables of three entries
    else im += "0";
  }
  const unsigned bh = s.nppbh ? s.nppbh : s.ncols, bv = s.nppbv ? s.nppbv : s.nrows;
  im += "0" + s.imode + digits((s.ncols + bh - 1) / bh, 4) + digits((s.nrows + bv - 1) / bv, 4) +
        digits(s.nppbh, 4) + digits(s.nppbv, 4) + digits(s.nbpp, 2) + "001000" + "0000000000" + "1.0 " +
        "00000" + "00000";
  // File header.
  std::string fh = s.version + "03" + "BF01" + padded("station", 10) + "20240101000000" + padded("file", 80);
  if (v20) {
    fh += "U" + std::string(40 * 3 + 20 * 2, ' ');
    fh += s.downgrade ? "999998" + padded("downgrade event", 40) : std::string(6, ' ');
    fh += "00000000000" + padded("originator", 27) + std::string(18, ' ');
  } else {
    fh += security21 + "00000000000" + "\x01\x02\x03" + padded("originator", 24) + std::string(18, ' ');
  }
  const std::size_t hl = fh.size() + 12 + 6 + 3 + 6 + 10 + 3 * 5 + 5 + 5;
  const std::size_t fl = hl + im.size() + data.size();
  fh += digits(fl, 12) + digits(hl, 6) + "001" + digits(im.size(), 6) + digits(data.size(), 10) +
        "000000000000000" + "00000" + "00000";
  EXPECT_EQ(fh.size(), hl);
  bytes b(fh.begin(), fh.end());
  b.insert(b.end(), im.begin(), im.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

TEST(VilLoadMoreFormats, NitfInterleaveModesAndBlocks)
{
  const auto want = [](unsigned i, unsigned j, unsigned p) { return sample(i, j, p, 3) & 255; };
  for (const char* version : {"NITF02.10", "NITF02.00", "NSIF01.00"})
    for (const char* mode : {"B", "P", "R", "S"})
      for (unsigned blocks : {0u, 1u, 2u}) {
        nitf_spec s;
        s.version = version;
        s.imode = mode;
        if (blocks == 0) s.nppbh = s.nppbv = 0;      // one block, sized by the image
        if (blocks == 2) s.nppbh = 5, s.nppbv = 7;   // one block, sized explicitly
        const std::string what = std::string(version) + " " + mode + " " + std::to_string(blocks);
        EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("m.nitf", nitf_file(s, nitf_pixels(s, want))), 5, 7, 3, want))
            << what;
        // Bits: blocks (and in modes B and S each band's block) end on a byte.
        s.pvtype = "B";
        s.nbpp = 1;
        const auto bit = [&](unsigned i, unsigned j, unsigned p) { return want(i, j, p) & 1; };
        EXPECT_TRUE(pixels_are<bool>(load_bytes("m1.nitf", nitf_file(s, nitf_pixels(s, bit))), 5, 7, 3, bit))
            << what << " bits";
      }
}

TEST(VilLoadMoreFormats, NitfSampleTypes)
{
  struct type_case
  {
    const char* pvtype;
    unsigned nbpp;
  };
  const auto pattern = [](unsigned i, unsigned j, unsigned p) {
    return uint64_t(sample(i, j, p, 1)) * 0x0101010101010101ull ^ 0x8040201008040201ull;
  };
  nitf_spec s;
  s.nbands = 2;
  s.imode = "P";
  for (const type_case& t : {type_case{"INT", 16}, type_case{"SI", 16}, type_case{"INT", 32}, type_case{"SI", 32},
                             type_case{"R", 32}, type_case{"R", 64}, type_case{"SI", 8}, type_case{"B", 1},
                             type_case{"INT", 1}}) {
    s.pvtype = t.pvtype;
    s.nbpp = t.nbpp;
    const uint64_t mask = t.nbpp == 64 ? ~0ull : (1ull << t.nbpp) - 1;
    const auto want = [&](unsigned i, unsigned j, unsigned p) { return pattern(i, j, p) & mask; };
    const vil_image_view_base_sptr im = load_bytes("t.nitf", nitf_file(s, nitf_pixels(s, want)));
    const std::string what = std::string(t.pvtype) + std::to_string(t.nbpp);
    ASSERT_TRUE(im) << what;
    // Compare the bits of each sample with what was written.
    const auto bits_are = [&](auto zero) {
      typedef decltype(zero) T;
      const vil_image_view<T> v = im;
      ASSERT_EQ(v.nplanes(), 2u) << what;
      for (unsigned p = 0; p < 2; ++p)
        for (unsigned j = 0; j < 7; ++j)
          for (unsigned i = 0; i < 5; ++i) {
            uint64_t got = 0;
            std::memcpy(&got, &v(i, j, p), sizeof(T));
            ASSERT_EQ(got & mask, want(i, j, p)) << what << ' ' << i << ',' << j << ',' << p;
          }
    };
    if (t.nbpp == 1) {
      const vil_image_view<bool> v = im;
      ASSERT_EQ(v.size(), 70u) << what;
      for (unsigned j = 0; j < 7; ++j) EXPECT_EQ(v(1, j, 1), bool(want(1, j, 1))) << what;
    } else if (what == "INT16") bits_are(vxl_uint_16());
    else if (what == "SI16") bits_are(vxl_int_16());
    else if (what == "INT32") bits_are(vxl_uint_32());
    else if (what == "SI32") bits_are(vxl_int_32());
    else if (what == "R32") bits_are(float());
    else if (what == "R64") bits_are(double());
    else if (what == "SI8") bits_are(vxl_sbyte());
  }
}

// Band-sequential 1-bit samples pad each band's block to whole bytes: the
// data holds more than one padded block of all bands, and all of it is read.
TEST(VilLoadMoreFormats, NitfBandSequentialBitsPadEachBand)
{
  nitf_spec s;
  s.pvtype = "B";
  s.nbpp = 1;
  s.imode = "S";
  s.nppbh = s.nppbv = 1;  // one-pixel blocks: a bit, padded to a byte, per band
  const auto want = [](unsigned i, unsigned j, unsigned p) { return uint64_t((i * 3 + j * 5 + p) % 3 == 0); };
  const vil_image_view_base_sptr im = load_bytes("s1.nitf", nitf_file(s, nitf_pixels(s, want)));
  ASSERT_TRUE(im);
  const vil_image_view<bool> v = im;
  ASSERT_EQ(v.nplanes(), 3u);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < 7; ++j)
      for (unsigned i = 0; i < 5; ++i) ASSERT_EQ(v(i, j, p), bool(want(i, j, p))) << i << ',' << j << ',' << p;
}

TEST(VilLoadMoreFormats, NitfHeaderVariants)
{
  const auto want = [](unsigned i, unsigned j, unsigned p) { return (sample(i, j, p, 11) + 3) & 255; };
  nitf_spec s;
  s.nbands = 1;
  s.imode = "B";
  const auto check = [&](const char* what) {
    EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("v.nitf", nitf_file(s, nitf_pixels(s, want))), 5, 7, 1, want))
        << what;
  };
  s.version = "NITF02.00";
  s.downgrade = true;
  s.icords = "N";  // 2.0: no coordinates
  check("2.0 downgrade");
  s.icords = "G";
  s.comments = 3;
  check("2.0 geographic, comments");
  s.version = "NITF02.10";
  s.downgrade = false;
  s.icords = "N";  // 2.1: UTM north, with coordinates
  s.luts = true;
  check("2.1 UTM, look-up tables");
  s.nbands = 3;
  s.xbands = true;
  const auto colour = [&](unsigned i, unsigned j, unsigned p) { return want(i, j, p); };
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("x.nitf", nitf_file(s, nitf_pixels(s, colour))), 5, 7, 3, colour));
  // A data length larger than the file is forgiven when the pixels are all there.
  s = nitf_spec();
  bytes b = nitf_file(s, nitf_pixels(s, want));
  const std::string li = "0000099999";
  const std::size_t li_at = 363 + 6;
  std::copy(li.begin(), li.end(), b.begin() + li_at);
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("li.nitf", b), 5, 7, 3, want));
}

TEST(VilLoadMoreFormats, NitfMaskedBlocks)
{
  // Nine 2 x 3 blocks per band; the mask stores them in reverse and leaves
  // out the middle one (of band 1, in mode S), which reads as 0.
  const auto want = [](unsigned i, unsigned j, unsigned p) { return 1 + (sample(i, j, p, 5) % 250); };
  for (const char* mode : {"B", "S"}) {
    nitf_spec s;
    s.ic = "NM";
    s.imode = mode;
    const bytes plain = nitf_pixels(s, want);
    const bool per_band = mode[0] == 'S';
    const unsigned entries = per_band ? 27 : 9, unit = per_band ? 6 : 18;
    const unsigned gone = per_band ? 9 + 4 : 4;
    bytes data;
    const unsigned table = 10 + 4 * entries;
    put_be(data, table, 4);  // IMDATOFF
    put_be(data, 4, 2);      // BMRLNTH
    put_be(data, 0, 2);      // TMRLNTH
    put_be(data, 0, 2);      // TPXCDLNTH
    bytes pixels;
    std::vector<uint32_t> offset(entries, 0xffffffffu);
    for (unsigned e = entries; e-- > 0;) {
      if (e == gone) continue;
      offset[e] = uint32_t(pixels.size());
      pixels.insert(pixels.end(), plain.begin() + e * unit, plain.begin() + (e + 1) * unit);
    }
    for (uint32_t o : offset) put_be(data, o, 4);
    data.insert(data.end(), pixels.begin(), pixels.end());
    const auto masked = [&](unsigned i, unsigned j, unsigned p) {
      const unsigned block = (j / 3) * 3 + i / 2;
      return block == 4 && (!per_band || p == 1) ? 0u : want(i, j, p);
    };
    EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("nm.nitf", nitf_file(s, data)), 5, 7, 3, masked)) << mode;
    // A block offset past the data is refused.
    data[10 + 3] = 0xf0;
    EXPECT_TRUE(refused("nm_bad.nitf", nitf_file(s, data))) << mode;
  }
}

TEST(VilLoadMoreFormats, HostileNitfFiles)
{
  nitf_spec s;
  const auto want = [](unsigned, unsigned, unsigned) { return 1u; };
  const bytes good = nitf_file(s, nitf_pixels(s, want));
  ASSERT_TRUE(load_bytes("good.nitf", good));
  EXPECT_TRUE(refused("data.nitf", bytes(good.begin(), good.end() - 1)));
  EXPECT_TRUE(refused("sub.nitf", bytes(good.begin(), good.begin() + 600)));
  EXPECT_TRUE(refused("head.nitf", bytes(good.begin(), good.begin() + 300)));
  EXPECT_TRUE(refused("version.nitf", [&] { bytes b = good; b[5] = '1'; return b; }()));
  EXPECT_TRUE(refused("digits.nitf", [&] { bytes b = good; b[355] = 'x'; return b; }()));   // HL
  EXPECT_TRUE(refused("noimage.nitf", [&] { bytes b = good; b[362] = '0'; return b; }()));  // NUMI
  EXPECT_TRUE(refused("offset.nitf", [&] { bytes b = good; b[354] = '9'; return b; }()));   // HL past the end
  // Bits in mode S: each band's block takes whole bytes, 3 x 4 of them here.
  s.pvtype = "B";
  s.nbpp = 1;
  s.imode = "S";
  s.ncols = s.nrows = 3;  // 2 x 2 blocks of 2 x 2
  s.nppbh = s.nppbv = 2;
  EXPECT_TRUE(load_bytes("bits_s.nitf", nitf_file(s, bytes(12, 0xff))));
  EXPECT_TRUE(refused("bits_s_short.nitf", nitf_file(s, bytes(11, 0xff))));
  s = nitf_spec();
  s.ic = "C8";
  EXPECT_NE(refusal("j2k.nitf", nitf_file(s, bytes(100, 0))).find("compressed"), std::string::npos);
  s = nitf_spec();
  s.nbpp = 12;
  EXPECT_TRUE(refused("12bit.nitf", nitf_file(s, bytes(200, 0))));
  s = nitf_spec();
  s.pvtype = "C";
  s.nbpp = 64;
  EXPECT_TRUE(refused("complex.nitf", nitf_file(s, bytes(2000, 0))));
  s = nitf_spec();
  s.imode = "X";
  EXPECT_TRUE(refused("mode.nitf", nitf_file(s, bytes(200, 0))));
  s = nitf_spec();
  s.nppbh = 1;  // blocks per row are computed for 2-wide blocks below
  bytes narrow = nitf_file(s, bytes(200, 0));
  EXPECT_TRUE(load_bytes("narrow.nitf", narrow));
  s.nrows = s.ncols = 99999999;
  s.nppbh = s.nppbv = 0;
  const std::string err = refusal("huge.nitf", nitf_file(s, bytes(10, 0)));
  EXPECT_NE(err.find("limit"), std::string::npos) << err;
}

// ---- JPEG 2000 ---------------------------------------------------------------

struct j2k_component
{
  unsigned prec = 8;
  bool sgnd = false;
  unsigned dx = 1, dy = 1;
};

// An encoder's output stream into memory.
struct memory_sink
{
  bytes data;
  std::size_t pos = 0;
};

OPJ_SIZE_T sink_write(void* buf, OPJ_SIZE_T n, void* user)
{
  memory_sink* s = static_cast<memory_sink*>(user);
  if (s->data.size() < s->pos + n) s->data.resize(s->pos + n);
  std::memcpy(s->data.data() + s->pos, buf, n);
  s->pos += n;
  return n;
}

OPJ_OFF_T sink_skip(OPJ_OFF_T n, void* user)
{
  static_cast<memory_sink*>(user)->pos += std::size_t(n);
  return n;
}

OPJ_BOOL sink_seek(OPJ_OFF_T to, void* user)
{
  static_cast<memory_sink*>(user)->pos = std::size_t(to);
  return OPJ_TRUE;
}

// Encodes want(i, j, p) losslessly (reversible 5/3 wavelet) with libopenjp2
// into a codestream or a JP2 file and returns its bytes.
template <class F>
bytes j2k_encode(bool jp2, unsigned ni, unsigned nj, const std::vector<j2k_component>& comps,
                 OPJ_COLOR_SPACE space, F want)
{
  std::vector<opj_image_cmptparm_t> parms(comps.size());
  for (std::size_t p = 0; p < comps.size(); ++p) {
    std::memset(&parms[p], 0, sizeof parms[p]);
    parms[p].dx = comps[p].dx;
    parms[p].dy = comps[p].dy;
    parms[p].w = (ni + comps[p].dx - 1) / comps[p].dx;
    parms[p].h = (nj + comps[p].dy - 1) / comps[p].dy;
    parms[p].prec = comps[p].prec;
    parms[p].sgnd = comps[p].sgnd;
  }
  opj_image_t* im = opj_image_create(OPJ_UINT32(comps.size()), parms.data(), space);
  EXPECT_TRUE(im);
  if (!im) return {};
  im->x0 = im->y0 = 0;
  im->x1 = ni;
  im->y1 = nj;
  for (std::size_t p = 0; p < comps.size(); ++p)
    for (unsigned j = 0; j < parms[p].h; ++j)
      for (unsigned i = 0; i < parms[p].w; ++i)
        im->comps[p].data[j * parms[p].w + i] = OPJ_INT32(want(i, j, unsigned(p)));
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  cp.tcp_numlayers = 1;
  cp.tcp_rates[0] = 0;  // lossless
  cp.cp_disto_alloc = 1;
  cp.numresolution = 2;
  cp.tcp_mct = comps.size() >= 3 && space == OPJ_CLRSPC_SRGB ? 1 : 0;
  memory_sink sink;
  opj_codec_t* codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  opj_stream_t* out = opj_stream_create(1 << 16, OPJ_FALSE);
  opj_stream_set_user_data(out, &sink, nullptr);
  opj_stream_set_write_function(out, sink_write);
  opj_stream_set_skip_function(out, sink_skip);
  opj_stream_set_seek_function(out, sink_seek);
  const bool ok = codec && out && opj_setup_encoder(codec, &cp, im) && opj_start_compress(codec, im, out) &&
                  opj_encode(codec, out) && opj_end_compress(codec, out);
  EXPECT_TRUE(ok);
  opj_stream_destroy(out);
  opj_destroy_codec(codec);
  opj_image_destroy(im);
  return sink.data;
}

TEST(VilLoadMoreFormats, Jpeg2000GreyColourAndDepths)
{
  const unsigned ni = 37, nj = 21;
  const j2k_component c8, c12{12, false, 1, 1}, c16{16, false, 1, 1}, s8{8, true, 1, 1};
  for (bool jp2 : {false, true}) {
    const auto grey = [](unsigned i, unsigned j, unsigned) { return (i * 7 + j * 13) % 256; };
    EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("g.j2k", j2k_encode(jp2, ni, nj, {c8}, OPJ_CLRSPC_GRAY, grey)), ni,
                                     nj, 1, grey))
        << jp2;
    const auto colour = [](unsigned i, unsigned j, unsigned p) { return (i * 7 + j * 13 + p * 101) % 256; };
    EXPECT_TRUE(pixels_are<vxl_byte>(
        load_bytes("c.j2k", j2k_encode(jp2, ni, nj, {c8, c8, c8}, OPJ_CLRSPC_SRGB, colour)), ni, nj, 3, colour))
        << jp2;
    EXPECT_TRUE(pixels_are<vxl_byte>(
        load_bytes("a.j2k", j2k_encode(jp2, ni, nj, {c8, c8, c8, c8}, OPJ_CLRSPC_SRGB, colour)), ni, nj, 4, colour))
        << jp2;
    const auto deep = [](unsigned i, unsigned j, unsigned p) { return (i * 1700 + j * 2900 + p * 7) % 65536; };
    EXPECT_TRUE(pixels_are<vxl_uint_16>(
        load_bytes("d.j2k", j2k_encode(jp2, ni, nj, {c16, c16, c16}, OPJ_CLRSPC_SRGB, deep)), ni, nj, 3, deep))
        << jp2;
    const auto twelve = [&](unsigned i, unsigned j, unsigned p) { return deep(i, j, p) % 4096; };
    EXPECT_TRUE(pixels_are<vxl_uint_16>(
        load_bytes("t.j2k", j2k_encode(jp2, ni, nj, {c12}, OPJ_CLRSPC_GRAY, twelve)), ni, nj, 1, twelve))
        << jp2;
    const auto sgn = [](unsigned i, unsigned j, unsigned) { return int((i * 7 + j * 13) % 256) - 128; };
    EXPECT_TRUE(pixels_are<vxl_sbyte>(load_bytes("s.j2k", j2k_encode(jp2, ni, nj, {s8}, OPJ_CLRSPC_GRAY, sgn)), ni,
                                      nj, 1, sgn))
        << jp2;
    // Signed with unsigned: signed bytes, the unsigned values above 127 clamped.
    const auto mixed = [&](unsigned i, unsigned j, unsigned p) { return p == 0 ? int(grey(i, j, 0)) : sgn(i, j, 0); };
    EXPECT_TRUE(pixels_are<vxl_sbyte>(
        load_bytes("m.j2k", j2k_encode(jp2, ni, nj, {c8, s8}, OPJ_CLRSPC_UNSPECIFIED, mixed)), ni, nj, 2,
        [&](unsigned i, unsigned j, unsigned p) { return std::min(mixed(i, j, p), 127); }))
        << jp2;
  }
}

TEST(VilLoadMoreFormats, Jpeg2000SubsampledAndYcc)
{
  // Chroma at half resolution is repeated over 2 x 2 pixels.
  const unsigned ni = 16, nj = 10;
  const j2k_component full, half{8, false, 2, 2};
  const auto coded = [](unsigned i, unsigned j, unsigned p) { return p == 0 ? 100 + i + j : p == 1 ? 128 : 128 + 9 * i + j; };
  const vil_image_view_base_sptr im = load_bytes(
      "sub.jp2", j2k_encode(true, ni, nj, {full, half, half}, OPJ_CLRSPC_UNSPECIFIED, coded));
  EXPECT_TRUE(pixels_are<vxl_byte>(im, ni, nj, 3, [&](unsigned i, unsigned j, unsigned p) {
    return p == 0 ? coded(i, j, 0) : coded(i / 2, j / 2, p);
  }));
  // sYCC colour turns into RGB: Y 100, Cb 128, Cr 200 is (201, 49, 100).
  const auto ycc = [](unsigned, unsigned, unsigned p) { return p == 0 ? 100 : p == 1 ? 128 : 200; };
  EXPECT_TRUE(pixels_are<vxl_byte>(load_bytes("ycc.jp2", j2k_encode(true, 4, 4, {full, full, full}, OPJ_CLRSPC_SYCC, ycc)),
                                   4, 4, 3, [](unsigned, unsigned, unsigned p) { return p == 0 ? 201 : p == 1 ? 49 : 100; }));
}

TEST(VilLoadMoreFormats, HostileJpeg2000Files)
{
  const auto grey = [](unsigned i, unsigned j, unsigned) { return (i * 7 + j * 13) % 256; };
  for (bool jp2 : {false, true}) {
    const bytes good = j2k_encode(jp2, 40, 30, {j2k_component()}, OPJ_CLRSPC_GRAY, grey);
    ASSERT_TRUE(load_bytes("good.j2k", good));
    // Cut anywhere from the header to the last byte: a null result, one line.
    for (std::size_t n : {std::size_t(13), std::size_t(30), std::size_t(60), good.size() / 2, good.size() - 3})
      EXPECT_TRUE(refused("cut.j2k", bytes(good.begin(), good.begin() + n))) << jp2 << ' ' << n;
  }
  // A codestream whose SIZ asks for 2^32 - 1 square pixels is refused before decoding.
  bytes huge = j2k_encode(false, 8, 8, {j2k_component()}, OPJ_CLRSPC_GRAY, grey);
  for (std::size_t at : {8u, 12u}) huge[at] = huge[at + 1] = huge[at + 2] = huge[at + 3] = 0xff;
  for (std::size_t at : {24u, 28u}) huge[at] = huge[at + 1] = huge[at + 2] = huge[at + 3] = 0xff;  // tile size
  EXPECT_TRUE(refused("huge.j2k", huge));
}

// ---- The shared test files ---------------------------------------------------

typedef bool (*probe_fn)(const unsigned char*, std::size_t);

struct table_row
{
  const char* file;
  probe_fn probe;      // the reader that must claim the file
  const char* format;  // pixel format name
  unsigned ni, nj, np;
  const char* same_as;  // a file of the same picture in another format, or null
};

// VXL's table for these formats (SGI: VXL aborts on all three; they are read
// here), with the same pictures in PNM for the pixel values.
const table_row shared_rows[] = {
    {"ff_grey16bit.iris", vil_sgi_probe, "vxl_uint_16", 5, 3, 1, "ff_grey16bit_raw.pgm"},
    {"ff_grey8bit.iris", vil_sgi_probe, "vxl_byte", 5, 3, 1, "ff_grey8bit_raw.pgm"},
    {"ff_rgb8bit.iris", vil_sgi_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_grey16bit.mit", vil_mit_probe, "vxl_uint_16", 5, 3, 1, "ff_grey16bit_raw.pgm"},
    {"ff_grey8bit.mit", vil_mit_probe, "vxl_byte", 5, 3, 1, "ff_grey8bit_raw.pgm"},
    {"ff_rgb8bit.mit", vil_mit_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_grey8bit_nocol.ras", vil_ras_probe, "vxl_byte", 5, 3, 1, "ff_grey8bit_raw.pgm"},
    {"ff_rgb8bit_indexed.ras", vil_ras_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_rgb8bit_raw.ras", vil_ras_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_grey16bit_bigendian.viff", vil_viff_probe, "vxl_uint_16", 5, 3, 1, "ff_grey16bit_raw.pgm"},
    {"ff_grey16bit_littleendian.viff", vil_viff_probe, "vxl_uint_16", 5, 3, 1, "ff_grey16bit_raw.pgm"},
    {"ff_grey32bit_bigendian.viff", vil_viff_probe, "vxl_uint_32", 5, 3, 1, "ff_grey32bit_littleendian.viff"},
    {"ff_grey32bit_littleendian.viff", vil_viff_probe, "vxl_uint_32", 5, 3, 1, nullptr},
    {"ff_grey8bit_bigendian.viff", vil_viff_probe, "vxl_byte", 5, 3, 1, "ff_grey8bit_raw.pgm"},
    {"ff_grey8bit_littleendian.viff", vil_viff_probe, "vxl_byte", 5, 3, 1, "ff_grey8bit_raw.pgm"},
    {"ff_grey_double_bigendian.viff", vil_viff_probe, "double", 5, 3, 1, "ff_grey_double_littleendian.viff"},
    {"ff_grey_double_littleendian.viff", vil_viff_probe, "double", 5, 3, 1, nullptr},
    {"ff_grey_float_bigendian.viff", vil_viff_probe, "float", 5, 3, 1, "ff_grey_float_littleendian.viff"},
    {"ff_grey_float_littleendian.viff", vil_viff_probe, "float", 5, 3, 1, nullptr},
    {"ff_rgb16bit_bigendian.viff", vil_viff_probe, "vxl_uint_16", 3, 2, 3, "ff_rgb16bit_raw.ppm"},
    {"ff_rgb16bit_littleendian.viff", vil_viff_probe, "vxl_uint_16", 3, 2, 3, "ff_rgb16bit_raw.ppm"},
    {"ff_rgb8bit_bigendian.viff", vil_viff_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_rgb8bit_littleendian.viff", vil_viff_probe, "vxl_byte", 5, 3, 3, "ff_rgb8bit_raw.ppm"},
    {"ff_grey16bit_uncompressed.nitf", vil_nitf_probe, "vxl_uint_16", 256, 256, 1, nullptr},
    // VXL's loader gives a null pointer for this valid 8-bit NITF 2.0 file;
    // it is read here.
    {"ff_grey8bit_uncompressed.nitf", vil_nitf_probe, "vxl_byte", 256, 256, 1, nullptr},
    {"ff_nitf_16bit.nitf", vil_nitf_probe, "vxl_uint_16", 2, 2, 1, nullptr},
    {"ff_nitf_1bit_lut.nsif", vil_nitf_probe, "bool", 4, 4, 1, nullptr},
    {"ff_nitf_32bit.nitf", vil_nitf_probe, "vxl_int_32", 2, 2, 1, nullptr},
    {"ff_nitf_8bit_b.nitf", vil_nitf_probe, "vxl_byte", 4, 4, 3, nullptr},
    // The four interleave modes hold the same picture.
    {"ff_nitf_8bit_p.nitf", vil_nitf_probe, "vxl_byte", 4, 4, 3, "ff_nitf_8bit_b.nitf"},
    {"ff_nitf_8bit_r.nitf", vil_nitf_probe, "vxl_byte", 4, 4, 3, "ff_nitf_8bit_b.nitf"},
    {"ff_nitf_8bit_s.nitf", vil_nitf_probe, "vxl_byte", 4, 4, 3, "ff_nitf_8bit_b.nitf"},
    {"ff_nitf_double.nitf", vil_nitf_probe, "double", 2, 2, 1, nullptr},
    {"ff_nitf_float.nitf", vil_nitf_probe, "float", 2, 2, 1, nullptr},
};

std::string shared(const char* f) { return tessaly_testdata(std::string("images/") + f); }

// Same format, size and bytes of pixel memory, compared sample by sample.
template <class T>
bool same_samples(const vil_image_view_base_sptr& a, const vil_image_view_base_sptr& b)
{
  const vil_image_view<T> x = a, y = b;
  if (x.ni() != y.ni() || x.nj() != y.nj() || x.nplanes() != y.nplanes() || x.size() == 0) return false;
  for (unsigned p = 0; p < x.nplanes(); ++p)
    for (unsigned j = 0; j < x.nj(); ++j)
      for (unsigned i = 0; i < x.ni(); ++i)
        if (std::memcmp(&x(i, j, p), &y(i, j, p), sizeof(T)) != 0) return false;
  return true;
}

bool same_picture(const vil_image_view_base_sptr& a, const vil_image_view_base_sptr& b)
{
  if (!a || !b || a->pixel_format() != b->pixel_format()) return false;
  switch (a->pixel_format()) {
    case VIL_PIXEL_FORMAT_BOOL: return same_samples<bool>(a, b);
    case VIL_PIXEL_FORMAT_BYTE: return same_samples<vxl_byte>(a, b);
    case VIL_PIXEL_FORMAT_UINT_16: return same_samples<vxl_uint_16>(a, b);
    case VIL_PIXEL_FORMAT_INT_32: return same_samples<vxl_int_32>(a, b);
    case VIL_PIXEL_FORMAT_UINT_32: return same_samples<vxl_uint_32>(a, b);
    case VIL_PIXEL_FORMAT_FLOAT: return same_samples<float>(a, b);
    case VIL_PIXEL_FORMAT_DOUBLE: return same_samples<double>(a, b);
    default: return false;
  }
}

void check_table(const table_row* rows, std::size_t n)
{
  for (std::size_t k = 0; k < n; ++k) {
    const table_row& r = rows[k];
    const bytes head = read_file<bytes>(shared(r.file));
    ASSERT_FALSE(head.empty()) << r.file;
    EXPECT_TRUE(r.probe(head.data(), std::min<std::size_t>(head.size(), 132))) << r.file;
    const vil_image_view_base_sptr im = vil_load(shared(r.file));
    ASSERT_TRUE(im) << r.file;
    EXPECT_STREQ(vil_pixel_format_name(im->pixel_format()), r.format) << r.file;
    EXPECT_EQ(im->ni(), r.ni) << r.file;
    EXPECT_EQ(im->nj(), r.nj) << r.file;
    EXPECT_EQ(im->nplanes(), r.np) << r.file;
    ::testing::internal::CaptureStderr();
    const vil_image_view<vxl_byte> as_bytes = im;
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(as_bytes.size() != 0, std::string(r.format) == "vxl_byte") << r.file;
    if (r.same_as) {
      EXPECT_TRUE(same_picture(im, vil_load(shared(r.same_as)))) << r.file << " vs " << r.same_as;
    }
  }
}

TEST(VilLoadMoreFormats, SharedFilesOfTheNewFormats)
{
  TESSALY_REQUIRE_TESTDATA();
  check_table(shared_rows, sizeof shared_rows / sizeof shared_rows[0]);
  // The double files hold values whose bits tell the byte order apart.
  const vil_image_view<double> d = vil_load(shared("ff_grey_double_bigendian.viff"));
  ASSERT_EQ(d.size(), 15u);
  EXPECT_EQ(d(0, 0), 0.0);
  EXPECT_EQ(d(1, 0), 1.0);
  EXPECT_EQ(d(2, 0), -1.0);
  // The 8-bit NITF files hold the colour test picture, 4 wide.
  const vil_image_view<vxl_byte> n = vil_load(shared("ff_nitf_8bit_b.nitf"));
  const vil_image_view<vxl_byte> rgb = vil_load(shared("ff_rgb8bit_raw.ppm"));
  ASSERT_EQ(n.size(), 48u);
  for (unsigned p = 0; p < 3; ++p) {
    EXPECT_EQ(n(1, 0, p), rgb(1, 0, p));
    EXPECT_EQ(n(0, 1, p), rgb(0, 1, p));
    EXPECT_EQ(n(3, 2, p), rgb(3, 2, p));
  }
  // VXL's own JPEG 2000 decoder crashes on this conformance stream; a
  // 3 x 5 grey image here.
  const vil_image_view_base_sptr j = vil_load(shared("p0_12.j2k"));
  ASSERT_TRUE(j);
  EXPECT_EQ(j->pixel_format(), VIL_PIXEL_FORMAT_BYTE);
  EXPECT_EQ(j->ni(), 3u);
  EXPECT_EQ(j->nj(), 5u);
  EXPECT_EQ(j->nplanes(), 1u);
  // The same stream inside NITF is refused cleanly, as compressed NITF.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(vil_load(shared("p0_12a.ntf")));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("compressed"), std::string::npos) << err;
}
}  // namespace

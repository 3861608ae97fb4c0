// Loading and saving image files: round trips, hostile files, the size
// limit, and what the real test files give.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>
#include <vil/vil_load_page.h>
#include <vil/vil_save.h>
#include "../../fuzz/image_bombs.h"
#include "support/file_bytes.h"
#include "support/pixels_are.h"
#include "test_data.h"

namespace
{
typedef std::vector<unsigned char> bytes;

// A 16 x 8 colour JPEG written by libjpeg (quality 90): red rises along i,
// green along j, blue is 100.
const unsigned char small_jpeg[] = {
  0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01,
  0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43,
  0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03, 0x03, 0x03, 0x03, 0x04,
  0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0a, 0x07,
  0x07, 0x06, 0x08, 0x0c, 0x0a, 0x0c, 0x0c, 0x0b, 0x0a, 0x0b, 0x0b, 0x0d,
  0x0e, 0x12, 0x10, 0x0d, 0x0e, 0x11, 0x0e, 0x0b, 0x0b, 0x10, 0x16, 0x10,
  0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0c, 0x0f, 0x17, 0x18, 0x16, 0x14,
  0x18, 0x12, 0x14, 0x15, 0x14, 0xff, 0xdb, 0x00, 0x43, 0x01, 0x03, 0x04,
  0x04, 0x05, 0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0d, 0x0b, 0x0d,
  0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
  0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
  0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
  0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
  0x14, 0x14, 0xff, 0xc0, 0x00, 0x11, 0x08, 0x00, 0x08, 0x00, 0x10, 0x03,
  0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xff, 0xc4, 0x00,
  0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0xff, 0xc4, 0x00, 0x19,
  0x10, 0x00, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x08, 0x24, 0x32, 0xa2, 0xff,
  0xc4, 0x00, 0x14, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0xff, 0xc4, 0x00,
  0x1d, 0x11, 0x00, 0x01, 0x03, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x06, 0x23, 0x07, 0x21,
  0x22, 0x31, 0x51, 0xf0, 0xff, 0xda, 0x00, 0x0c, 0x03, 0x01, 0x00, 0x02,
  0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0x92, 0x24, 0xda, 0xa5, 0x21, 0xe4,
  0xb3, 0x24, 0xda, 0xa5, 0x21, 0xe4, 0x00, 0x09, 0x97, 0x39, 0x3b, 0xc8,
  0x8b, 0x53, 0x67, 0x89, 0x8c, 0x25, 0xe7, 0xb6, 0xbf, 0xff, 0xd9
};

std::string temp_path(const std::string& name)
{
  return ::testing::TempDir() + "vil_load_test_" + name;
}

// Loads a file that must be refused: a null pointer and exactly one line on
// the standard error stream that names the file.
::testing::AssertionResult refused(const std::string& path)
{
  ::testing::internal::CaptureStderr();
  const vil_image_view_base_sptr im = vil_load(path);
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (im) return ::testing::AssertionFailure() << path << " was loaded";
  if (std::count(err.begin(), err.end(), '\n') != 1 || err.back() != '\n')
    return ::testing::AssertionFailure() << "not one line: \"" << err << '"';
  if (err.find(path) == std::string::npos)
    return ::testing::AssertionFailure() << "line does not name the file: " << err;
  return ::testing::AssertionSuccess() << err;
}

std::string refusal_line(const std::string& path)
{
  ::testing::internal::CaptureStderr();
  vil_load(path);
  return ::testing::internal::GetCapturedStderr();
}

template <class T>
vil_image_view<T> pattern(unsigned ni, unsigned nj, unsigned np, unsigned mul)
{
  vil_image_view<T> v(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) v(i, j, p) = T((i * 7 + j * 13 + p * 29) * mul);
  return v;
}

template <class T>
::testing::AssertionResult same_pixels(const vil_image_view<T>& a, const vil_image_view<T>& b)
{
  if (a.ni() != b.ni() || a.nj() != b.nj() || a.nplanes() != b.nplanes())
    return ::testing::AssertionFailure() << "sizes differ: " << a.ni() << 'x' << a.nj() << 'x'
                                         << a.nplanes() << " and " << b.ni() << 'x' << b.nj()
                                         << 'x' << b.nplanes();
  for (unsigned p = 0; p < a.nplanes(); ++p)
    for (unsigned j = 0; j < a.nj(); ++j)
      for (unsigned i = 0; i < a.ni(); ++i)
        if (a(i, j, p) != b(i, j, p))
          return ::testing::AssertionFailure() << "pixel " << i << ',' << j << ',' << p;
  return ::testing::AssertionSuccess();
}

void put16(bytes& b, unsigned v) { b.push_back(v & 255); b.push_back((v >> 8) & 255); }
void put32(bytes& b, unsigned v) { put16(b, v & 0xffff); put16(b, v >> 16); }

// Sample p of pixel (i, j) in the TIFF files below (its lowest bit at 1 bit).
unsigned tiff_sample(unsigned i, unsigned j, unsigned p) { return (i + 10 * j + 60 * p) & 255; }

// A little-endian uncompressed TIFF of `pages` pages in one strip each: ni
// x nj pixels of spp samples of 8 bits (or 1), page k's samples those of
// tiff_sample plus 37 k.
bytes make_tiff(unsigned ni, unsigned nj, unsigned claimed_ni = 0, unsigned photometric = 1, unsigned spp = 1,
                unsigned bits = 8, unsigned pages = 1)
{
  bytes b = {'I', 'I', 42, 0};
  const unsigned row = (ni * spp * bits + 7) / 8, n = nj * row;
  std::size_t link = b.size();  // where the offset of the next page goes
  put32(b, 0);
  for (unsigned page = 0; page < pages; ++page) {
    const unsigned data = unsigned(b.size());
    bytes pixels(n);  // samples packed first bit highest
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned k = 0; k < ni * spp; ++k)
        pixels[j * row + k * bits / 8] |= (unsigned char)(((tiff_sample(k / spp, j, k % spp) + 37 * page) &
                                                           ((1u << bits) - 1)) << (8 - bits - k * bits % 8));
    b.insert(b.end(), pixels.begin(), pixels.end());
    if (n & 1) b.push_back(0);
    for (int k = 0; k < 4; ++k) b[link + k] = (unsigned char)(b.size() >> (8 * k));
    struct entry { unsigned tag, type, value; };
    const entry entries[] = {{256, 4, claimed_ni ? claimed_ni : ni}, {257, 4, nj}, {258, 3, bits},
                             {259, 3, 1}, {262, 3, photometric}, {273, 4, data}, {277, 3, spp},
                             {278, 4, nj}, {279, 4, n}};
    put16(b, sizeof entries / sizeof entries[0]);
    for (const entry& e : entries) {
      put16(b, e.tag);
      put16(b, e.type);
      put32(b, 1);
      if (e.type == 3) { put16(b, e.value); put16(b, 0); }
      else put32(b, e.value);
    }
    link = b.size();
    put32(b, 0);
  }
  return b;
}

// A bottom-up BMP of ni x nj pixels (r = i, g = j, b = 200) of 24 bits, or
// of 32 with 77 in the spare byte.
bytes make_bmp(int ni, int nj, unsigned bitcount = 24)
{
  const unsigned bpp = bitcount / 8;
  const unsigned stride = (unsigned(ni) * bpp + 3) / 4 * 4, rows = unsigned(nj < 0 ? -nj : nj);
  bytes b = {'B', 'M'};
  put32(b, 54 + stride * rows);
  put32(b, 0);
  put32(b, 54);
  put32(b, 40);
  put32(b, unsigned(ni));
  put32(b, unsigned(nj));
  put16(b, 1);
  put16(b, bitcount);
  put32(b, 0);
  put32(b, stride * rows);
  put32(b, 2835);
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  for (unsigned k = 0; k < rows; ++k) {
    const unsigned j = rows - 1 - k;
    for (int i = 0; i < ni; ++i) {
      b.push_back(200);
      b.push_back((unsigned char)j);
      b.push_back((unsigned char)i);
      if (bpp == 4) b.push_back(77);
    }
    for (unsigned pad = unsigned(ni) * bpp; pad < stride; ++pad) b.push_back(0);
  }
  return b;
}

// Run-length streams, rows bottom-up.  RLE8 (6 x 4): a run of 8 cut to the
// row's 6, an end of row, 3 literals (and a pad byte), a run of 2, an end of
// row, a skip of (1, 1), a run of 3, the end.  RLE4 (5 x 2): a run of 5 of
// two alternating indices, an end of row, 5 literals (and a pad byte).
const bytes rle8 = {8, 5, 0, 0, 0, 3, 1, 2, 3, 0, 2, 2, 0, 0, 0, 2, 1, 1, 3, 4, 0, 1};
const bytes rle4 = {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1};
}  // namespace

TEST(VilLoad, PngAndPnmRoundTrips)
{
  for (unsigned np = 1; np <= 4; ++np) {
    const vil_image_view<vxl_byte> v = pattern<vxl_byte>(13, 7, np, 1);
    const std::string path = temp_path("rt" + std::to_string(np) + ".png");
    ASSERT_TRUE(vil_save(v, path.c_str()));
    vil_image_view<vxl_byte> back = vil_load(path);
    EXPECT_TRUE(same_pixels(v, back)) << np << " planes";
    EXPECT_EQ(back.istep(), std::ptrdiff_t(np));  // interleaved, as read
    EXPECT_EQ(back.planestep(), 1);
  }
  const vil_image_view<vxl_uint_16> deep = pattern<vxl_uint_16>(9, 5, 3, 331);
  const std::string png16 = temp_path("rt16.png");
  ASSERT_TRUE(vil_save(deep, png16.c_str()));
  vil_image_view_base_sptr loaded = vil_load(png16);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->pixel_format(), VIL_PIXEL_FORMAT_UINT_16);
  EXPECT_TRUE(same_pixels(deep, vil_image_view<vxl_uint_16>(loaded)));
  ::testing::internal::CaptureStderr();
  vil_image_view<vxl_byte> as_bytes = vil_load(png16);  // 16-bit: no byte view
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(as_bytes.size(), 0u);

  const vil_image_view<vxl_byte> grey = pattern<vxl_byte>(6, 4, 1, 3);
  const vil_image_view<vxl_byte> colour = pattern<vxl_byte>(6, 4, 3, 3);
  for (auto* v : {&grey, &colour}) {
    const std::string path = temp_path("rt.pnm");
    ASSERT_TRUE(vil_save(*v, path.c_str()));
    EXPECT_TRUE(same_pixels(*v, vil_image_view<vxl_byte>(vil_load(path))));
  }
  const std::string pgm16 = temp_path("rt16.pgm");
  ASSERT_TRUE(vil_save(deep, pgm16.c_str()));
  EXPECT_TRUE(same_pixels(deep, vil_image_view<vxl_uint_16>(vil_load(pgm16))));
  vil_image_view<bool> bits(11, 3);
  for (unsigned j = 0; j < 3; ++j)
    for (unsigned i = 0; i < 11; ++i) bits(i, j) = (i * j + i) % 3 == 0;
  const std::string pbm = temp_path("rt.pbm");
  ASSERT_TRUE(vil_save(bits, pbm.c_str()));
  EXPECT_TRUE(same_pixels(bits, vil_image_view<bool>(vil_load(pbm))));
  // What a format cannot hold is refused with a line, not written.
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(vil_save(pattern<vxl_byte>(3, 3, 2, 1), temp_path("two.ppm").c_str()));
  EXPECT_FALSE(vil_save(vil_image_view<float>(3, 3), temp_path("f.png").c_str()));
  EXPECT_FALSE(vil_save(grey, "/nonexistent-dir/x.png"));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
}

// vil_save picks the format from the name; each file starts as its format
// does and reads back (JPEG within a few levels).
TEST(VilLoad, SaveChoosesTheFormatByExtension)
{
  struct row
  {
    const char* name;
    std::string magic;
    std::vector<unsigned> planes;
    int tolerance;
  };
  const row rows[] = {
      {"x.tif", std::string("II*\0", 4), {1, 2, 3, 4, 5}, 0},
      {"x.TIFF", std::string("II*\0", 4), {1, 3}, 0},
      {"x.png", "\x89PNG", {1, 2, 3, 4}, 0},
      {"x.bmp", "BM", {1, 3, 4}, 0},
      {"x.pgm", "P5", {1}, 0},
      {"x.ppm", "P6", {3}, 0},
      {"x.jpg", "\xff\xd8\xff", {1, 3}, 4},
      {"x.jpeg", "\xff\xd8\xff", {1, 3}, 4},
  };
  for (const row& r : rows)
    for (unsigned np : r.planes) {
      SCOPED_TRACE(std::string(r.name) + ", " + std::to_string(np) + " planes");
      vil_image_view<vxl_byte> v(33, 17, np);  // smooth, for JPEG
      for (unsigned p = 0; p < np; ++p)
        for (unsigned j = 0; j < 17; ++j)
          for (unsigned i = 0; i < 33; ++i) v(i, j, p) = vxl_byte(i * 4 + j * 3 + p * 30);
      const std::string path = temp_path(r.name);
      std::remove(path.c_str());
      ASSERT_TRUE(vil_save(v, path.c_str()));
      const bytes b = read_file<bytes>(path);
      EXPECT_EQ(std::string(b.begin(), b.begin() + std::ptrdiff_t(std::min(b.size(), r.magic.size()))), r.magic);
      const vil_image_view<vxl_byte> back = vil_load(path);
      ASSERT_EQ(back.nplanes(), np);
      ASSERT_EQ(back.ni(), 33u);
      ASSERT_EQ(back.nj(), 17u);
      int worst = 0;
      for (unsigned p = 0; p < np; ++p)
        for (unsigned j = 0; j < 17; ++j)
          for (unsigned i = 0; i < 33; ++i) worst = std::max(worst, std::abs(back(i, j, p) - v(i, j, p)));
      EXPECT_LE(worst, r.tolerance);
    }
  // TIFF keeps every pixel type its reader gives back.
  const std::string tif = temp_path("types.tif");
  auto tiff_round_trip = [&](const auto& v) {
    SCOPED_TRACE(v.is_a() + " " + std::to_string(v.nplanes()));
    ASSERT_TRUE(vil_save(v, tif.c_str()));
    const vil_image_view_base_sptr back = vil_load(tif);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->pixel_format(), v.pixel_format());
    EXPECT_TRUE(same_pixels(v, std::decay_t<decltype(v)>(back)));
  };
  tiff_round_trip(pattern<bool>(13, 5, 1, 1));
  tiff_round_trip(pattern<vxl_sbyte>(9, 5, 2, 1));
  tiff_round_trip(pattern<vxl_uint_16>(9, 5, 3, 331));
  tiff_round_trip(pattern<vxl_int_16>(9, 5, 1, 401));
  tiff_round_trip(pattern<vxl_uint_32>(9, 5, 4, 1u << 24));
  tiff_round_trip(pattern<vxl_int_32>(9, 5, 1, 1u << 25));
  tiff_round_trip(pattern<float>(9, 5, 3, 1));
  tiff_round_trip(pattern<double>(9, 5, 1, 1));
  // Other names are PNM, said once; a named format goes whatever the name.
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(4, 3, 1, 1), temp_path("x.dat").c_str()));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("assuming pnm format"), std::string::npos);
  EXPECT_EQ(read_file<bytes>(temp_path("x.dat"))[0], 'P');
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(4, 3, 1, 1), temp_path("x.dat").c_str(), "tiff"));
  EXPECT_EQ(read_file<bytes>(temp_path("x.dat"))[0], 'I');
}

// A write that fails leaves no file behind, and the old file as it was.
TEST(VilLoad, FailedSavesLeaveNoFile)
{
  const std::string dir = temp_path("failed/");
  ::mkdir(dir.c_str(), 0777);
  const std::string kept = dir + "kept.png";
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(5, 4, 3, 1), kept.c_str()));
  const bytes before = read_file<bytes>(kept);
  const vil_image_view<float> real(3, 3);
  const vil_image_view<bool> two_bit_planes(4, 4, 2);
  const vil_image_view<vxl_byte> empty;
  const std::pair<const char*, const vil_image_view_base*> refusals[] = {
      {"kept.png", &real}, {"a.jpg", &real}, {"a.bmp", &real},
      {"a.pnm", &real},    {"a.tif", &two_bit_planes}, {"b.tif", &empty}};
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.first);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(vil_save(*r.second, (dir + r.first).c_str()));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(vil_save(pattern<vxl_byte>(5, 4, 3, 1), (dir + "none/x.png").c_str()));
  EXPECT_FALSE(vil_save(pattern<vxl_byte>(5, 4, 3, 1), dir.c_str(), "png"));
  if (::geteuid() != 0) {  // a file the user may not write is not replaced
    ::chmod(kept.c_str(), 0444);
    EXPECT_FALSE(vil_save(pattern<vxl_byte>(5, 4, 1, 1), kept.c_str()));
    ::chmod(kept.c_str(), 0644);
  }
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(read_file<bytes>(kept), before);
  std::string left;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') left += std::string(e->d_name) + ' ';
    ::closedir(d);
  }
  EXPECT_EQ(left, "kept.png ");
  // A full device: every writer notices that its bytes did not go.
  struct stat st;
  if (::stat("/dev/full", &st) == 0)
    for (const char* format : {"tiff", "png", "bmp", "jpeg", "pnm"}) {
      ::testing::internal::CaptureStderr();
      EXPECT_FALSE(vil_save(pattern<vxl_byte>(300, 200, 3, 1), "/dev/full", format)) << format;
      ::testing::internal::GetCapturedStderr();
    }
}

TEST(VilLoad, PlainAndRawPnmSamples)
{
  const std::string path = temp_path("plain.pgm");
  write_file(path, "P2\n# a comment\n3 2\n# another\n1000\n0 1 2\n999 1000 7\n");
  vil_image_view_base_sptr im = vil_load(path);
  ASSERT_TRUE(im);
  EXPECT_EQ(im->pixel_format(), VIL_PIXEL_FORMAT_UINT_16);
  vil_image_view<vxl_uint_16> v = im;
  EXPECT_EQ(v(0, 1), 999);
  EXPECT_EQ(v(1, 1), 1000);
  write_file(path, "P2 2 1 100000 5 99999\n");
  im = vil_load(path);
  ASSERT_TRUE(im);
  EXPECT_EQ(im->pixel_format(), VIL_PIXEL_FORMAT_UINT_32);
  write_file(path, "P1\n4 2\n0110\n1 0 0 1\n");
  vil_image_view<bool> b = vil_load(path);
  ASSERT_EQ(b.ni(), 4u);
  EXPECT_TRUE(b(1, 0));
  EXPECT_FALSE(b(0, 0));
  EXPECT_TRUE(b(3, 1));
  write_file(path, std::string("P6\n2 1\n255\n") + "\x01\x02\x03\xfd\xfe\xff");
  vil_image_view<vxl_byte> c = vil_load(path);
  ASSERT_EQ(c.nplanes(), 3u);
  EXPECT_EQ(c(0, 0, 2), 3);
  EXPECT_EQ(c(1, 0, 0), 0xfd);
}

TEST(VilLoad, HostilePnmFiles)
{
  const std::string path = temp_path("bad.pnm");
  const char* cases[] = {
      "P5\n4294967295 4294967295\n255\n",  // product overflows 32 bits, needs > 1 GiB
      "P6\n100000 100000\n255\n",          // 30 GB
      "P5\n99999999999 2\n255\n",          // too many digits
      "P5\n0 5\n255\n",                    // no pixels
      "P5\n4 4\n0\n",                      // maxval 0
      "P5\n2 2\n70000\n",                  // raw samples are at most 16 bits
      "P5\n4 4\n255\nabc",                 // raster cut short
      "P6\n2 2\n65535\n\x01\x02",          // 16-bit raster cut short
      "P2\n2 2\n10\n1 2 3",                // plain raster cut short
      "P2\n2 1\n10\n1 11",                 // sample above maxval
      "P5\n1 1\n100\n\xc8",                // raw sample above maxval
      "P2\n2 1\n10\n1 -2",                 // not a number
      "P1\n2 1\n0 2",                      // not a bit
      "P3\n-1 2\n255\n",                   // negative size
      "P5 # comment to the end",           // header cut short
  };
  for (const char* c : cases) {
    write_file(path, std::string(c));
    EXPECT_TRUE(refused(path)) << c;
  }
  write_file(path, std::string("P5\n100000 100000\n255\n"));
  EXPECT_NE(refusal_line(path).find("limit"), std::string::npos);
}

TEST(VilLoad, HostilePngFiles)
{
  const std::string good = temp_path("good.png");
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(20, 10, 3, 1), good.c_str()));
  const bytes data = read_file<bytes>(good);
  const std::string path = temp_path("cut.png");
  // Every truncation, including one that only loses the end chunk.
  for (std::size_t len = 8; len < data.size(); ++len) {
    write_file(path, bytes(data.begin(), data.begin() + std::ptrdiff_t(len)));
    ASSERT_TRUE(refused(path)) << len;
  }
  // A flipped byte in the header or the pixel data fails its checksum.
  for (std::size_t at : {std::size_t(20), std::size_t(45), data.size() - 20}) {
    bytes bad = data;
    bad[at] ^= 0x55;
    write_file(path, bad);
    EXPECT_TRUE(refused(path)) << at;
  }
}

TEST(VilLoad, HostileJpegFiles)
{
  const std::string path = temp_path("t.jpg");
  const bytes data(small_jpeg, small_jpeg + sizeof small_jpeg);
  write_file(path, data);
  vil_image_view<vxl_byte> v = vil_load(path);
  ASSERT_EQ(v.ni(), 16u);
  ASSERT_EQ(v.nj(), 8u);
  ASSERT_EQ(v.nplanes(), 3u);
  EXPECT_NEAR(v(15, 7, 0), 240, 8);
  EXPECT_NEAR(v(15, 7, 1), 224, 8);
  EXPECT_NEAR(v(3, 2, 2), 100, 8);
  for (std::size_t len = 3; len < data.size(); len += (len < 40 ? 1 : 7)) {
    write_file(path, bytes(data.begin(), data.begin() + std::ptrdiff_t(len)));
    ASSERT_TRUE(refused(path)) << len;
  }
  // Frame header (SOF) claiming 0 x 0 and 65500 x 65500.
  for (unsigned size : {0u, 65500u}) {
    bytes bad = data;
    for (std::size_t k = 0; k + 9 < bad.size(); ++k)
      if (bad[k] == 0xff && (bad[k + 1] == 0xc0 || bad[k + 1] == 0xc1 || bad[k + 1] == 0xc2)) {
        bad[k + 5] = bad[k + 7] = (unsigned char)(size >> 8);
        bad[k + 6] = bad[k + 8] = (unsigned char)(size & 255);
        break;
      }
    write_file(path, bad);
    EXPECT_TRUE(refused(path)) << size;
  }
}

TEST(VilLoad, TiffFilesAndHostileOnes)
{
  const std::string path = temp_path("t.tif");
  const bytes data = make_tiff(5, 3);
  write_file(path, data);
  vil_image_view<vxl_byte> v = vil_load(path);
  ASSERT_EQ(v.ni(), 5u);
  ASSERT_EQ(v.nj(), 3u);
  EXPECT_EQ(v(4, 2), 24);
  // Cut anywhere before the last 4 bytes (the link to a next image, which
  // is not needed to read this one).
  for (std::size_t len = 4; len + 4 < data.size(); ++len) {
    write_file(path, bytes(data.begin(), data.begin() + std::ptrdiff_t(len)));
    ASSERT_TRUE(refused(path)) << len;
  }
  write_file(path, make_tiff(5, 3, 4000000000u));  // width far past the limit
  EXPECT_TRUE(refused(path));
  write_file(path, make_tiff(5, 3, 400));  // rows run past the end of the file
  EXPECT_TRUE(refused(path));
}

// The pages of a TIFF, and chains of pages that break.  Three 5 x 3 pages,
// each 16 bytes of pixels and a 114-byte directory, whose last 4 bytes link
// to the next page.
TEST(VilLoad, TiffPagesAndBrokenChains)
{
  const bytes good = make_tiff(5, 3, 0, 1, 1, 8, 3);
  const std::size_t last_link = good.size() - 4, page = 130, strip = 8 + 16 + 2 + 5 * 12 + 8;
  const struct
  {
    const char* name;
    std::size_t at;  // where a 32-bit value is put, 0 for none
    unsigned value, pages;  // pages 0: the count is refused
    std::vector<bool> readable;
  } rows[] = {
      {"three pages", 0, 0, 3, {true, true, true}},
      {"the last page links past the end", last_link, 100000, 0, {true, true, true}},
      // libtiff ends a chain where it loops.
      {"the last page links back to the first", last_link, 8 + 16, 3, {true, true, true}},
      {"the second page's strip lies past the end", page + strip, 100000, 3, {true, false, true}},
      {"the second page's directory is cut off", page + 8 + 16, 0xffff, 0, {true, false, false}},
  };
  const std::string path = temp_path("pages.tif");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    bytes data = good;
    for (int k = 0; r.at && k < 4; ++k) data[r.at + k] = (unsigned char)(r.value >> (8 * k));
    write_file(path, data);
    std::string why;
    EXPECT_EQ(vil_load_page_count(path, why), r.pages) << why;
    EXPECT_EQ(why.empty(), r.pages > 0) << why;
    for (unsigned p = 0; p <= 3; ++p) {
      const vil_image_view<vxl_byte> v = vil_load_page(path, p, why);
      const bool ok = p < 3 && r.readable[p];
      EXPECT_EQ(v.size() > 0, ok) << "page " << p + 1 << ": " << why;
      if (ok && v.size()) EXPECT_EQ(v(4, 2), (24 + 37 * p) & 255) << "page " << p + 1;
      else EXPECT_FALSE(why.empty());
    }
  }
  // Any other file is one page; a missing one none.
  write_file(path, make_bmp(5, 4));
  std::string why;
  EXPECT_EQ(vil_load_page_count(path, why), 1u);
  EXPECT_TRUE(vil_load_page(path, 0, why));
  EXPECT_FALSE(vil_load_page(path, 1, why));
  EXPECT_EQ(vil_load_page_count(temp_path("missing.tif"), why), 0u);
  EXPECT_FALSE(why.empty());
}

// Files whose stored samples are not the picture (VXL hands the samples
// back, or refuses run-length BMPs) load as the picture, worked out here
// from each format's definition.
TEST(VilLoad, StoredSamplesBecomeThePicture)
{
  // What inks leave of white: (255 - C)(255 - K) / 255, rounded.
  const auto light = [](int ink, int k) { return int(std::lround((255.0 - ink) * (255.0 - k) / 255.0)); };
  // A 16 x 8 CMYK JPEG of two flat 8 x 8 blocks of inks (exact at quality
  // 100); Adobe's files store 255 - ink and say so.
  const unsigned char inks[2][4] = {{30, 200, 90, 40}, {250, 5, 128, 220}};
  const auto cmyk_jpeg = [&](bool adobe) {
    return image_bombs::jpeg(
        16, 8, 4, [&](unsigned k, unsigned) { return inks[k / 32][k % 4] ^ (adobe ? 255 : 0); }, 100, false, adobe);
  };
  const auto jpeg_light = [&](unsigned i, unsigned, unsigned p) { return light(inks[i / 8][p], inks[i / 8][3]); };
  // The colours of rle_bmp's palette entries given top row first.
  const auto palette = [](std::vector<std::string> entries) {
    return [=](unsigned i, unsigned j, unsigned p) {
      const int k = entries[j][i] - '0';
      return p == 0 ? 40 * k : p == 1 ? 255 - 30 * k : 17 * k;
    };
  };
  const struct
  {
    const char* name;
    bytes data;
    unsigned ni, nj, np;
    std::function<int(unsigned, unsigned, unsigned)> want;
  } rows[] = {
      {"white_is_0.tif", make_tiff(5, 3, 0, 0), 5, 3, 1,
       [](unsigned i, unsigned j, unsigned) { return 255 - int(tiff_sample(i, j, 0)); }},
      {"white_is_0_bits.tif", make_tiff(11, 3, 0, 0, 1, 1), 11, 3, 1,  // a set bit is black
       [](unsigned i, unsigned j, unsigned) { return ~tiff_sample(i, j, 0) & 1; }},
      {"cmyk.tif", make_tiff(5, 3, 0, 5, 4), 5, 3, 3,
       [&](unsigned i, unsigned j, unsigned p) { return light(tiff_sample(i, j, p), tiff_sample(i, j, 3)); }},
      {"cmyk.jpg", cmyk_jpeg(false), 16, 8, 3, jpeg_light},
      {"adobe_cmyk.jpg", cmyk_jpeg(true), 16, 8, 3, jpeg_light},
      // The spare byte of 32-bit pixels is not alpha without a mask saying so.
      {"rgbx.bmp", make_bmp(3, 2, 32), 3, 2, 3,
       [](unsigned i, unsigned j, unsigned p) { return p == 0 ? int(i) : p == 1 ? int(j) : 200; }},
      // Rows wider than any vector, with a tail and padding, in more than one block of reads.
      {"wide.bmp", make_bmp(131, 700), 131, 700, 3,
       [](unsigned i, unsigned j, unsigned p) { return p == 0 ? int(i) : p == 1 ? int(j & 255) : 200; }},
      {"wide_rgbx.bmp", make_bmp(131, 5, 32), 131, 5, 3,
       [](unsigned i, unsigned j, unsigned p) { return p == 0 ? int(i) : p == 1 ? int(j) : 200; }},
      {"rle8.bmp", image_bombs::rle_bmp(6, 4, 8, 1, rle8), 6, 4, 3, palette({"044400", "000000", "123220", "555555"})},
      {"rle4.bmp", image_bombs::rle_bmp(5, 2, 4, 2, rle4), 5, 2, 3, palette({"34567", "12121"})},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const std::string path = temp_path(r.name);
    write_file(path, r.data);
    const vil_image_view_base_sptr im = vil_load(path);
    EXPECT_TRUE(im && im->pixel_format() == VIL_PIXEL_FORMAT_BOOL ? pixels_are<bool>(im, r.ni, r.nj, r.np, r.want)
                                                                  : pixels_are<vxl_byte>(im, r.ni, r.nj, r.np, r.want));
  }
}

TEST(VilLoad, BmpFilesAndHostileOnes)
{
  const std::string path = temp_path("t.bmp");
  write_file(path, make_bmp(3, 2));
  vil_image_view<vxl_byte> v = vil_load(path);
  ASSERT_EQ(v.ni(), 3u);
  ASSERT_EQ(v.nplanes(), 3u);
  EXPECT_EQ(v(2, 0, 0), 2);
  EXPECT_EQ(v(2, 1, 1), 1);  // bottom-up rows come out top row first
  EXPECT_EQ(v(0, 0, 2), 200);
  const bytes data = make_bmp(3, 2);
  for (std::size_t len = 2; len < data.size(); ++len) {
    write_file(path, bytes(data.begin(), data.begin() + std::ptrdiff_t(len)));
    ASSERT_TRUE(refused(path)) << len;
  }
  bytes huge = make_bmp(3, 2);
  huge[18] = huge[19] = huge[20] = 0xff;
  huge[21] = 0x7f;  // 2^31 - 1 columns
  write_file(path, huge);
  EXPECT_TRUE(refused(path));
  bytes flipped = make_bmp(3, 2);
  flipped[22] = flipped[23] = flipped[24] = flipped[25] = 0x80;  // height INT_MIN
  write_file(path, flipped);
  EXPECT_TRUE(refused(path));

  // Run-length streams cut before their end, or running past the image.
  std::vector<bytes> hostile_rle = {
      {0, 0, 0, 0, 0, 0, 0, 0, 1, 5},  // a run after the last row
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // more rows than the image
      {0, 2, 7, 0, 0, 1},              // a skip past the row
  };
  for (auto end = rle8.begin(); end != rle8.end(); ++end) hostile_rle.emplace_back(rle8.begin(), end);
  for (const bytes& stream : hostile_rle) {
    write_file(path, image_bombs::rle_bmp(6, 4, 8, 1, stream));
    EXPECT_TRUE(refused(path)) << stream.size();
  }
  write_file(path, image_bombs::rle_bmp(6, 4, 4, 1, {0, 1}));  // RLE8 of 4-bit pixels
  EXPECT_TRUE(refused(path));
}

TEST(VilLoad, NotImagesAtAll)
{
  EXPECT_TRUE(refused(temp_path("does-not-exist.png")));
  EXPECT_TRUE(refused(::testing::TempDir()));  // a directory
  EXPECT_TRUE(refused("/dev/zero"));           // would never end
  const std::string path = temp_path("junk");
  write_file(path, std::string());
  EXPECT_TRUE(refused(path));
  write_file(path, std::string("hello, world\n"));
  EXPECT_TRUE(refused(path));
  write_file(path, bytes{0x59, 0xa6, 0x6a, 0x95, 0, 0, 0, 5});  // Sun raster
  EXPECT_NE(refusal_line(path).find("Sun raster"), std::string::npos);
}

TEST(VilLoad, SizeLimitIsASetting)
{
  const std::string path = temp_path("limit.png");
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(20, 10, 3, 1), path.c_str()));
  const std::size_t before = vil_load_max_bytes();
  EXPECT_EQ(before, std::size_t(1) << 30);
  vil_load_set_max_bytes(599);  // one byte short of 20 x 10 x 3
  EXPECT_TRUE(refused(path));
  const std::string pgm = temp_path("limit.pgm");
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(20, 30, 1, 1), pgm.c_str()));
  EXPECT_TRUE(refused(pgm));
  vil_load_set_max_bytes(600);
  EXPECT_TRUE(vil_load(path));
  vil_load_set_max_bytes(before);
}

// Random damage to valid files of every format: never a crash, a hang or a
// bad read (the sanitizer build checks the last); a refusal is one line.
TEST(VilLoad, MutatedFilesNeverCrash)
{
  std::vector<bytes> seeds;
  const std::string png = temp_path("seed.png");
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(12, 9, 4, 1), png.c_str()));
  seeds.push_back(read_file<bytes>(png));
  seeds.push_back(bytes(small_jpeg, small_jpeg + sizeof small_jpeg));
  seeds.push_back(make_tiff(7, 5));
  seeds.push_back(make_tiff(4, 3, 0, 1, 1, 8, 3));
  seeds.push_back(make_bmp(5, 4));
  const std::string ppm = temp_path("seed.ppm");
  ASSERT_TRUE(vil_save(pattern<vxl_byte>(6, 5, 3, 1), ppm.c_str()));
  seeds.push_back(read_file<bytes>(ppm));
  std::mt19937 gen(1234);
  const std::string path = temp_path("mutant");
  for (const bytes& seed : seeds)
    for (int round = 0; round < 100; ++round) {
      bytes m = seed;
      const int changes = 1 + int(gen() % 4);
      for (int c = 0; c < changes; ++c) {
        const std::size_t at = gen() % m.size();
        m[at] = (gen() % 3 == 0) ? 0xff : (unsigned char)(gen() & 255);
      }
      write_file(path, m);
      ::testing::internal::CaptureStderr();
      const vil_image_view_base_sptr im = vil_load(path);
      const std::string err = ::testing::internal::GetCapturedStderr();
      // A TIFF's later pages too.
      std::string why;
      const unsigned pages = vil_load_page_count(path, why);
      if (pages > 1) vil_load_page(path, pages - 1, why);
      if (!im) {
        ASSERT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      } else {
        EXPECT_GT(im->size(), 0u);
      }
    }
}

// What VXL's loader gives for each of the shared test files.  Formats whose
// readers are not written yet must be refused cleanly.
TEST(VilLoad, SharedTestFilesTable)
{
  TESSALY_REQUIRE_TESTDATA();
  struct row
  {
    const char* file;
    const char* format;  // null: VXL gives a null pointer (or aborts)
    unsigned ni, nj, np;
    bool ours;  // read by a reader of this library
  };
  const row table[] = {
      {"bigtiff/BigTIFF.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFLong.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFLong8.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFLong8Tiles.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFMotorola.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFMotorolaLongStrips.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFSubIFD4.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/BigTIFFSubIFD8.tif", "vxl_byte", 64, 64, 3, true},
      {"bigtiff/Classic.tif", "vxl_byte", 64, 64, 3, true},
      {"ff_ga8bit.bmp", "vxl_byte", 5, 3, 1, true},
      {"ff_ga8bit_compressed.png", "vxl_byte", 5, 3, 2, true},
      {"ff_ga8bit_uncompressed.tif", "vxl_byte", 5, 3, 2, true},
      {"ff_grey10bit_labview_bitdepth_false.png", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey10bit_labview_bitdepth_true.png", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit.iris", "vxl_uint_16", 5, 3, 1, true},  // VXL aborts; read here
      {"ff_grey16bit.mit", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_ascii.pgm", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_bigendian.viff", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_labview_bitdepth_false.png", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_labview_bitdepth_true.png", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_littleendian.viff", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_raw.pgm", "vxl_uint_16", 5, 3, 1, true},
      {"ff_grey16bit_uncompressed.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey16bit_uncompressed.nitf", "vxl_uint_16", 256, 256, 1, true},
      {"ff_grey16bit_uncompressed2.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey16bit_uncompressed3.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey1bit.png", "bool", 5, 3, 1, true},
      {"ff_grey1bit_ascii.pbm", "bool", 5, 3, 1, true},
      {"ff_grey1bit_raw.pbm", "bool", 5, 3, 1, true},
      {"ff_grey1bit_uncompressed.tif", "bool", 5, 3, 1, true},
      {"ff_grey24bit_ascii.pgm", "vxl_uint_32", 5, 3, 1, true},
      {"ff_grey32bit_ascii.pgm", "vxl_uint_32", 5, 3, 1, true},
      {"ff_grey32bit_bigendian.viff", "vxl_uint_32", 5, 3, 1, true},
      {"ff_grey32bit_littleendian.viff", "vxl_uint_32", 5, 3, 1, true},
      {"ff_grey8bit.bmp", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit.iris", "vxl_byte", 5, 3, 1, true},  // VXL aborts; read here
      {"ff_grey8bit.mit", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_ascii.pgm", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_bigendian.viff", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_compressed.jpg", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_littleendian.viff", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_nocol.ras", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_raw.pgm", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_raw2.pgm", "vxl_byte", 5, 3, 1, true},
      {"ff_grey8bit_uncompressed.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey8bit_uncompressed.nitf", "vxl_byte", 256, 256, 1, true},  // VXL: null; a valid file
      {"ff_grey8bit_uncompressed2.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey_double_bigendian.viff", "double", 5, 3, 1, true},
      {"ff_grey_double_littleendian.viff", "double", 5, 3, 1, true},
      {"ff_grey_float.tif", "float", 5, 3, 1, true},
      {"ff_grey_float_12bit_uncompressed.dcm", nullptr, 0, 0, 0, false},
      {"ff_grey_float_bigendian.viff", "float", 5, 3, 1, true},
      {"ff_grey_float_littleendian.viff", "float", 5, 3, 1, true},
      {"ff_nitf_16bit.nitf", "vxl_uint_16", 2, 2, 1, true},
      {"ff_nitf_1bit_lut.nsif", "bool", 4, 4, 1, true},
      {"ff_nitf_32bit.nitf", "vxl_int_32", 2, 2, 1, true},
      {"ff_nitf_8bit_b.nitf", "vxl_byte", 4, 4, 3, true},
      {"ff_nitf_8bit_p.nitf", "vxl_byte", 4, 4, 3, true},
      {"ff_nitf_8bit_r.nitf", "vxl_byte", 4, 4, 3, true},
      {"ff_nitf_8bit_s.nitf", "vxl_byte", 4, 4, 3, true},
      {"ff_nitf_double.nitf", "double", 2, 2, 1, true},
      {"ff_nitf_float.nitf", "float", 2, 2, 1, true},
      {"ff_rgb16bit_ascii.ppm", "vxl_uint_16", 3, 2, 3, true},
      {"ff_rgb16bit_bigendian.viff", "vxl_uint_16", 3, 2, 3, true},
      {"ff_rgb16bit_littleendian.viff", "vxl_uint_16", 3, 2, 3, true},
      {"ff_rgb16bit_raw.ppm", "vxl_uint_16", 3, 2, 3, true},
      {"ff_rgb16bit_uncompressed.tif", "vxl_uint_16", 3, 2, 3, true},
      {"ff_rgb8bit.iris", "vxl_byte", 5, 3, 3, true},  // VXL aborts; read here
      {"ff_rgb8bit.mit", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_ascii.ppm", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_bigendian.viff", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_compressed.png", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_indexed.ras", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_indexed_4bpp.png", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_littleendian.viff", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_packbits.tif", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_raw.ppm", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_raw.ras", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_topdown_ps.bmp", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_uncompressed.png", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_uncompressed.tif", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8bit_xv.bmp", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8biteasy_ascii.ppm", "vxl_byte", 5, 3, 3, true},
      {"ff_rgb8biteasy_compressed.jpg", "vxl_byte", 5, 3, 3, true},
      {"ff_rgba8bit_uncompressed.tif", "vxl_byte", 5, 3, 4, true},
      {"ff_rgba8bit_uncompressed_ps.bmp", "vxl_byte", 5, 3, 3, true},  // VXL: 4; no alpha mask
      {"no_rowsperstrip.tif", "vxl_byte", 256, 256, 4, true},
      {"p0_12.j2k", "vxl_byte", 3, 5, 1, true},  // VXL aborts; read here
      {"p0_12a.ntf", nullptr, 0, 0, 0, false},
      {"cpp_above_matlab_comparing_cdi_code.png", "vxl_byte", 88, 22, 1, true},
  };
  for (const row& r : table) {
    const std::string path = tessaly_testdata(std::string("images/") + r.file);
    if (!r.format || !r.ours) {
      EXPECT_TRUE(refused(path)) << r.file;
      continue;
    }
    const vil_image_view_base_sptr im = vil_load(path);
    ASSERT_TRUE(im) << r.file;
    EXPECT_STREQ(vil_pixel_format_name(im->pixel_format()), r.format) << r.file;
    EXPECT_EQ(im->ni(), r.ni) << r.file;
    EXPECT_EQ(im->nj(), r.nj) << r.file;
    EXPECT_EQ(im->nplanes(), r.np) << r.file;
    // The byte view exists exactly for 8-bit files.
    ::testing::internal::CaptureStderr();
    const vil_image_view<vxl_byte> v = im;
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(v.size() != 0, std::string(r.format) == "vxl_byte") << r.file;
  }
}

// The same picture stored in different formats reads as the same pixels.
TEST(VilLoad, SharedTestFilesAgreeAcrossFormats)
{
  TESSALY_REQUIRE_TESTDATA();
  const auto load = [](const char* f) {
    return vil_image_view<vxl_byte>(vil_load(tessaly_testdata(std::string("images/") + f)));
  };
  const vil_image_view<vxl_byte> rgb = load("ff_rgb8bit_raw.ppm");
  ASSERT_EQ(rgb.nplanes(), 3u);
  EXPECT_EQ(rgb(3, 0, 0), 64);
  EXPECT_EQ(rgb(4, 1, 2), 104);
  for (const char* f : {"ff_rgb8bit_ascii.ppm", "ff_rgb8bit_uncompressed.png",
                        "ff_rgb8bit_compressed.png", "ff_rgb8bit_indexed_4bpp.png",
                        "ff_rgb8bit_uncompressed.tif", "ff_rgb8bit_packbits.tif",
                        "ff_rgb8bit_xv.bmp", "ff_rgb8bit_topdown_ps.bmp"})
    EXPECT_TRUE(same_pixels(rgb, load(f))) << f;
  vil_image_view<vxl_byte> rgba = load("ff_rgba8bit_uncompressed.tif");
  // The BMP's spare bytes hold the same alpha, but no mask says they are.
  const vil_image_view<vxl_byte> colour(rgba.memory_chunk(), rgba.top_left_ptr(), rgba.ni(), rgba.nj(), 3,
                                        rgba.istep(), rgba.jstep(), rgba.planestep());
  EXPECT_TRUE(same_pixels(colour, load("ff_rgba8bit_uncompressed_ps.bmp")));
  EXPECT_EQ(rgba(2, 0, 3), 4);
  const vil_image_view<vxl_byte> grey = load("ff_grey8bit_raw.pgm");
  for (const char* f : {"ff_grey8bit_raw2.pgm", "ff_grey8bit_ascii.pgm", "ff_grey8bit.bmp"})
    EXPECT_TRUE(same_pixels(grey, load(f))) << f;
  EXPECT_TRUE(same_pixels(load("ff_ga8bit_compressed.png"), load("ff_ga8bit_uncompressed.tif")));
}

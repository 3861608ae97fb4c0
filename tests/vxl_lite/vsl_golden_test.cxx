// Streams written by real VXL, and the byte layouts of tessaly's records.
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "support/file_bytes.h"
#include <test_data.h>
#include <vgl/io/vgl_io_point_2d.h>
#include <vnl/io/vnl_io_vector.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_block_binary_rle.h>
#include <vsl/vsl_vector_io.h>
#include <vxl_config.h>

namespace
{
const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

template <class F>
std::string written(F f)
{
  std::ostringstream ss(std::ios::binary);
  vsl_b_ostream os(&ss);
  f(os);
  return ss.str();
}

std::string dbl(double d)
{
  char b[8];
  std::memcpy(b, &d, 8);
  return std::string(b, 8);
}
} // namespace

TEST(VslGolden, BinaryIoFile)
{
  TESSALY_REQUIRE_TESTDATA();
  const std::string path = tessaly_testdata("vsl/golden_test_binary_io.bvl");
  {
    std::ifstream raw(path, std::ios::binary);
    ASSERT_TRUE(raw.good());
    EXPECT_TRUE(vsl_b_istream_test(raw));
  }
  vsl_b_ifstream is(path);
  ASSERT_FALSE(!is);
  bool b = false;
  char c = 0;
  signed char sc = 0;
  unsigned char uc = 0;
  int i = 0, i2 = 0;
  unsigned u = 0;
  short s = 0;
  long l = 0;
  unsigned long ul = 0;
  float f = 0;
  double d = 0;
  std::string str;
  char cstr[64];
  std::size_t sz = 0;
  std::ptrdiff_t pd = 0;
  vsl_b_read(is, b);
  vsl_b_read(is, c);
  vsl_b_read(is, sc);
  vsl_b_read(is, uc);
  vsl_b_read(is, i);
  vsl_b_read(is, u);
  vsl_b_read(is, s);
  vsl_b_read(is, i2);
  vsl_b_read(is, l);
  vsl_b_read(is, ul);
  vsl_b_read(is, f);
  vsl_b_read(is, d);
  vsl_b_read(is, str);
  vsl_b_read(is, cstr);
  vsl_b_read(is, sz);
  vsl_b_read(is, pd);
  ASSERT_FALSE(!is);
  EXPECT_TRUE(b);
  EXPECT_EQ(c, 'y');
  EXPECT_EQ(sc, 'k');
  EXPECT_EQ(uc, 'q');
  EXPECT_EQ(i, 3);
  EXPECT_EQ(u, 37u);
  EXPECT_EQ(s, 56);
  EXPECT_EQ(i2, -32768);
  EXPECT_EQ(l, -12345678);
  EXPECT_EQ(ul, 87654321u);
  EXPECT_EQ(f, 1.7f);
  EXPECT_EQ(d, 3.4);
  EXPECT_EQ(str, "Hello World!");
  EXPECT_STREQ(cstr, "A C string");
  EXPECT_EQ(sz, 1023u);
  EXPECT_EQ(pd, 23);
  EXPECT_EQ(is.is().peek(), std::char_traits<char>::eof());

  // Our writer produces the same file.
  const std::string mine = written([](vsl_b_ostream& os) {
    vsl_b_write(os, true);
    vsl_b_write(os, 'y');
    vsl_b_write(os, static_cast<signed char>('k'));
    vsl_b_write(os, static_cast<unsigned char>('q'));
    vsl_b_write(os, 3);
    vsl_b_write(os, 37u);
    vsl_b_write(os, static_cast<short>(56));
    vsl_b_write(os, -32768);
    vsl_b_write(os, -12345678L);
    vsl_b_write(os, 87654321UL);
    vsl_b_write(os, 1.7f);
    vsl_b_write(os, 3.4);
    vsl_b_write(os, std::string("Hello World!"));
    vsl_b_write(os, "A C string");
    vsl_b_write(os, std::size_t(1023));
    vsl_b_write(os, std::ptrdiff_t(23));
  });
  EXPECT_EQ(mine, read_file(path));
}

TEST(VslGolden, VectorIoFile)
{
  TESSALY_REQUIRE_TESTDATA();
  const std::string path = tessaly_testdata("vsl/golden_vector_io_test.bvl");
  vsl_b_ifstream is(path);
  ASSERT_FALSE(!is);
  std::vector<bool> vb;
  std::vector<int> vi;
  std::vector<float> vf;
  vsl_b_read(is, vb);
  vsl_b_read(is, vi);
  vsl_b_read(is, vf);
  ASSERT_FALSE(!is);
  ASSERT_EQ(vb.size(), 10u);
  ASSERT_EQ(vi.size(), 10u);
  ASSERT_EQ(vf.size(), 10u);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(vb[k], k % 2 == 0);
    EXPECT_EQ(vi[k], k);
    EXPECT_EQ(vf[k], 0.1f * k);
  }
  std::vector<unsigned char> vc;
  vsl_b_read(is, vc);
  ASSERT_FALSE(!is);
  EXPECT_EQ(std::string(vc.begin(), vc.end()), "ABCDEFGHIJ");
  EXPECT_EQ(is.is().peek(), std::char_traits<char>::eof());

  // Our writer produces the same file.
  const std::string mine = written([&](vsl_b_ostream& os) {
    vsl_b_write(os, vb);
    vsl_b_write(os, vi);
    vsl_b_write(os, vf);
    vsl_b_write(os, vc);
  });
  EXPECT_EQ(mine, read_file(path));
}

TEST(VslGolden, RunLengthFile)
{
  TESSALY_REQUIRE_TESTDATA();
  const std::string path = tessaly_testdata("vsl/golden_block_rle_comp_test.bvl");
  const std::size_t n = 100;
  bool b[100];
  int ints[100];
  float floats[100];
  unsigned char chars[100];
  vxl_int_64 longs[100];
  vsl_b_ifstream is(path);
  ASSERT_FALSE(!is);
  vsl_block_binary_rle_read(is, b, n);
  vsl_block_binary_rle_read(is, ints, n);
  vsl_block_binary_rle_read(is, floats, n);
  vsl_block_binary_rle_read(is, chars, n);
  vsl_block_binary_rle_read(is, longs, n);
  ASSERT_FALSE(!is);
  EXPECT_EQ(is.is().peek(), std::char_traits<char>::eof());
  for (std::size_t k = 0; k < n; ++k) {
    EXPECT_EQ(b[k], k < 20);
    EXPECT_EQ(ints[k], 5);
    EXPECT_EQ(floats[k], 0.1f * static_cast<float>(k / 20));
    EXPECT_EQ(chars[k], 'A' + k / 20);
    EXPECT_EQ(longs[k], k < 20 ? 1 : 0);
  }
  const std::string mine = written([&](vsl_b_ostream& os) {
    vsl_block_binary_rle_write(os, b, n);
    vsl_block_binary_rle_write(os, ints, n);
    vsl_block_binary_rle_write(os, floats, n);
    vsl_block_binary_rle_write(os, chars, n);
    vsl_block_binary_rle_write(os, longs, n);
  });
  EXPECT_EQ(mine, read_file(path));
}

TEST(VslRunLength, ErrorsKeepTheTarget)
{
  int a[4] = {9, 9, 9, 9};
  const int want[4] = {9, 9, 9, 9};
  for (const std::string& bytes : {std::string("\x82\x85\x84"),           // version 2
                                   std::string("\x81\x85\x85"),           // run past the end
                                   std::string("\x81\x85\x80\x86\x84"),   // empty run
                                   std::string("\x81\x85\x82\x86")}) {    // cut short
    std::istringstream ss(header + bytes, std::ios::binary);
    vsl_b_istream is(&ss);
    testing::internal::CaptureStderr();
    vsl_block_binary_rle_read(is, a, 4);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(!is);
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(std::equal(a, a + 4, want));
  }
  std::istringstream ss(header + "\x81\x85\x82\x86\x82", std::ios::binary);
  vsl_b_istream is(&ss);
  vsl_block_binary_rle_read(is, a, 4);
  EXPECT_FALSE(!is);
  EXPECT_EQ(a[0], 5);
  EXPECT_EQ(a[1], 5);
  EXPECT_EQ(a[2], 6);
  EXPECT_EQ(a[3], 6);
}

// The record layouts tessaly's shape classes are built from.
TEST(VslFormat, RecordExamples)
{
  // A default part.
  const std::string part = written([](vsl_b_ostream& os) {
    vsl_b_write(os, static_cast<short>(1));
    vsl_b_write(os, std::vector<int>());
    vsl_b_write(os, -1);
    vsl_b_write(os, 1);
    vsl_b_write(os, 0);
    vsl_b_write(os, std::string("Part0"));
  });
  EXPECT_EQ(part, header + "\x81\x82\x80\xff\x81\x80\x85Part0");
  {
    std::istringstream ss(part, std::ios::binary);
    vsl_b_istream is(&ss);
    short ver = 0;
    std::vector<int> idx{1};
    int largest = 0, jagged = 0, form = 7;
    std::string name;
    vsl_b_read(is, ver);
    vsl_b_read(is, idx);
    vsl_b_read(is, largest);
    vsl_b_read(is, jagged);
    vsl_b_read(is, form);
    vsl_b_read(is, name);
    EXPECT_FALSE(!is);
    EXPECT_EQ(ver, 1);
    EXPECT_TRUE(idx.empty());
    EXPECT_EQ(largest, -1);
    EXPECT_EQ(jagged, 1);
    EXPECT_EQ(form, 0);
    EXPECT_EQ(name, "Part0");
  }

  // A collection with no parts: its version, then an empty vector of records.
  EXPECT_EQ(written([](vsl_b_ostream& os) {
              vsl_b_write(os, static_cast<short>(1));
              vsl_b_write(os, std::vector<std::vector<int>>());
            }),
            header + "\x81\x82\x80");
  {
    std::istringstream ss(header + "\x81\x82\x80", std::ios::binary);
    vsl_b_istream is(&ss);
    short ver = 0;
    std::vector<std::vector<int>> parts{{1}};
    vsl_b_read(is, ver);
    vsl_b_read(is, parts);
    EXPECT_FALSE(!is);
    EXPECT_EQ(ver, 1);
    EXPECT_TRUE(parts.empty());
  }

  // A 2-D point set {(1,2), (3,4), (5,6)}.
  const double xy[] = {1, 3, 5, 2, 4, 6};
  const std::string set = written([&](vsl_b_ostream& os) {
    vsl_b_write(os, static_cast<short>(1));
    vsl_b_write(os, static_cast<short>(1));
    vsl_b_write(os, vnl_vector<double>(xy, 6));
  });
  std::string want = header + "\x81\x81\x82\x86\xff";
  for (double d : xy) want += dbl(d);
  EXPECT_EQ(set, want);
  {
    std::istringstream ss(set, std::ios::binary);
    vsl_b_istream is(&ss);
    short v1 = 0, v2 = 0;
    vnl_vector<double> v;
    vsl_b_read(is, v1);
    vsl_b_read(is, v2);
    vsl_b_read(is, v);
    EXPECT_FALSE(!is);
    EXPECT_EQ(v, vnl_vector<double>(xy, 6));
  }

  // A Bezier curve of 2 nodes: unsigned count, then six points.
  const vgl_point_2d<double> pts[6] = {{0, 0}, {1, 0}, {2, 0}, {3, 3}, {4, 3}, {5, 3}};
  const std::string curve = written([&](vsl_b_ostream& os) {
    vsl_b_write(os, 2u);
    for (const auto& p : pts) vsl_b_write(os, p);
  });
  want = header + "\x82";
  for (const auto& p : pts) want += "\x81" + dbl(p.x()) + dbl(p.y());
  EXPECT_EQ(curve, want);
  {
    std::istringstream ss(curve, std::ios::binary);
    vsl_b_istream is(&ss);
    unsigned n = 0;
    vsl_b_read(is, n);
    ASSERT_EQ(n, 2u);
    for (const auto& p : pts) {
      vgl_point_2d<double> q;
      vsl_b_read(is, q);
      EXPECT_EQ(q, p);
    }
    EXPECT_FALSE(!is);
  }
}

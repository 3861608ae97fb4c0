#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <gtest/gtest.h>
#include <vsl/vsl_binary_io.h>

namespace
{
const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

// Bytes written after the stream header by f.
template <class F>
std::string body(F f)
{
  std::ostringstream ss(std::ios::binary);
  vsl_b_ostream os(&ss);
  f(os);
  const std::string all = ss.str();
  EXPECT_EQ(all.substr(0, 6), header);
  return all.substr(6);
}

template <class T>
std::string encode(T v)
{
  return body([&](vsl_b_ostream& os) { vsl_b_write(os, v); });
}

std::string hex(const std::string& s)
{
  static const char* d = "0123456789abcdef";
  std::string r;
  for (unsigned char c : s) {
    if (!r.empty()) r += ' ';
    r += d[c >> 4];
    r += d[c & 15];
  }
  return r;
}

// Reads one T from header + bytes; returns whether the stream stayed good.
template <class T>
bool decode(const std::string& bytes, T& out)
{
  std::istringstream ss(header + bytes, std::ios::binary);
  vsl_b_istream is(&ss);
  vsl_b_read(is, out);
  return !!is;
}
} // namespace

TEST(VslBinaryIo, HeaderAndEmptyStream)
{
  std::ostringstream ss;
  { vsl_b_ostream os(&ss); EXPECT_FALSE(!os); EXPECT_EQ(os.version_no(), 1); }
  EXPECT_EQ(ss.str(), header);

  std::istringstream good(header);
  vsl_b_istream is(&good);
  EXPECT_FALSE(!is);
  EXPECT_EQ(is.version_no(), 1);

  for (const std::string& bad : {std::string("\x01\x00\x4e\x2c\x2b\x48", 6), std::string("\x02\x00\x4e\x2c\x2b\x47", 6),
                                 std::string("\x01\x00\x4e", 3), std::string()}) {
    std::istringstream in(bad);
    testing::internal::CaptureStderr();
    vsl_b_istream bis(&in);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(!bis) << hex(bad);
    EXPECT_TRUE(bis.is().bad());
    EXPECT_NE(err.find("vsl_b_istream"), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  }
}

TEST(VslBinaryIo, UnsignedIntegerBytes)
{
  const std::pair<unsigned, const char*> cases[] = {{0u, "80"},          {1u, "81"},       {127u, "ff"},
                                                     {128u, "00 81"},     {16383u, "7f ff"}, {16384u, "00 00 81"},
                                                     {4294967295u, "7f 7f 7f 7f 8f"}};
  for (const auto& c : cases) {
    EXPECT_EQ(hex(encode(c.first)), c.second);
    unsigned back = 12345;
    ASSERT_TRUE(decode(encode(c.first), back));
    EXPECT_EQ(back, c.first);
    unsigned long long wide = 7;
    ASSERT_TRUE(decode(encode(c.first), wide));
    EXPECT_EQ(wide, c.first);
  }
  EXPECT_EQ(hex(encode(static_cast<unsigned short>(65535))), "7f 7f 83");
  EXPECT_EQ(hex(encode(std::numeric_limits<unsigned long long>::max())), "7f 7f 7f 7f 7f 7f 7f 7f 7f 81");
  // Width does not matter, only the value.
  EXPECT_EQ(encode(5), encode(5u));
  EXPECT_EQ(encode(std::size_t(5)), "\x85");
  EXPECT_EQ(encode(static_cast<unsigned short>(5)), encode(5ull));
}

TEST(VslBinaryIo, SignedIntegerBytes)
{
  const std::pair<long long, const char*> cases[] = {
    {0, "80"}, {1, "81"}, {-1, "ff"}, {63, "bf"}, {64, "40 80"}, {-64, "c0"}, {-65, "3f ff"},
    {127, "7f 80"}, {128, "00 81"}, {300, "2c 82"}, {-300, "54 fd"}, {32767, "7f 7f 81"},
    {-32768, "00 00 fe"}, {2147483647, "7f 7f 7f 7f 87"}, {-2147483647LL - 1, "00 00 00 00 f8"}};
  for (const auto& c : cases) {
    EXPECT_EQ(hex(encode(c.first)), c.second) << c.first;
    if (c.first >= INT_MIN && c.first <= INT_MAX) {
      EXPECT_EQ(hex(encode(static_cast<int>(c.first))), c.second);
      int back = 12345;
      ASSERT_TRUE(decode(encode(static_cast<int>(c.first)), back));
      EXPECT_EQ(back, c.first);
    }
    if (c.first >= SHRT_MIN && c.first <= SHRT_MAX) {
      short back = 77;
      ASSERT_TRUE(decode(encode(static_cast<short>(c.first)), back));
      EXPECT_EQ(back, c.first);
    }
  }
  for (long long v : {LLONG_MIN, LLONG_MAX, LLONG_MIN + 1, -(1LL << 62), 1LL << 62}) {
    const std::string b = encode(v);
    EXPECT_LE(b.size(), 10u);
    long long back = 0;
    ASSERT_TRUE(decode(b, back));
    EXPECT_EQ(back, v);
  }
}

TEST(VslBinaryIo, IntegerReadErrorsLeaveTargetAlone)
{
  // Value too big for the type read into.
  short s = 9;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(encode(40000), s));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("short"), std::string::npos);
  EXPECT_EQ(s, 9);
  // The code carries no signedness: ff is -1 read signed and 127 unsigned.
  unsigned u = 9;
  EXPECT_TRUE(decode(encode(-1), u));
  EXPECT_EQ(u, 127u);
  u = 9;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(encode(5000000000ull), u));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(u, 9u);
  // Negative value into an unsigned type and vice versa.
  int i = 3;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(encode(4294967295u), i));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(i, 3);
  // Longer than the type allows (3 bytes max for short), even if the value is small.
  s = 9;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(std::string("\x00\x00\x00\x80", 4), s));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(s, 9);
  // Truncated: no terminating byte.
  long l = 4;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(std::string("\x01\x02", 2), l));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("long"), std::string::npos);
  EXPECT_EQ(l, 4);
  // 64-bit overflow in the tenth byte.
  unsigned long long ull = 1;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(decode(std::string("\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x82", 10), ull));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(ull, 1u);
}

TEST(VslBinaryIo, OtherPrimitives)
{
  EXPECT_EQ(hex(encode(true)), "ff");
  EXPECT_EQ(hex(encode(false)), "00");
  bool b = false;
  EXPECT_TRUE(decode(std::string("\x01"), b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(decode(std::string("\x00", 1), b));
  EXPECT_FALSE(b);
  EXPECT_EQ(hex(encode('y')), "79");
  EXPECT_EQ(hex(encode(static_cast<signed char>(-2))), "fe");
  EXPECT_EQ(hex(encode(static_cast<unsigned char>(200))), "c8");
  signed char sc = 0;
  EXPECT_TRUE(decode(std::string("\xfe"), sc));
  EXPECT_EQ(sc, -2);
  EXPECT_EQ(hex(encode(1.7f)), "9a 99 d9 3f");
  EXPECT_EQ(hex(encode(3.4)), "33 33 33 33 33 33 0b 40");
  double d = 0;
  EXPECT_TRUE(decode(encode(-0.125), d));
  EXPECT_EQ(d, -0.125);
  float f = 0;
  EXPECT_TRUE(decode(encode(std::numeric_limits<float>::infinity()), f));
  EXPECT_EQ(f, std::numeric_limits<float>::infinity());
  testing::internal::CaptureStderr();
  d = 7;
  EXPECT_FALSE(decode(std::string("\x00\x00\x00", 3), d));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("double"), std::string::npos);
  EXPECT_EQ(d, 7);
}

TEST(VslBinaryIo, Strings)
{
  EXPECT_EQ(encode(std::string("Part0")), "\x85Part0");
  EXPECT_EQ(encode(std::string()), "\x80");
  const std::string hundred(100, 'a');
  EXPECT_EQ(hex(encode(hundred).substr(0, 2)), "64 80");
  std::string s;
  EXPECT_TRUE(decode(encode(hundred), s));
  EXPECT_EQ(s, hundred);
  // Longer than a short: written in full.
  const std::string big(40000, 'z');
  EXPECT_EQ(encode(big).size(), 3 + big.size());
  EXPECT_TRUE(decode(encode(big), s));
  EXPECT_EQ(s, big);
  // Read unsigned, as VXL does: the signed encodings of -64, -1, -28 and
  // -65 are the lengths 64, 127, 100 and 16319.  One character short is
  // refused, s kept.
  const std::pair<std::string, std::size_t> lengths[] = {
      {"\xc0", 64}, {"\xff", 127}, {"\xe4", 100}, {"\x3f\xff", 16319}};
  for (const auto& l : lengths) {
    SCOPED_TRACE(hex(l.first));
    const std::string chars(l.second, 'b');
    EXPECT_TRUE(decode(l.first + chars, s));
    EXPECT_EQ(s, chars);
    s = "keep";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(decode(l.first + chars.substr(1), s));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("std::string"), std::string::npos);
    EXPECT_EQ(s, "keep");
  }
}

TEST(VslBinaryIo, CStrings)
{
  EXPECT_EQ(encode("A C string"), std::string("A C string\0", 11));
  char buf[16] = "xxxxxxxxxxxxxxx";
  EXPECT_TRUE(decode(encode("A C string"), buf));
  EXPECT_STREQ(buf, "A C string");
  // Longer than the buffer: an error, never an overflow.
  char small[4] = "abc";
  std::istringstream ss(header + std::string("toolong\0", 8), std::ios::binary);
  vsl_b_istream is(&ss);
  testing::internal::CaptureStderr();
  vsl_b_read(is, small);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(!is);
  EXPECT_STREQ(small, "");
}

TEST(VslBinaryIo, BadStreamStaysPutAndRecovers)
{
  std::istringstream ss(header + "\x85\x86\x87", std::ios::binary);
  vsl_b_istream is(&ss);
  int a = 0, b = 0;
  vsl_b_read(is, a);
  EXPECT_EQ(a, 5);
  is.is().setstate(std::ios::badbit);
  vsl_b_read(is, b);
  EXPECT_EQ(b, 0);  // nothing consumed, nothing changed
  std::string s = "same";
  vsl_b_read(is, s);
  EXPECT_EQ(s, "same");
  is.is().clear();
  vsl_b_read(is, b);
  EXPECT_EQ(b, 6);
}

TEST(VslBinaryIo, FileStreams)
{
  const std::string path = testing::TempDir() + "vsl_binary_io_test.bvl";
  {
    vsl_b_ofstream bfs(path);
    ASSERT_FALSE(!bfs);
    vsl_b_write(bfs, 42);
    vsl_b_write(bfs, std::string("abc"));
    bfs.close();
  }
  {
    std::ifstream raw(path, std::ios::binary);
    EXPECT_TRUE(vsl_b_istream_test(raw));
    EXPECT_EQ(raw.tellg(), 0);  // position restored
  }
  vsl_b_ifstream bfs(path);
  ASSERT_FALSE(!bfs);
  int n = 0;
  std::string s;
  vsl_b_read(bfs, n);
  vsl_b_read(bfs, s);
  EXPECT_FALSE(!bfs);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(s, "abc");
  bfs.close();
  std::remove(path.c_str());

  vsl_b_ifstream missing(testing::TempDir() + "no/such/file.bvl");
  EXPECT_TRUE(!missing);
  vsl_b_ofstream unwritable(testing::TempDir() + "no/such/dir/file.bvl");
  EXPECT_TRUE(!unwritable);
  // A directory opens but cannot be read: an error, not a crash.
  testing::internal::CaptureStderr();
  vsl_b_ifstream dir(testing::TempDir());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(!dir);
  EXPECT_NE(err.find("vsl_b_istream"), std::string::npos);
  std::istringstream junk("not a vsl stream");
  EXPECT_FALSE(vsl_b_istream_test(junk));
}

TEST(VslBinaryIoDeathTest, NullStreams)
{
  EXPECT_DEATH({ vsl_b_ostream os(nullptr); }, "os != nullptr");
  EXPECT_DEATH({ vsl_b_istream is(nullptr); }, "is != nullptr");
}

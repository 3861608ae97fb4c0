#include <cstring>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <vgl/io/vgl_io_point_2d.h>
#include <vnl/io/vnl_io_vector.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_indent.h>
#include <vsl/vsl_vector_io.h>

namespace
{
const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

template <class T>
std::string encode(const T& v)
{
  std::ostringstream ss(std::ios::binary);
  vsl_b_ostream os(&ss);
  vsl_b_write(os, v);
  return ss.str().substr(6);
}

std::string dbl(double d)
{
  char b[8];
  std::memcpy(b, &d, 8);
  return std::string(b, 8);
}

// Reads one T from header + bytes; returns whether the stream stayed good.
template <class T>
bool decode(const std::string& bytes, T& out, bool quiet = true)
{
  std::istringstream ss(header + bytes, std::ios::binary);
  vsl_b_istream is(&ss);
  if (quiet) testing::internal::CaptureStderr();
  vsl_b_read(is, out);
  if (quiet) testing::internal::GetCapturedStderr();
  return !!is;
}

// A small record type, written element by element.
struct rec
{
  int a = 0;
  std::string s;
  bool operator==(const rec& o) const { return a == o.a && s == o.s; }
};
void vsl_b_write(vsl_b_ostream& os, const rec& r)
{
  vsl_b_write(os, r.a);
  vsl_b_write(os, r.s);
}
void vsl_b_read(vsl_b_istream& is, rec& r)
{
  vsl_b_read(is, r.a);
  vsl_b_read(is, r.s);
}
} // namespace

TEST(VslVectorIo, BuiltInLayouts)
{
  EXPECT_EQ(encode(std::vector<int>{0, 1, 2, 3}), "\x82\x84\xff\x84\x80\x81\x82\x83");
  EXPECT_EQ(encode(std::vector<int>{5, -9, 1000000}), "\x82\x83\xff\x85\x85\xf7\x40\x04\xbd");
  EXPECT_EQ(encode(std::vector<int>{}), "\x82\x80");
  EXPECT_EQ(encode(std::vector<double>{1.5, -2}), "\x82\x82\xff" + dbl(1.5) + dbl(-2));
  // Version 2 keeps the by-element flag for chars, as VXL reads them there.
  EXPECT_EQ(encode(std::vector<unsigned char>{'A', 'B'}), std::string("\x82\x82\x00" "AB", 5));
  EXPECT_EQ(encode(std::vector<signed char>{'A', -1}), std::string("\x82\x82\x00" "A\xff", 5));
  EXPECT_EQ(encode(std::vector<bool>{true, false}), std::string("\x81\x82\xff\x00", 4));

  std::vector<int> vi;
  EXPECT_TRUE(decode("\x82\x84\xff\x84\x80\x81\x82\x83", vi));
  EXPECT_EQ(vi, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(decode(encode(std::vector<int>{5, -9, 1000000}), vi));
  EXPECT_EQ(vi, (std::vector<int>{5, -9, 1000000}));
  // Version 3 has the same layout.
  EXPECT_TRUE(decode("\x83\x83\xff\x85\x85\xf7\x40\x04\xbd", vi));
  EXPECT_EQ(vi, (std::vector<int>{5, -9, 1000000}));
  EXPECT_TRUE(decode("\x82\x80", vi));
  EXPECT_TRUE(vi.empty());

  std::vector<double> vd;
  EXPECT_TRUE(decode(encode(std::vector<double>{1.5, -2}), vd));
  EXPECT_EQ(vd, (std::vector<double>{1.5, -2}));
  std::vector<unsigned long long> vu{0, 1ull << 63, ~0ull}, vu2;
  EXPECT_TRUE(decode(encode(vu), vu2));
  EXPECT_EQ(vu, vu2);
  std::vector<short> vs{-32768, 32767, 0}, vs2;
  EXPECT_TRUE(decode(encode(vs), vs2));
  EXPECT_EQ(vs, vs2);
  std::vector<bool> vb{true, false, true}, vb2;
  EXPECT_TRUE(decode(encode(vb), vb2));
  EXPECT_EQ(vb, vb2);
  std::vector<char> vc{'x', '\0', 'y'}, vc2;
  EXPECT_TRUE(decode(encode(vc), vc2));
  EXPECT_EQ(vc, vc2);
  // Either flag in version 2 (earlier builds wrote ff), the raw one in 3.
  for (const char* bytes : {"\x82\x82\x00" "AB", "\x82\x82\xff" "AB", "\x83\x82\xff" "AB"}) {
    std::vector<unsigned char> vu8;
    EXPECT_TRUE(decode(std::string(bytes, 5), vu8)) << bytes[0];
    EXPECT_EQ(vu8, (std::vector<unsigned char>{'A', 'B'}));
  }
}

TEST(VslVectorIo, ClassLayouts)
{
  const std::vector<rec> v{{1, "a"}, {-1, ""}};
  EXPECT_EQ(encode(v), std::string("\x82\x82\x00\x81\x81" "a" "\xff\x80", 8));
  EXPECT_EQ(encode(std::vector<rec>{}), "\x82\x80");
  std::vector<rec> back;
  EXPECT_TRUE(decode(encode(v), back));
  EXPECT_EQ(back, v);
  std::vector<std::string> vs{"one", "", "three"}, vs2;
  EXPECT_TRUE(decode(encode(vs), vs2));
  EXPECT_EQ(vs, vs2);
  std::vector<std::vector<int>> nested{{1, 2}, {}, {3}}, nested2;
  EXPECT_TRUE(decode(encode(nested), nested2));
  EXPECT_EQ(nested, nested2);
  std::vector<vgl_point_2d<double>> pts{{1, 2}, {3, 4}}, pts2;
  EXPECT_TRUE(decode(encode(pts), pts2));
  EXPECT_EQ(pts, pts2);
}

TEST(VslVectorIo, Errors)
{
  const std::vector<int> keep{7, 8};
  std::vector<int> v = keep;
  // Unknown versions, named in one line on stderr.
  {
    std::istringstream ss(header + "\x84\x80", std::ios::binary);
    vsl_b_istream is(&ss);
    testing::internal::CaptureStderr();
    vsl_b_read(is, v);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(!is);
    EXPECT_TRUE(is.is().bad());
    EXPECT_NE(err.find("std::vector"), std::string::npos);
    EXPECT_NE(err.find("Unknown version number 4"), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  }
  EXPECT_EQ(v, keep);
  EXPECT_FALSE(decode("\x81\x80", v));
  // Wrong block flag for the element type.
  EXPECT_FALSE(decode(std::string("\x82\x81\x00\x85", 4), v));
  std::vector<rec> vr;
  EXPECT_FALSE(decode("\x82\x81\xff\x81\x81" "a", vr));
  // Byte count that does not match what the numbers use.
  EXPECT_FALSE(decode("\x82\x82\xff\x83\x81\x82", v));
  EXPECT_FALSE(decode("\x82\x82\xff\x81\x81\x82", v));
  EXPECT_FALSE(decode("\x82\x82\xff\x82\x01\x82", v));  // one 2-byte number, not two
  // Counts far beyond the data: refused before allocating.
  EXPECT_FALSE(decode("\x82\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x81\xff", v));
  std::vector<double> vd{1};
  EXPECT_FALSE(decode("\x82\x00\x00\x00\x81\xff" + dbl(1), vd));
  EXPECT_EQ(vd, std::vector<double>{1});
  EXPECT_EQ(v, keep);
  // Version 3 char vectors carry the raw flag only.
  std::vector<unsigned char> vc;
  EXPECT_FALSE(decode(std::string("\x83\x82\x00" "AB", 5), vc));
}

TEST(VslVectorIo, VnlVectorAndPoint)
{
  const double e[] = {1, 3, 5, 2, 4, 6};
  const vnl_vector<double> v(e, 6);
  std::string want = "\x82\x86\xff";
  for (double d : e) want += dbl(d);
  EXPECT_EQ(encode(v), want);
  EXPECT_EQ(encode(vnl_vector<double>()), "\x82\x80");
  vnl_vector<double> back(2, 9.0);
  EXPECT_TRUE(decode(want, back));
  EXPECT_EQ(back, v);
  EXPECT_TRUE(decode("\x82\x80", back));
  EXPECT_EQ(back.size(), 0u);
  back = v;
  EXPECT_FALSE(decode("\x83\x80", back));
  EXPECT_FALSE(decode("\x82\x86\xff" + dbl(1), back));
  EXPECT_EQ(back, v);

  EXPECT_EQ(encode(vgl_point_2d<double>(1, 2)), "\x81" + dbl(1) + dbl(2));
  vgl_point_2d<double> p(0, 0);
  EXPECT_TRUE(decode("\x81" + dbl(-1.5) + dbl(2.25), p));
  EXPECT_EQ(p, vgl_point_2d<double>(-1.5, 2.25));
  EXPECT_FALSE(decode("\x82" + dbl(1) + dbl(2), p));
  EXPECT_FALSE(decode("\x81" + dbl(1), p));
  EXPECT_EQ(p, vgl_point_2d<double>(-1.5, 2.25));
}

TEST(VslVectorIo, SummariesAndIndent)
{
  std::ostringstream os;
  vsl_print_summary(os, std::vector<int>{4, 5});
  EXPECT_EQ(os.str(), "Vector length: 2\n 0: 4\n 1: 5\n");
  std::ostringstream ov;
  const double e[] = {1, 2};
  vsl_print_summary(ov, vnl_vector<double>(e, 2));
  EXPECT_EQ(ov.str(), "Len: 2 (1 2)");
  std::ostringstream op;
  vsl_print_summary(op, vgl_point_2d<double>(1.5, -2));
  EXPECT_EQ(op.str(), "<vgl_point_2d 1.5,-2 > ");

  std::ostringstream a, b;
  vsl_indent_inc(a);
  vsl_indent_inc(a);
  a << vsl_indent() << 'x';
  b << vsl_indent() << 'y';  // each stream has its own level
  EXPECT_EQ(a.str(), "    x");
  EXPECT_EQ(b.str(), "y");
  vsl_indent_set_tab(a, 3);
  EXPECT_EQ(vsl_indent_tab(a), 3);
  vsl_indent_dec(a);
  a << vsl_indent() << 'z';
  EXPECT_EQ(a.str(), "    x   z");
  vsl_indent_dec(a);
  vsl_indent_dec(a);  // not below zero
  a << vsl_indent() << 'w';
  EXPECT_EQ(a.str(), "    x   zw");
  vsl_indent_inc(a);
  vsl_indent_clear(a);
  EXPECT_EQ(vsl_indent_tab(a), 2);
  vsl_indent_inc(b);
  vsl_indent_clear_all_data();
  b << vsl_indent() << 'v';
  EXPECT_EQ(b.str(), "yv");
}

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <gtest/gtest.h>
#include <vsl/vsl_binary_io.h>
#include <shape_data/vsml_bezier.h>

namespace
{
typedef vgl_point_2d<double> pt;

const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

std::string le_double(double d)
{
  std::uint64_t u;
  std::memcpy(&u, &d, 8);
  std::string s;
  for (int i = 0; i < 8; ++i) s += char((u >> (8 * i)) & 0xff);
  return s;
}

std::string point_bytes(double x, double y)
{
  return std::string("\x81", 1) + le_double(x) + le_double(y);
}

std::string record_of(const vsml_bezier& b)
{
  std::ostringstream s(std::ios::binary);
  vsl_b_ostream os(&s);
  vsl_b_write(os, b);
  return s.str();
}

vsml_bezier ring(int n)
{
  std::vector<pt> pts;
  for (int i = 0; i < n; ++i)
    pts.push_back(pt(100 + 40 * std::cos(0.3 * i), 80 - 25 * std::sin(0.7 * i)));
  vsml_bezier b;
  b.set(pts);
  return b;
}

// A stream buffer that cannot seek, like a pipe: the reader cannot know how
// much is left.
class no_seek_buf : public std::streambuf
{
 public:
  explicit no_seek_buf(const std::string& s) : data_(s)
  {
    setg(&data_[0], &data_[0], &data_[0] + data_.size());
  }

 private:
  std::string data_;
};
}  // namespace

TEST(VsmlBezierIo, ExactBytes)
{
  vsml_bezier b;
  b.set({pt(0, 0), pt(3, 0)});
  std::string expect = header + "\x82";
  for (const pt& p : {pt(0, 0), pt(1, 0), pt(2, 0), pt(3, 0), pt(4, 0), pt(-1, 0)})
    expect += point_bytes(p.x(), p.y());
  EXPECT_EQ(record_of(b), expect);
  EXPECT_EQ(record_of(vsml_bezier()), header + "\x80");
  // 128 nodes take a two-byte count.
  EXPECT_EQ(record_of(ring(128)).substr(6, 2), std::string("\x00\x81", 2));
}

TEST(VsmlBezierIo, RoundTripUpToAndPast127Nodes)
{
  for (int n = 1; n <= 130; ++n) {
    SCOPED_TRACE(n);
    const vsml_bezier b = ring(n);
    std::istringstream s(record_of(b));
    vsl_b_istream is(&s);
    vsml_bezier r;
    vsl_b_read(is, r);
    ASSERT_TRUE(!!is);
    EXPECT_EQ(r, b);
    EXPECT_EQ(s.peek(), EOF);
  }
  // Reading replaces what the curve held, also by an empty curve.
  vsml_bezier r = ring(9);
  {
    std::istringstream s(record_of(ring(4)));
    vsl_b_istream is(&s);
    r.b_read(is);
    EXPECT_EQ(r, ring(4));
  }
  {
    std::istringstream s(record_of(vsml_bezier()));
    vsl_b_istream is(&s);
    r.b_read(is);
    EXPECT_TRUE(!!is);
    EXPECT_TRUE(r.empty());
  }
}

TEST(VsmlBezierIo, HostileInputNeverCrashesOrLosesTheCurve)
{
  const vsml_bezier keep = ring(3);
  const std::string good = record_of(ring(5));

  // Every truncation fails and leaves the curve as it was.
  for (std::size_t len = header.size(); len < good.size(); ++len) {
    SCOPED_TRACE(len);
    std::istringstream s(good.substr(0, len));
    vsl_b_istream is(&s);
    vsml_bezier b = keep;
    testing::internal::CaptureStderr();
    b.b_read(is);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    EXPECT_EQ(b, keep);
  }

  // A count far beyond the stream's bytes is refused before any allocation.
  for (const std::string& count : {std::string("\x7f\x7f\x7f\x7f\x8f"), std::string("\x86")}) {
    std::istringstream s(header + count + point_bytes(1, 2) + point_bytes(3, 4) + point_bytes(5, 6));
    vsl_b_istream is(&s);
    vsml_bezier b = keep;
    testing::internal::CaptureStderr();
    b.b_read(is);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    EXPECT_EQ(b, keep);
    EXPECT_NE(err.find("vsml_bezier::b_read()"), std::string::npos) << err;
  }

  // Without a known length the nodes are read as they come; the shortfall
  // shows at the end of the data.
  {
    no_seek_buf buf(header + "\x7f\x7f\x7f\x7f\x8f" + point_bytes(1, 2) + point_bytes(3, 4) +
                    point_bytes(5, 6) + point_bytes(7, 8));
    std::istream in(&buf);
    vsl_b_istream is(&in);
    vsml_bezier b = keep;
    testing::internal::CaptureStderr();
    b.b_read(is);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    EXPECT_EQ(b, keep);
  }
  {
    no_seek_buf buf(good);
    std::istream in(&buf);
    vsl_b_istream is(&in);
    vsml_bezier b;
    b.b_read(is);
    EXPECT_TRUE(!!is);
    EXPECT_EQ(b, ring(5));
  }

  // A bad point version is an error, not a node.
  {
    std::string bad = good;
    bad[6 + 1 + 17] = '\x82';  // version of node 0's C1
    std::istringstream s(bad);
    vsl_b_istream is(&s);
    vsml_bezier b = keep;
    testing::internal::CaptureStderr();
    b.b_read(is);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    EXPECT_EQ(b, keep);
  }

  // A stream already bad is left alone.
  {
    std::istringstream s(good);
    vsl_b_istream is(&s);
    is.is().setstate(std::ios::badbit);
    vsml_bezier b = keep;
    b.b_read(is);
    EXPECT_EQ(b, keep);
  }

  // Random corruption: either a whole curve is read or nothing changes.
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string bytes = good;
    const int flips = 1 + int(rng() % 4);
    for (int f = 0; f < flips; ++f)
      bytes[header.size() + rng() % (bytes.size() - header.size())] = char(rng() & 0xff);
    if (trial % 3 == 0) bytes.resize(header.size() + rng() % (bytes.size() - header.size()));
    std::istringstream s(bytes);
    vsl_b_istream is(&s);
    vsml_bezier b = keep;
    testing::internal::CaptureStderr();
    b.b_read(is);
    testing::internal::GetCapturedStderr();
    if (!is)
      EXPECT_EQ(b, keep);
    else
      EXPECT_LE(b.size(), 5u);  // the bytes hold no more nodes than that
  }
}

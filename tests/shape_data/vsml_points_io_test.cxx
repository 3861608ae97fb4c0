#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <gtest/gtest.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_binary_loader.h>
#include <shape_data/vsml_points_2d.h>

namespace
{
typedef vgl_point_2d<double> pt;

const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

std::string le_doubles(std::initializer_list<double> ds)
{
  std::string s;
  for (double d : ds) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    for (int i = 0; i < 8; ++i) s += char((u >> (8 * i)) & 0xff);
  }
  return s;
}

vsml_points_2d three_points()
{
  vsml_points_2d p;
  p.setPoints2D({pt(1, 2), pt(3, 4), pt(5, 6)});
  return p;
}

template <class T>
std::string record_of(const T& obj)
{
  std::ostringstream s(std::ios::binary);
  vsl_b_ostream os(&s);
  vsl_b_write(os, obj);
  return s.str();
}

// Reads bytes into p with stderr captured; returns whether the stream stayed good.
bool read_into(const std::string& bytes, vsml_points& p, std::string* err = nullptr)
{
  std::istringstream s(bytes);
  vsl_b_istream is(&s);
  testing::internal::CaptureStderr();
  vsl_b_read(is, p);
  const std::string e = testing::internal::GetCapturedStderr();
  if (err) *err = e;
  return !!is;
}
}  // namespace

TEST(VsmlPointsIo, ExactBytesAndRoundTrip)
{
  const vsml_points_2d p = three_points();
  const std::string body = std::string("\x81\x81\x82\x86\xff", 5) + le_doubles({1, 3, 5, 2, 4, 6});
  EXPECT_EQ(record_of(p), header + body);
  EXPECT_EQ(record_of(vsml_points_2d()), header + "\x81\x81\x82\x80");

  vsml_points_2d r;
  r.setPoints2D({pt(9, 9)});
  EXPECT_TRUE(read_into(header + body, r));
  EXPECT_EQ(r, p);
  EXPECT_TRUE(read_into(header + "\x81\x81\x82\x80", r));
  EXPECT_EQ(r.size(), 0u);

  // Larger sets, past the one-byte count.
  vsml_points_2d big;
  std::vector<pt> pts;
  for (int i = 0; i < 300; ++i) pts.push_back(pt(i * 0.5, -i * 1.25));
  big.setPoints2D(pts);
  EXPECT_TRUE(read_into(record_of(big), r));
  EXPECT_EQ(r, big);
}

TEST(VsmlPointsIo, BadRecordsLeaveTheSetAlone)
{
  const vsml_points_2d keep = three_points();
  std::string err;

  // Unknown versions, of the 2-D record and of the base record.
  vsml_points_2d p = keep;
  EXPECT_FALSE(read_into(header + "\x82\x81\x82\x80", p, &err));
  EXPECT_EQ(err, "vsml_points_2d::b_read() Unexpected version number 2\n");
  EXPECT_EQ(p, keep);
  EXPECT_FALSE(read_into(header + "\x81\x83\x82\x80", p, &err));
  EXPECT_EQ(err, "vsml_points::b_read() Unexpected version number 3\n");
  EXPECT_EQ(p, keep);

  // An odd number of coordinates would leave half a point.
  EXPECT_FALSE(read_into(header + "\x81\x81\x82\x85\xff" + le_doubles({1, 2, 3, 4, 5}), p, &err));
  EXPECT_NE(err.find("vsml_points::b_read()"), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
  EXPECT_EQ(p, keep);

  // A coordinate count far beyond the stream.
  EXPECT_FALSE(read_into(header + "\x81\x81\x82\x7f\x7f\x7f\x7f\x8f\xff" + le_doubles({1, 2}), p));
  EXPECT_EQ(p, keep);

  // Every truncation of a good record.
  const std::string good = record_of(three_points());
  for (std::size_t len = header.size(); len < good.size(); ++len) {
    SCOPED_TRACE(len);
    vsml_points_2d q = keep;
    q.scaleBy(2);
    const vsml_points_2d before = q;
    EXPECT_FALSE(read_into(good.substr(0, len), q));
    EXPECT_EQ(q, before);
  }

  // Random corruption: a good read gives whole points, a bad one changes nothing.
  std::mt19937 rng(777);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string bytes = good;
    const int flips = 1 + int(rng() % 3);
    for (int f = 0; f < flips; ++f)
      bytes[header.size() + rng() % (bytes.size() - header.size())] = char(rng() & 0xff);
    if (trial % 4 == 0) bytes.resize(header.size() + rng() % (bytes.size() - header.size()));
    vsml_points_2d q = keep;
    if (read_into(bytes, q))
      EXPECT_EQ(q.vector().size() % 2, 0u);
    else
      EXPECT_EQ(q, keep);
  }
}

TEST(VsmlPointsIo, PolymorphicRecordAndLoader)
{
  // A fresh loader: nothing registered yet.
  vsl_delete_all_loaders();
  const vsml_points_2d p = three_points();
  const std::string rec = record_of(static_cast<const vsml_points*>(&p));
  EXPECT_EQ(rec, header + std::string("\x8e", 1) + "vsml_points_2d" +
                     std::string("\x81\x81\x82\x86\xff", 5) + le_doubles({1, 3, 5, 2, 4, 6}));
  const std::string null_rec = record_of(static_cast<const vsml_points*>(nullptr));
  EXPECT_EQ(null_rec, header + "\x8cVSL_NULL_PTR");

  {
    std::istringstream s(rec);
    vsl_b_istream is(&s);
    vsml_points* r = new vsml_points_2d(p);
    testing::internal::CaptureStderr();
    vsl_binary_loader<vsml_points>::instance().load_object(is, r);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    EXPECT_EQ(r, nullptr);
    EXPECT_NE(err.find("vsml_points_2d"), std::string::npos) << err;
  }

  vsl_add_to_binary_loader(vsml_points_2d());
  ASSERT_EQ(vsl_binary_loader<vsml_points>::instance().object().size(), 1u);
  EXPECT_EQ(vsl_binary_loader<vsml_points>::instance().object()[0]->is_a(), "vsml_points_2d");
  {
    std::istringstream s(rec + null_rec.substr(header.size()));
    vsl_b_istream is(&s);
    vsml_points* r = nullptr;
    vsl_binary_loader<vsml_points>::instance().load_object(is, r);
    ASSERT_TRUE(!!is);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->is_a(), "vsml_points_2d");
    EXPECT_EQ(*dynamic_cast<vsml_points_2d*>(r), p);
    // The next record is a null pointer; the object read before is freed.
    vsl_b_read(is, r);
    EXPECT_TRUE(!!is);
    EXPECT_EQ(r, nullptr);
  }
  {
    // A known name followed by a broken record.
    std::istringstream s(rec.substr(0, rec.size() - 3));
    vsl_b_istream is(&s);
    vsml_points* r = nullptr;
    testing::internal::CaptureStderr();
    vsl_b_read(is, r);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(!!is);
    delete r;
  }
  vsl_delete_all_loaders();
}

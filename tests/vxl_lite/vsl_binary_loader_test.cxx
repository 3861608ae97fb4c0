#include <sstream>
#include <string>
#include <gtest/gtest.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_binary_loader.h>

namespace
{
const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

int live_shapes = 0;

class shape
{
 public:
  shape() { ++live_shapes; }
  shape(const shape&) { ++live_shapes; }
  virtual ~shape() { --live_shapes; }
  virtual std::string is_a() const = 0;
  virtual shape* clone() const = 0;
  virtual void b_write(vsl_b_ostream& os) const = 0;
  virtual void b_read(vsl_b_istream& is) = 0;
};

class circle : public shape
{
 public:
  double r = 0;
  std::string is_a() const override { return "circle"; }
  shape* clone() const override { return new circle(*this); }
  void b_write(vsl_b_ostream& os) const override { vsl_b_write(os, r); }
  void b_read(vsl_b_istream& is) override { vsl_b_read(is, r); }
};

class square : public shape
{
 public:
  int side = 0;
  std::string is_a() const override { return "square"; }
  shape* clone() const override { return new square(*this); }
  void b_write(vsl_b_ostream& os) const override { vsl_b_write(os, side); }
  void b_read(vsl_b_istream& is) override { vsl_b_read(is, side); }
};

void write_ptr(vsl_b_ostream& os, const shape* s)
{
  if (!s) {
    vsl_b_write(os, std::string("VSL_NULL_PTR"));
    return;
  }
  vsl_b_write(os, s->is_a());
  s->b_write(os);
}
} // namespace

TEST(VslBinaryLoader, RoundTripNullAndUnknown)
{
  vsl_delete_all_loaders();
  EXPECT_EQ(live_shapes, 0);
  vsl_binary_loader<shape>::instance().add(circle());
  vsl_binary_loader<shape>::instance().add(square());
  ASSERT_EQ(vsl_binary_loader<shape>::instance().object().size(), 2u);
  EXPECT_EQ(vsl_binary_loader<shape>::instance().object()[1]->is_a(), "square");

  std::ostringstream out(std::ios::binary);
  {
    vsl_b_ostream os(&out);
    square sq;
    sq.side = 7;
    circle c;
    c.r = 2.5;
    write_ptr(os, &sq);
    write_ptr(os, nullptr);
    write_ptr(os, &c);
  }
  EXPECT_EQ(out.str().substr(6, 21), "\x86square\x87\x8cVSL_NULL_PTR");
  std::ostringstream nul(std::ios::binary);
  {
    vsl_b_ostream os(&nul);
    write_ptr(os, nullptr);
  }
  EXPECT_EQ(nul.str().substr(6), "\x8cVSL_NULL_PTR");

  std::istringstream in(out.str(), std::ios::binary);
  vsl_b_istream is(&in);
  shape* p = new circle;  // replaced: the old object is deleted
  vsl_b_read(is, p);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->is_a(), "square");
  EXPECT_EQ(static_cast<square*>(p)->side, 7);
  vsl_b_read(is, p);
  EXPECT_EQ(p, nullptr);
  vsl_b_read(is, p);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<circle*>(p)->r, 2.5);
  EXPECT_FALSE(!is);
  delete p;

  // An unknown name: one line naming the loader and what it knows; bad stream, null pointer.
  std::istringstream unk(header + "\x86" "blob42" "\x81", std::ios::binary);
  vsl_b_istream uis(&unk);
  p = new square;
  testing::internal::CaptureStderr();
  vsl_b_read(uis, p);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(!uis);
  EXPECT_TRUE(uis.is().bad());
  EXPECT_NE(err.find("vsl_binary_loader<"), std::string::npos);
  EXPECT_NE(err.find("shape"), std::string::npos);
  EXPECT_NE(err.find("blob42"), std::string::npos);
  EXPECT_NE(err.find("circle, square"), std::string::npos);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  // A bad stream leaves the pointer alone.
  p = new circle;
  shape* before = p;
  vsl_b_read(uis, p);
  EXPECT_EQ(p, before);
  delete p;

  // Deleting the loaders frees the prototypes; the loader comes back empty.
  EXPECT_EQ(live_shapes, 2);
  vsl_delete_all_loaders();
  EXPECT_EQ(live_shapes, 0);
  EXPECT_TRUE(vsl_binary_loader<shape>::instance().object().empty());
  std::istringstream again(out.str(), std::ios::binary);
  vsl_b_istream ais(&again);
  p = nullptr;
  testing::internal::CaptureStderr();
  vsl_b_read(ais, p);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("registered: none"), std::string::npos);
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(!ais);
}

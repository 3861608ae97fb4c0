#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <shape_data/vsml_part.h>

namespace
{
std::string text_of(const vsml_part& p)
{
  std::ostringstream os;
  os << p;
  return os.str();
}
}  // namespace

TEST(VsmlPart, Defaults)
{
  const vsml_part p;
  EXPECT_TRUE(p.indices().empty());
  EXPECT_EQ(p.nPoints(), 0);
  EXPECT_EQ(p.maxIndex(), -1);
  EXPECT_FALSE(p.isSmooth());
  EXPECT_EQ(p.form(), vsml_part::OpenBoundary);
  EXPECT_EQ(p.name(), "Part0");
  EXPECT_EQ(p.is_a(), "vsml_part");
  EXPECT_EQ(p.version_no(), 1);
}

TEST(VsmlPart, PrintsTextLayout)
{
  vsml_part p;
  EXPECT_EQ(text_of(p),
            "part \"Part0\" {\n    indices()\n    form open_boundary\n    point_density 1\n    jagged\n}\n\n");

  p.setName("left eye");
  p.setIndices({3, -1, 12});
  p.setForm(vsml_part::ClosedBoundary);
  p.setSmooth();
  EXPECT_EQ(text_of(p),
            "part \"left eye\" {\n    indices(3,-1,12)\n    form closed_boundary\n    point_density 1\n"
            "    smooth\n}\n\n");

  // A set of points is never joined: no density, no smoothness, either flag.
  p.setForm(vsml_part::SetOfPoints);
  EXPECT_EQ(text_of(p), "part \"left eye\" {\n    indices(3,-1,12)\n    form set_of_points\n}\n\n");
  p.setJagged();
  EXPECT_EQ(text_of(p), "part \"left eye\" {\n    indices(3,-1,12)\n    form set_of_points\n}\n\n");

  // A form value no enumerator names prints only the smoothness line.
  p.setForm(static_cast<vsml_part::CurveForm>(7));
  EXPECT_EQ(text_of(p), "part \"left eye\" {\n    indices(3,-1,12)\n    jagged\n}\n\n");

  std::ostringstream os;
  vsl_print_summary(os, p);
  EXPECT_EQ(os.str(), text_of(p));
}

TEST(VsmlPart, MaxIndexCaching)
{
  vsml_part p;
  p.setIndices({4, 9, 2});
  EXPECT_EQ(p.maxIndex(), 9);
  p.setIndices({-5, -3, -8});
  EXPECT_EQ(p.maxIndex(), -3);
  // An empty list caches 0 through setIndices ...
  p.setIndices({});
  EXPECT_EQ(p.maxIndex(), 0);
  // ... but -1 through setOneToOne(0).
  p.setOneToOne(0);
  EXPECT_EQ(p.maxIndex(), -1);
  EXPECT_TRUE(p.indices().empty());
  p.calcMaxIndex();
  EXPECT_EQ(p.maxIndex(), 0);
  // Changing the form does not touch the cache.
  p.setIndices({1, 2});
  p.setForm(vsml_part::SetOfPoints);
  EXPECT_EQ(p.maxIndex(), 2);
}

TEST(VsmlPart, SetOneToOne)
{
  vsml_part p;
  p.setName("outline");
  p.setSmooth();
  p.setForm(vsml_part::SetOfPoints);
  p.setIndices({7, 7, 7, 7, 7, 7, 7, 7});
  p.setOneToOne(4);
  EXPECT_EQ(p.indices(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(p.maxIndex(), 3);
  EXPECT_EQ(p.form(), vsml_part::ClosedBoundary);
  EXPECT_FALSE(p.isSmooth());
  EXPECT_EQ(p.name(), "outline");
  EXPECT_EQ(p.index(2), 2);
  EXPECT_EQ(p.nPoints(), 4);

  // A negative count is refused and changes nothing.
  vsml_part q = p;
  q.setSmooth();
  const vsml_part before = q;
  testing::internal::CaptureStderr();
  q.setOneToOne(-3);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("setOneToOne"), std::string::npos) << err;
  EXPECT_EQ(q, before);
  EXPECT_EQ(q.maxIndex(), 3);
  EXPECT_TRUE(q.isSmooth());
}

TEST(VsmlPart, EqualityIgnoresCachedMaxIndex)
{
  vsml_part a, b;
  EXPECT_EQ(a, b);
  a.setIndices({});  // caches 0
  b.setOneToOne(0);  // caches -1, but also closed: make the rest match
  b.setForm(vsml_part::OpenBoundary);
  EXPECT_NE(a.maxIndex(), b.maxIndex());
  EXPECT_TRUE(a == b);

  b.setName("Part1");
  EXPECT_FALSE(a == b);
  b.setName(std::string("Part0\0", 6));  // same prefix, different length
  EXPECT_FALSE(a == b);
  b.setName("Part0");
  b.setSmooth();
  EXPECT_FALSE(a == b);
  b.setJagged();
  b.setForm(vsml_part::ClosedBoundary);
  EXPECT_FALSE(a == b);
  b.setForm(vsml_part::OpenBoundary);
  b.setIndices({0});
  EXPECT_FALSE(a == b);
  a.setIndices({0});
  EXPECT_TRUE(a == b);
  a.setIndices({0, 1});
  b.setIndices({1, 0});
  EXPECT_FALSE(a == b);
}

TEST(VsmlPartDeathTest, IndexOutOfRangeIsFatal)
{
  vsml_part p;
  p.setIndices({1, 2});
  EXPECT_DEATH(p.index(2), "");
  EXPECT_DEATH(p.index(-1), "");
}

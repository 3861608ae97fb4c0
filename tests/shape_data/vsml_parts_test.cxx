#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <shape_data/vsml_parts.h>

namespace
{
vsml_part make_part(const std::string& name, const std::vector<int>& idx, vsml_part::CurveForm form,
                    bool smooth)
{
  vsml_part p;
  p.setName(name);
  p.setIndices(idx);
  p.setForm(form);
  if (smooth)
    p.setSmooth();
  return p;
}

std::string read_file(const std::string& path)
{
  std::ifstream f(path);
  std::ostringstream os;
  os << f.rdbuf();
  return os.str();
}
}  // namespace

TEST(VsmlParts, AccessAndPrinting)
{
  vsml_parts parts;
  EXPECT_EQ(parts.nParts(), 0);
  EXPECT_EQ(parts.is_a(), "vsml_parts");
  EXPECT_EQ(parts.version_no(), 1);
  std::ostringstream empty;
  parts.print_summary(empty);
  EXPECT_EQ(empty.str(), "");

  parts.parts().push_back(make_part("a", {0, 1}, vsml_part::OpenBoundary, true));
  parts.parts().push_back(make_part("b", {2}, vsml_part::SetOfPoints, false));
  EXPECT_EQ(parts.nParts(), 2);
  EXPECT_EQ(parts(1).name(), "b");
  parts(1).setName("c");
  EXPECT_EQ(parts.parts()[1].name(), "c");

  // Consecutive parts are separated by two empty lines, and two end it.
  const std::string a = "part \"a\" {\n    indices(0,1)\n    form open_boundary\n    point_density 1\n"
                        "    smooth\n}\n\n";
  const std::string c = "part \"c\" {\n    indices(2)\n    form set_of_points\n}\n\n";
  std::ostringstream os;
  parts.print_summary(os);
  EXPECT_EQ(os.str(), a + "\n" + c + "\n");

  std::ostringstream with_header;
  with_header << parts;
  EXPECT_EQ(with_header.str(), "vsml_parts: \n" + a + "\n" + c + "\n");
  std::ostringstream summary;
  vsl_print_summary(summary, parts);
  EXPECT_EQ(summary.str(), with_header.str());
}

TEST(VsmlParts, MaxIndexNeverBelowZero)
{
  vsml_parts parts;
  EXPECT_EQ(parts.maxIndex(), 0);
  parts.setOneToOne(0);
  EXPECT_EQ(parts(0).maxIndex(), -1);
  EXPECT_EQ(parts.maxIndex(), 0);
  parts.parts().push_back(make_part("n", {-4, -2}, vsml_part::OpenBoundary, false));
  EXPECT_EQ(parts.maxIndex(), 0);
  parts.parts().push_back(make_part("x", {3, 11, 5}, vsml_part::OpenBoundary, false));
  parts.parts().push_back(make_part("y", {8}, vsml_part::OpenBoundary, false));
  EXPECT_EQ(parts.maxIndex(), 11);
}

TEST(VsmlParts, SetOneToOne)
{
  vsml_parts parts;
  parts.setOneToOne(3);
  ASSERT_EQ(parts.nParts(), 1);
  EXPECT_EQ(parts(0).name(), "Part0");
  EXPECT_EQ(parts(0).indices(), (std::vector<int>{0, 1, 2}));

  vsml_parts three;
  three.parts().push_back(make_part("first", {9, 9}, vsml_part::SetOfPoints, true));
  three.parts().push_back(make_part("second", {1}, vsml_part::OpenBoundary, true));
  three.parts().push_back(make_part("third", {2}, vsml_part::OpenBoundary, true));
  three.setOneToOne(5);
  ASSERT_EQ(three.nParts(), 1);
  EXPECT_EQ(three(0).name(), "first");
  EXPECT_EQ(three(0).indices(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(three(0).maxIndex(), 4);
  EXPECT_EQ(three(0).form(), vsml_part::ClosedBoundary);
  EXPECT_FALSE(three(0).isSmooth());
  EXPECT_EQ(three.maxIndex(), 4);

  // A negative count is refused before anything is erased.
  vsml_parts two;
  two.parts().push_back(make_part("p", {1}, vsml_part::OpenBoundary, true));
  two.parts().push_back(make_part("q", {2}, vsml_part::OpenBoundary, true));
  const vsml_parts before = two;
  testing::internal::CaptureStderr();
  two.setOneToOne(-1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("setOneToOne"), std::string::npos);
  EXPECT_EQ(two, before);
  vsml_parts none;
  testing::internal::CaptureStderr();
  none.setOneToOne(-7);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(none.nParts(), 0);
}

TEST(VsmlParts, SubsetIndicesAndReindexing)
{
  vsml_parts parts;
  parts.parts().push_back(make_part("a", {5, 9, 5}, vsml_part::OpenBoundary, false));
  parts.parts().push_back(make_part("b", {9, 2}, vsml_part::ClosedBoundary, false));

  std::vector<unsigned> v = {77, 78};
  parts.get_subset_indices(v);
  EXPECT_EQ(v, (std::vector<unsigned>{5, 9, 2}));

  parts.reindex_for_subset();
  EXPECT_EQ(parts(0).indices(), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(parts(1).indices(), (std::vector<int>{1, 2}));
  EXPECT_EQ(parts(0).maxIndex(), 1);
  EXPECT_EQ(parts(1).maxIndex(), 2);
  EXPECT_EQ(parts.maxIndex(), 2);
  parts.get_subset_indices(v);
  EXPECT_EQ(v, (std::vector<unsigned>{0, 1, 2}));

  // Negative entries are skipped when listing but renumbered when reindexing.
  vsml_parts neg;
  neg.parts().push_back(make_part("n", {-1, 4, -1, 3}, vsml_part::OpenBoundary, false));
  neg.get_subset_indices(v);
  EXPECT_EQ(v, (std::vector<unsigned>{4, 3}));
  neg.reindex_for_subset();
  EXPECT_EQ(neg(0).indices(), (std::vector<int>{0, 1, 0, 2}));

  vsml_parts empty;
  empty.get_subset_indices(v);
  EXPECT_TRUE(v.empty());
}

TEST(VsmlParts, SubsetIndicesGiveBackUnusedRoom)
{
  // 1000 uses of 3 points: the room reserved for 1000 is returned.
  vsml_parts parts;
  std::vector<int> idx;
  for (int i = 0; i < 1000; ++i)
    idx.push_back(i % 3);
  parts.parts().push_back(make_part("r", idx, vsml_part::OpenBoundary, false));
  std::vector<unsigned> v;
  parts.get_subset_indices(v);
  EXPECT_EQ(v, (std::vector<unsigned>{0, 1, 2}));
  EXPECT_EQ(v.capacity(), 3u);

  // Small slack is left alone.
  vsml_parts few;
  few.parts().push_back(make_part("f", {1, 1, 1, 1, 2}, vsml_part::OpenBoundary, false));
  std::vector<unsigned> w;
  few.get_subset_indices(w);
  EXPECT_EQ(w, (std::vector<unsigned>{1, 2}));
  EXPECT_EQ(w.capacity(), 5u);
}

TEST(VsmlParts, EqualityIsPairwiseInOrder)
{
  vsml_parts a, b;
  EXPECT_EQ(a, b);
  a.parts().push_back(make_part("x", {1, 2}, vsml_part::OpenBoundary, false));
  EXPECT_NE(a, b);
  b.parts().push_back(make_part("x", {1, 2}, vsml_part::OpenBoundary, false));
  EXPECT_EQ(a, b);
  a.parts().push_back(make_part("y", {3}, vsml_part::OpenBoundary, false));
  b.parts().insert(b.parts().begin(), make_part("y", {3}, vsml_part::OpenBoundary, false));
  EXPECT_NE(a, b);
}

TEST(VsmlParts, SaveFile)
{
  vsml_parts parts;
  parts.parts().push_back(make_part("one", {0, 1, 2}, vsml_part::ClosedBoundary, true));
  const std::string path = testing::TempDir() + "vsml_parts_save_test.parts";
  {
    std::ofstream old(path);
    old << "older and much longer content that must be replaced entirely\n";
  }
  ASSERT_TRUE(parts.saveFile(path.c_str()));
  std::ostringstream expected;
  parts.print_summary(expected);
  EXPECT_EQ(read_file(path), expected.str());

  testing::internal::CaptureStderr();
  EXPECT_FALSE(parts.saveFile("/nonexistent-dir/x.parts"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to open /nonexistent-dir/x.parts for output.\n");

  // A name with a double quote could not be read back: the file is left alone.
  {
    std::ofstream old(path);
    old << "kept";
  }
  parts.parts().push_back(make_part("say \"hi\"", {3}, vsml_part::OpenBoundary, false));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(parts.saveFile(path.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to save " + path + ": the part name say \"hi\" holds a double quote.\n");
  EXPECT_EQ(read_file(path), "kept");
  std::remove(path.c_str());
  parts.parts().pop_back();

  // A write that fails (a full disk) is not reported as saved.
  std::ifstream full_dev("/dev/full");
  if (full_dev.is_open())
  {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(parts.saveFile("/dev/full"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to write /dev/full.\n");
  }
}

TEST(VsmlPartsDeathTest, PartOutOfRangeIsFatal)
{
  vsml_parts parts;
  parts.setOneToOne(2);
  EXPECT_DEATH(parts(1), "");
  const vsml_parts& c = parts;
  EXPECT_DEATH(c(-1), "");
}

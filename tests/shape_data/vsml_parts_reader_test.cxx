#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <shape_data/vsml_parts.h>
#include <shape_data/vsml_parts_load_parts.h>
#include <shape_data/vsml_parts_reader.h>
#include <shape_data/vsml_shape_model_data.h>

namespace
{
// Reads one block from text; err receives what went to std::cerr.
bool read_block(const std::string& text, vsml_part& part, std::string& err)
{
  std::istringstream is(text);
  testing::internal::CaptureStderr();
  const bool ok = RD_ReadPart(is, part);
  err = testing::internal::GetCapturedStderr();
  return ok;
}

std::vector<int> indices_of(const std::string& list)
{
  vsml_part p;
  std::string err;
  EXPECT_TRUE(read_block("part \"x\" { indices(" + list + ")\n form set_of_points\n}", p, err)) << list << err;
  EXPECT_EQ(err, "");
  return p.indices();
}

std::string temp_path(const std::string& name)
{
  return testing::TempDir() + name;
}

void write_file(const std::string& path, const std::string& text)
{
  std::ofstream f(path, std::ios::binary);
  f << text;
}

const char* const kBlock = "part \"%s\" {\n    indices(0,1)\n    form open_boundary\n    point_density 1\n"
                           "    smooth\n}\n\n";

std::string block(const std::string& name)
{
  std::string s(kBlock);
  s.replace(s.find("%s"), 2, name);
  return s;
}
}  // namespace

TEST(RDReadPart, ReadsWriterBlock)
{
  vsml_part p;
  std::string err;
  ASSERT_TRUE(read_block("part \"Outline\" {\n    indices(0,1,2,3)\n    form closed_boundary\n"
                         "    point_density 1\n    jagged\n}\n\n",
                         p, err));
  EXPECT_EQ(err, "");
  EXPECT_EQ(p.name(), "Outline");
  EXPECT_EQ(p.indices(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(p.maxIndex(), 3);
  EXPECT_EQ(p.form(), vsml_part::ClosedBoundary);
  EXPECT_FALSE(p.isSmooth());

  ASSERT_TRUE(read_block("part \"o\" { indices(4) form open_boundary point_density 3 smooth }", p, err));
  EXPECT_EQ(p.form(), vsml_part::OpenBoundary);
  EXPECT_TRUE(p.isSmooth());

  // A set of points keeps the smoothness the record had.
  ASSERT_TRUE(read_block("part \"s\" { indices(1) form set_of_points }", p, err));
  EXPECT_EQ(p.form(), vsml_part::SetOfPoints);
  EXPECT_TRUE(p.isSmooth());
}

TEST(RDReadPart, IndexListForms)
{
  EXPECT_EQ(indices_of("0..3,7,9..8"), (std::vector<int>{0, 1, 2, 3, 7, 9, 8}));
  EXPECT_EQ(indices_of("4 . . 6"), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(indices_of("-2..1"), (std::vector<int>{-2, -1, 0, 1}));
  EXPECT_EQ(indices_of("3..0"), (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(indices_of("5..5"), (std::vector<int>{5}));
  // Without separators the blank is skipped and the digit 1 is the separator.
  EXPECT_EQ(indices_of("0 1 2"), (std::vector<int>{0, 2}));
  EXPECT_EQ(indices_of(" 8 ; -3 ,+4"), (std::vector<int>{8, -3, 4}));
  EXPECT_EQ(indices_of("1..2;7"), (std::vector<int>{1, 2, 7}));
  // The writer's list for a part without indices.
  EXPECT_EQ(indices_of(""), std::vector<int>{});
  EXPECT_EQ(indices_of("  "), std::vector<int>{});
}

TEST(RDReadPart, NamesAndTextBeforeTheList)
{
  vsml_part p;
  std::string err;
  ASSERT_TRUE(read_block("part ignored words \"left  eye\" { idx(1) form set_of_points }", p, err));
  EXPECT_EQ(p.name(), "left  eye");
  ASSERT_TRUE(read_block("part \"two\nlines\" { anything_at_all(2) form set_of_points }", p, err));
  EXPECT_EQ(p.name(), "two\nlines");
  ASSERT_TRUE(read_block("part \"\" { (2) form set_of_points }", p, err));
  EXPECT_EQ(p.name(), "");
}

TEST(RDReadPart, DensityAndSmoothnessOrder)
{
  vsml_part p;
  std::string err;
  EXPECT_TRUE(read_block("part \"a\" { indices(1) form closed_boundary smooth point_density 2 }", p, err));
  EXPECT_EQ(err, "");
  EXPECT_TRUE(p.isSmooth());
  EXPECT_TRUE(read_block("part \"a\" { indices(1) form open_boundary jagged point_density 2 }", p, err));
  EXPECT_FALSE(p.isSmooth());

  EXPECT_FALSE(read_block("part \"a\" { indices(1) form open_boundary point_density 1 wobbly }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Unexpected curve type: wobbly\n");
  EXPECT_FALSE(read_block("part \"a\" { indices(1) form open_boundary smooth }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected point_density, got }\n");
  EXPECT_FALSE(read_block("part \"a\" { indices(1) form open_boundary point_density many smooth }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected the point_density value, got m\n");
}

TEST(RDReadPart, SyntaxErrors)
{
  vsml_part p;
  std::string err;
  EXPECT_FALSE(read_block("prat \"a\" { (1) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected `part' got prat\n");
  EXPECT_FALSE(read_block("", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected `part' got \n");
  EXPECT_FALSE(read_block("part \"a\" [ (1) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected {, got [\n");
  EXPECT_FALSE(read_block("part \"a\" { indices 1 2 3", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected to find a '(' but failed.\n");
  EXPECT_FALSE(read_block("part \"a\" { (1.2) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected '..', got '.2'\n");
  EXPECT_FALSE(read_block("part \"a\" { (1) shape set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected `form', got: shape\n");
  EXPECT_FALSE(read_block("part \"a\" { (1) form circle }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Unexpected form : circle\n");
  EXPECT_FALSE(read_block("part \"a\" { (1) form open_boundary point_density 1 smooth ]", p, err));
  EXPECT_EQ(err, "vsml_part: Expected }, got ]\n");

  // A set of points with a density line.
  EXPECT_FALSE(read_block("part \"a\" { (1) form set_of_points\n point_density 1\n smooth\n}", p, err));
  EXPECT_EQ(err, "vsml_part: Expected }, got p\nset_of_points has no point_density or smooth/jagged\n");

  // Keywords are case-sensitive.
  EXPECT_FALSE(read_block("Part \"a\" { (1) form set_of_points }", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1) Form set_of_points }", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1) form Closed_boundary point_density 1 smooth }", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1) form closed_boundary POINT_DENSITY 1 smooth }", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1) form closed_boundary point_density 1 Smooth }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Unexpected curve type: Smooth\n");

  // What was read before the failure stays in the part.
  vsml_part q;
  EXPECT_FALSE(read_block("part \"kept\" { (4,5) form closed_boundary point_density 1 ragged }", q, err));
  EXPECT_EQ(q.name(), "kept");
  EXPECT_EQ(q.indices(), (std::vector<int>{4, 5}));
  EXPECT_EQ(q.form(), vsml_part::ClosedBoundary);
}

TEST(RDReadPart, BadInputEndsTheBlock)
{
  vsml_part p;
  std::string err;
  // Quotes that never come.
  EXPECT_FALSE(read_block("part no quote at all", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected '\"' before the name, got end of input\n");
  EXPECT_FALSE(read_block("part \"never closed { (1) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected '\"' after the name, got end of input\n");
  EXPECT_EQ(p.name(), "Part0");  // not set from a half-read name

  // Items that are not numbers.
  EXPECT_FALSE(read_block("part \"a\" { (1,x,3) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected an index, got x\n");
  EXPECT_FALSE(read_block("part \"a\" { (,) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected an index, got ,\n");
  EXPECT_FALSE(read_block("part \"a\" { (1,) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected an index, got )\n");
  EXPECT_FALSE(read_block("part \"a\" { (1..z) form set_of_points }", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected the end of a range, got z\n");
  EXPECT_FALSE(read_block("part \"a\" { (99999999999) form set_of_points }", p, err));
  EXPECT_NE(err.find("RD_ReadPart: Expected an index"), std::string::npos);
  EXPECT_FALSE(read_block("part \"a\" { (", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected an index, got end of input\n");

  // Ranges past any real shape, alone or added up.
  EXPECT_FALSE(read_block("part \"a\" { (0..2000000000) form set_of_points }", p, err));
  EXPECT_NE(err.find("RD_ReadPart: Too many indices"), std::string::npos) << err;
  EXPECT_FALSE(read_block("part \"a\" { (2147483647..-2147483648) form set_of_points }", p, err));
  EXPECT_NE(err.find("RD_ReadPart: Too many indices"), std::string::npos) << err;
  std::string many = "part \"a\" { (";
  for (int i = 0; i < 11; ++i)
    many += "0..999999,";
  EXPECT_FALSE(read_block(many + "1) form set_of_points }", p, err));
  EXPECT_NE(err.find("RD_ReadPart: Too many indices"), std::string::npos) << err;
  EXPECT_LE(p.nPoints(), 1);
  // Exactly at the limit is accepted.
  EXPECT_TRUE(read_block("part \"a\" { (1..10000000) form set_of_points }", p, err)) << err;
  EXPECT_EQ(p.nPoints(), 10000000);
  EXPECT_EQ(p.maxIndex(), 10000000);

  // Ends of input in the middle of a block.
  EXPECT_FALSE(read_block("part \"a\" {", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1", p, err));
  EXPECT_EQ(err, "RD_ReadPart: Expected `form', got: \n");
  EXPECT_FALSE(read_block("part \"a\" { (1) form open_boundary point_density", p, err));
  EXPECT_FALSE(read_block("part \"a\" { (1) form set_of_points", p, err));
  EXPECT_EQ(err, "vsml_part: Expected }, got end of input\nset_of_points has no point_density or smooth/jagged\n");
}

TEST(RDReadParts, FilesAndBrokenBlocks)
{
  vsml_parts parts;
  parts.setOneToOne(4);
  const vsml_parts before = parts;
  EXPECT_FALSE(RD_ReadParts("/nonexistent-dir/none.parts", parts));
  EXPECT_EQ(parts, before);
  EXPECT_FALSE(RD_ReadParts(testing::TempDir().c_str(), parts));
  EXPECT_EQ(parts, before);

  const std::string path = temp_path("rd_read_parts_test.parts");
  write_file(path, block("one") + block("two") + "part \"three\" { (1) form triangle }\n" + block("four"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(RD_ReadParts(path.c_str(), parts));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "RD_ReadPart: Unexpected form : triangle\n");
  ASSERT_EQ(parts.nParts(), 2);
  EXPECT_EQ(parts(0).name(), "one");
  EXPECT_EQ(parts(1).name(), "two");

  // An empty file, and one of blanks only, hold no parts.
  write_file(path, " \n\t\n");
  EXPECT_TRUE(RD_ReadParts(path.c_str(), parts));
  EXPECT_EQ(parts.nParts(), 0);
  write_file(path, "");
  parts.setOneToOne(2);
  EXPECT_TRUE(parts.loadFile(path.c_str()));
  EXPECT_EQ(parts.nParts(), 0);

  // One record serves every block: a set of points takes the smoothness
  // of the block before it (jagged for the first).
  write_file(path, "part \"s\" { (1) form set_of_points }\n" + block("smooth") +
                       "part \"t\" { (2) form set_of_points }");
  EXPECT_TRUE(parts.loadFile(path.c_str()));
  ASSERT_EQ(parts.nParts(), 3);
  EXPECT_FALSE(parts(0).isSmooth());
  EXPECT_TRUE(parts(1).isSmooth());
  EXPECT_TRUE(parts(2).isSmooth());
  EXPECT_FALSE(parts.loadFile("/nonexistent-dir/none.parts"));
  EXPECT_EQ(parts.nParts(), 3);
  std::remove(path.c_str());
}

TEST(RDReadParts, SaveFileReadsBack)
{
  vsml_parts parts;
  vsml_part p;
  p.setName("jaw line");
  p.setIndices({0, 1, 2, 3, 4, 5});
  p.setSmooth();
  parts.parts().push_back(p);
  p.setName("nose");
  p.setIndices({-3, 17, 17, 2});
  p.setForm(vsml_part::ClosedBoundary);
  p.setJagged();
  parts.parts().push_back(p);
  p.setName("empty");
  p.setIndices({});
  p.setForm(vsml_part::OpenBoundary);
  parts.parts().push_back(p);
  p.setName("marks");
  p.setIndices({40, 41});
  p.setForm(vsml_part::SetOfPoints);  // jagged, like the block before it
  parts.parts().push_back(p);

  const std::string path = temp_path("rd_read_parts_roundtrip.parts");
  ASSERT_TRUE(parts.saveFile(path.c_str()));
  vsml_parts back;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(back.loadFile(path.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(back, parts);
  EXPECT_TRUE(back(2).indices().empty());
  EXPECT_EQ(back.maxIndex(), 41);

  // A one-to-one collection as the snake window keeps it.
  vsml_parts snake;
  snake.setOneToOne(50);
  ASSERT_TRUE(snake.saveFile(path.c_str()));
  EXPECT_TRUE(RD_ReadParts(path.c_str(), back));
  EXPECT_EQ(back, snake);
  EXPECT_EQ(back(0).maxIndex(), 49);
  std::remove(path.c_str());
}

TEST(VsmlPartsLoadParts, FindsRenumbersAndReports)
{
  const std::string dir = temp_path("vsml_load_parts_dir/");
  ::mkdir(dir.c_str(), 0700);
  write_file(dir + "face.parts", "part \"a\" { (5,9,5) form open_boundary point_density 1 smooth }\n"
                                 "part \"b\" { (9,2) form closed_boundary point_density 1 jagged }\n");

  vsml_parts parts;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "face", false), true, false));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loaded 2 parts.\n");
  EXPECT_EQ(parts(0).indices(), (std::vector<int>{5, 9, 5}));

  testing::internal::CaptureStdout();
  EXPECT_TRUE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "face", true), true, false));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Loaded 2 parts.\nReindexed the parts as points restricted to subset. New index range is: [0,2\n");
  EXPECT_EQ(parts(0).indices(), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(parts(1).indices(), (std::vector<int>{1, 2}));

  // keep_indices leaves them; quiet writes nothing.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "face", true), false, true));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(parts(1).indices(), (std::vector<int>{9, 2}));

  // The prefix goes directly before the base name.
  vsml_shape_model_data data;
  data.set_path_prefix(dir + "fa");
  data.set_base_name("ce");
  EXPECT_TRUE(vsml_parts_load_parts(parts, data, false, false));
  EXPECT_EQ(data.path_prefix(), dir + "fa");
  EXPECT_EQ(data.base_name(), "ce");
  EXPECT_FALSE(data.points_are_subset());

  // Missing files and directories are warned about and change nothing.
  const vsml_parts before = parts;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "nobody", false), true, false));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: Parts file " + dir + "nobody.parts does not exist \n");
  ::mkdir((dir + "folder.parts").c_str(), 0700);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "folder", false), false, false));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: Parts file " + dir + "folder.parts does not exist \n");
  EXPECT_EQ(parts, before);

  // A malformed file is still "found": the good blocks are kept.
  write_file(dir + "bad.parts", block("good") + "part \"bad\" {");
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(vsml_parts_load_parts(parts, vsml_shape_model_data(dir, "bad", false), true, false));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loaded 1 parts.\n");
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");

  std::remove((dir + "face.parts").c_str());
  std::remove((dir + "bad.parts").c_str());
  ::rmdir((dir + "folder.parts").c_str());
  ::rmdir(dir.c_str());
}

// Random bytes and every prefix of a valid file: the reader always ends,
// never crashes, and never holds more indices than the limit.
TEST(RDReadPart, FuzzRandomAndTruncatedText)
{
  const std::string valid = block("alpha") + "part \"b c\" {\n    indices(0..3,7,-2..1)\n    form set_of_points\n}\n" +
                            "part \"d\" { (4 . . 6) form closed_boundary jagged point_density 2 }\n";
  for (std::size_t n = 0; n <= valid.size(); ++n)
  {
    std::istringstream is(valid.substr(0, n));
    vsml_part p;
    testing::internal::CaptureStderr();
    while (is >> std::ws, is.good() && RD_ReadPart(is, p))
    {
    }
    testing::internal::GetCapturedStderr();
  }

  std::mt19937 rng(12345);
  const std::string alphabet = "part\"{}()..,;-+0123456789 \n\tformsetopenclosed_boundaryjaggedsmooth";
  for (int trial = 0; trial < 3000; ++trial)
  {
    std::string text;
    const int len = static_cast<int>(rng() % 200);
    // Half the cases start as a plausible block, the rest are any bytes.
    if (trial % 2 == 0)
      text = "part \"f\" { (";
    for (int i = 0; i < len; ++i)
      text += trial % 4 < 2 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng() % 256);
    std::istringstream is(text);
    vsml_part p;
    testing::internal::CaptureStderr();
    int blocks = 0;
    while (is >> std::ws, is.good() && RD_ReadPart(is, p))
      ++blocks;
    testing::internal::GetCapturedStderr();
    EXPECT_LE(blocks, len + 1);
    EXPECT_LE(p.nPoints(), vsml_parts_reader_max_indices);
  }
}

// The index limit covers a whole file: many blocks of large ranges, each
// within the limit, stop at the block that would pass it, and the blocks
// before it are kept.  The limit is a setting.
TEST(RD_ReadParts, IndexLimitCoversTheWholeFile)
{
  EXPECT_EQ(vsml_parts_reader_index_limit(), vsml_parts_reader_max_indices);
  vsml_parts_reader_set_index_limit(1000);
  std::string text;
  for (int k = 0; k < 300; ++k)
    text += "part \"p" + std::to_string(k) + "\" { (1..400) form set_of_points }\n";
  const std::string path = temp_path("many_ranges.parts");
  write_file(path, text);
  vsml_parts parts;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(RD_ReadParts(path.c_str(), parts));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "RD_ReadPart: Too many indices in range 1..400 (at most 1000 a part or a file)\n");
  ASSERT_EQ(parts.nParts(), 2);
  EXPECT_EQ(parts(1).name(), "p1");
  EXPECT_EQ(parts(1).nPoints(), 400);
  // One block alone is held to the same limit.
  vsml_part p;
  std::istringstream is("part \"big\" { (1..1001) form set_of_points }");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(RD_ReadPart(is, p));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Too many indices"), std::string::npos);
  vsml_parts_reader_set_index_limit(vsml_parts_reader_max_indices);
}

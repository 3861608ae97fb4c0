#include <random>
#include <sstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_indent.h>

namespace
{
const std::string kHeader("\x01\x00\x4e\x2c\x2b\x47", 6);

template <class T>
std::string bytes_of(const T& value)
{
  std::ostringstream os(std::ios::binary);
  {
    vsl_b_ostream bos(&os);
    vsl_b_write(bos, value);
  }
  return os.str();
}

// Reads a record from bytes (header included) into value; returns whether
// the stream stayed good, with stderr captured into err.
template <class T>
bool read_from(const std::string& bytes, T& value, std::string& err)
{
  std::istringstream is(bytes, std::ios::binary);
  testing::internal::CaptureStderr();
  vsl_b_istream bis(&is);
  vsl_b_read(bis, value);
  const bool good = !!bis;
  err = testing::internal::GetCapturedStderr();
  return good;
}

vsml_part sample_part(const std::string& name, const std::vector<int>& idx, vsml_part::CurveForm form)
{
  vsml_part p;
  p.setName(name);
  p.setIndices(idx);
  p.setForm(form);
  return p;
}

vsml_parts sample_parts()
{
  vsml_parts parts;
  parts.parts().push_back(sample_part("jaw line", {0, 1, 2, 3, 4}, vsml_part::OpenBoundary));
  parts.parts().push_back(sample_part("", {-7, 1000000, 64, -65, 5}, vsml_part::ClosedBoundary));
  parts(1).setSmooth();
  parts.parts().push_back(sample_part("dots", {}, vsml_part::SetOfPoints));
  parts.parts().push_back(sample_part("odd form", {3}, static_cast<vsml_part::CurveForm>(-4)));
  return parts;
}
}  // namespace

TEST(VsmlPartIO, ExactBytes)
{
  const vsml_part def;
  EXPECT_EQ(bytes_of(def), kHeader + std::string("\x81\x82\x80\xff\x81\x80\x85Part0", 12));

  const vsml_parts empty;
  EXPECT_EQ(bytes_of(empty), kHeader + "\x81\x82\x80");

  // Indices packed as a block; the cached max, the flag and the form as ints.
  vsml_part p = sample_part("ab", {5, -9, 1000000}, vsml_part::SetOfPoints);
  p.setSmooth();
  EXPECT_EQ(bytes_of(p), kHeader + std::string("\x81"
                                               "\x82\x83\xff\x85\x85\xf7\x40\x04\xbd"
                                               "\x40\x04\xbd"
                                               "\x80"
                                               "\x82"
                                               "\x82" "ab",
                                               18));

  // A collection writes its parts one by one after a false block flag.
  vsml_parts two;
  two.parts().push_back(def);
  two.parts().push_back(def);
  const std::string rec("\x81\x82\x80\xff\x81\x80\x85Part0", 12);
  EXPECT_EQ(bytes_of(two), kHeader + std::string("\x81\x82\x82\x00", 4) + rec + rec);
}

TEST(VsmlPartIO, RoundTrips)
{
  std::string err;
  const vsml_parts parts = sample_parts();
  vsml_parts back;
  back.setOneToOne(3);
  ASSERT_TRUE(read_from(bytes_of(parts), back, err)) << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(back, parts);
  // The cached largest index travels with the record.
  for (int i = 0; i < parts.nParts(); ++i)
    EXPECT_EQ(back(i).maxIndex(), parts(i).maxIndex()) << i;
  EXPECT_EQ(back(1).maxIndex(), 1000000);
  EXPECT_EQ(back(2).maxIndex(), 0);
  EXPECT_EQ(back(3).form(), static_cast<vsml_part::CurveForm>(-4));

  vsml_parts empty_back = parts;
  ASSERT_TRUE(read_from(bytes_of(vsml_parts()), empty_back, err));
  EXPECT_EQ(empty_back.nParts(), 0);

  vsml_part one;
  vsml_part fresh;
  fresh.setOneToOne(0);  // cached -1, must survive the trip
  ASSERT_TRUE(read_from(bytes_of(fresh), one, err));
  EXPECT_EQ(one, fresh);
  EXPECT_EQ(one.maxIndex(), -1);

  // Several records one after another in one stream.
  std::ostringstream os(std::ios::binary);
  {
    vsl_b_ostream bos(&os);
    parts(0).b_write(bos);
    parts.b_write(bos);
    vsl_b_write(bos, parts(1));
  }
  std::istringstream is(os.str(), std::ios::binary);
  vsl_b_istream bis(&is);
  vsml_part a, c;
  vsml_parts b;
  a.b_read(bis);
  b.b_read(bis);
  vsl_b_read(bis, c);
  ASSERT_TRUE(!!bis);
  EXPECT_EQ(a, parts(0));
  EXPECT_EQ(b, parts);
  EXPECT_EQ(c, parts(1));
  EXPECT_EQ(is.peek(), std::char_traits<char>::eof());
}

TEST(VsmlPartIO, UnknownVersionsLeaveTargetsAlone)
{
  std::string err;
  const vsml_parts before = sample_parts();

  vsml_part part = before(1);
  EXPECT_FALSE(read_from(kHeader + std::string("\x82\x82\x80\xff\x81\x80\x85Part0", 12), part, err));
  EXPECT_EQ(err, "vsml_part::b_read() Unexpected version number 2\n");
  EXPECT_EQ(part, before(1));
  EXPECT_EQ(part.maxIndex(), before(1).maxIndex());

  vsml_parts parts = before;
  EXPECT_FALSE(read_from(kHeader + "\x80\x82\x80", parts, err));
  EXPECT_EQ(err, "vsml_parts::b_read() Unexpected version number 0\n");
  EXPECT_EQ(parts, before);

  // A bad part record inside the collection: nothing of it is taken.
  const std::string good("\x81\x82\x80\xff\x81\x80\x85Part0", 12);
  const std::string bad("\xff\x82\x80\xff\x81\x80\x85Part0", 12);
  EXPECT_FALSE(read_from(kHeader + std::string("\x81\x82\x82\x00", 4) + good + bad, parts, err));
  EXPECT_NE(err.find("vsml_part::b_read() Unexpected version number -1"), std::string::npos) << err;
  EXPECT_EQ(parts, before);

  // A stream that is already bad is not read at all.
  std::istringstream is(kHeader + std::string("\x81\x82\x80", 3), std::ios::binary);
  vsl_b_istream bis(&is);
  bis.is().setstate(std::ios::badbit);
  parts.b_read(bis);
  EXPECT_EQ(parts, before);
  bis.is().clear();
  parts.b_read(bis);
  EXPECT_TRUE(!!bis);
  EXPECT_EQ(parts.nParts(), 0);
}

TEST(VsmlPartIO, MalformedVectorsLeaveTargetsAlone)
{
  std::string err;
  const vsml_parts before = sample_parts();
  vsml_parts parts = before;
  vsml_part part = before(0);

  // Index vector of an unknown version.
  EXPECT_FALSE(read_from(kHeader + std::string("\x81\x85\x80\xff\x81\x80\x85Part0", 12), part, err));
  EXPECT_NE(err, "");
  EXPECT_EQ(part, before(0));
  // Index vector claiming more entries than the stream holds.
  EXPECT_FALSE(read_from(kHeader + std::string("\x81\x82\x7f\x7f\x7f\x87\xff\x81\x80", 9), part, err));
  EXPECT_EQ(part, before(0));
  // Parts vector of an unknown version, with a wrong block flag, or too long.
  EXPECT_FALSE(read_from(kHeader + "\x81\x84\x80", parts, err));
  EXPECT_EQ(parts, before);
  EXPECT_FALSE(read_from(kHeader + std::string("\x81\x81\xff", 3) + std::string("\x81\x82\x80\xff\x81\x80\x80", 7),
                         parts, err));
  EXPECT_EQ(parts, before);
  EXPECT_FALSE(read_from(kHeader + std::string("\x81\x7f\x7f\x7f\x7f\x8f\x00", 7), parts, err));
  EXPECT_EQ(parts, before);
  // Vector version 3, as current VXL writes it, is read.
  EXPECT_TRUE(read_from(kHeader + std::string("\x81\x83\x81\x00\x81\x83\x81\xff\x81\x87\x87\x81\x80\x81x", 15),
                        parts, err))
      << err;
  ASSERT_EQ(parts.nParts(), 1);
  EXPECT_EQ(parts(0).indices(), (std::vector<int>{7}));
  EXPECT_EQ(parts(0).name(), "x");
}

// Random bytes and every truncation of a valid stream: never a crash, and a
// read either succeeds or leaves the collection exactly as it was.
TEST(VsmlPartIO, FuzzRandomAndTruncatedStreams)
{
  const vsml_parts before = sample_parts();
  const std::string full = bytes_of(before);
  std::string err;
  for (std::size_t n = kHeader.size(); n < full.size(); ++n)
  {
    vsml_parts parts;
    parts.setOneToOne(2);
    const vsml_parts was = parts;
    EXPECT_FALSE(read_from(full.substr(0, n), parts, err)) << n;
    EXPECT_EQ(parts, was) << n;
  }

  std::mt19937 rng(2024);
  int good_reads = 0;
  for (int trial = 0; trial < 5000; ++trial)
  {
    std::string bytes = trial % 2 ? full : kHeader + std::string("\x81\x82\x82\x00", 4);
    // Flip a few bytes of a valid stream, or append random ones.
    if (trial % 2)
    {
      for (int k = 0; k < 1 + static_cast<int>(rng() % 3); ++k)
        bytes[kHeader.size() + rng() % (bytes.size() - kHeader.size())] = static_cast<char>(rng() % 256);
    }
    else
    {
      for (int k = 0, len = static_cast<int>(rng() % 64); k < len; ++k)
        bytes += static_cast<char>(rng() % 256);
    }
    vsml_parts parts = before;
    if (read_from(bytes, parts, err))
      ++good_reads;
    else
      EXPECT_EQ(parts, before) << trial;
    // The same bytes from the first part record on, read as one part.
    vsml_part part;
    const vsml_part part_was = part;
    if (!read_from(bytes.substr(0, kHeader.size()) + bytes.substr(kHeader.size() + 4), part, err))
    {
      EXPECT_EQ(part, part_was) << trial;
    }
  }
  EXPECT_GT(good_reads, 0);
}

TEST(VsmlPartIO, PrintingRestoresIndentation)
{
  std::ostringstream os;
  os << sample_parts();
  EXPECT_EQ(os.str().rfind("vsml_parts: \npart \"jaw line\" {\n", 0), 0u);
  os.str("");
  os << vsl_indent() << "|";
  EXPECT_EQ(os.str(), "|");
}

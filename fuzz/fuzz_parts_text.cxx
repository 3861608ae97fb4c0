// The .parts text reader: RD_ReadPart block by block from a stream, and
// RD_ReadParts on the same bytes as a file.  Checked: a refusal says why on
// the standard error stream; whatever was read prints as text that reads
// back to the same parts.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>
#include <shape_data/vsml_parts_reader.h>
#include "fuzz_support.h"

namespace
{
// Keeps each input's work small: ranges of tens of thousands of indices,
// printed and parsed back, took most of a run.  A small budget still lets
// the fuzzer reach the limit's own refusal.
const int fuzz_index_limit = 2000;

std::string text_of(const vsml_part& p)
{
  std::ostringstream os;
  p.print_summary(os);
  return os.str();
}

std::string text_of(const vsml_parts& p)
{
  std::ostringstream os;
  p.print_summary(os);
  return os.str();
}

void check_block_by_block(const std::string& input)
{
  std::istringstream is(input);
  for (;;) {
    is >> std::ws;
    if (!is || is.eof()) return;
    vsml_part part;
    std::string err;
    bool ok;
    {
      fuzz_cerr_capture capture;
      ok = RD_ReadPart(is, part);
      err = capture.text();
    }
    if (!ok) {
      FUZZ_CHECK(!err.empty() && err.back() == '\n', err);
      return;
    }
    const std::string text = text_of(part);
    std::istringstream again(text);
    vsml_part copy;
    {
      fuzz_cerr_capture capture;
      ok = RD_ReadPart(again, copy);
      err = capture.text();
    }
    FUZZ_CHECK(ok, text + err);
    FUZZ_CHECK(text_of(copy) == text, text + "-- read back as --\n" + text_of(copy));
  }
}

void check_whole_file(const std::uint8_t* data, std::size_t size)
{
  const fuzz_file file(data, size);
  vsml_parts parts;
  std::string err;
  bool ok;
  {
    fuzz_cerr_capture capture;
    ok = RD_ReadParts(file.path(), parts);
    err = capture.text();
  }
  if (!ok) FUZZ_CHECK(!err.empty() && err.back() == '\n', err);
  // Whatever was read (all of it, or the blocks before a bad one) is kept
  // and must survive a save and a load.
  const std::string text = text_of(parts);
  const fuzz_file saved(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  vsml_parts copy;
  {
    fuzz_cerr_capture capture;
    ok = RD_ReadParts(saved.path(), copy);
    err = capture.text();
  }
  FUZZ_CHECK(ok, text + err);
  FUZZ_CHECK(copy.parts().size() == parts.parts().size(), text);
  FUZZ_CHECK(text_of(copy) == text, text + "-- read back as --\n" + text_of(copy));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  vsml_parts_reader_set_index_limit(fuzz_index_limit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  check_block_by_block(std::string(reinterpret_cast<const char*>(data), size));
  check_whole_file(data, size);
  return 0;
}

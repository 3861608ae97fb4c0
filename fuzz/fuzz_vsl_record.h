#ifndef tessaly_fuzz_vsl_record_h_
#define tessaly_fuzz_vsl_record_h_
// The check every binary-record target makes.  The input is a vsl stream
// (the 6-byte header is put in front when it is missing) read twice: from a
// stream that can seek and from one that cannot, since readers take
// different paths when the stream's length is unknown.  A failed read says
// why on the standard error stream and leaves the object as it was; a
// successful one gives an object that writes, reads back and writes again
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <sstream>
#include <string>
#include <vsl/vsl_b_istream.h>
#include <vsl/vsl_b_ostream.h>
#include "fuzz_support.h"

inline std::string fuzz_vsl_input(const std::uint8_t* data, std::size_t size)
{
  const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.compare(0, header.size(), header) != 0) bytes.insert(0, header);
  return bytes;
}

// make() gives a fresh object holding something; read(is, obj) and
// write(os, obj) are the record's reader and writer; use(obj) exercises what
// a caller does with an object that was read.  keeps_on_failure: a failed
// read must leave the object as it was.
template <class Make, class Read, class Write, class Use>
void fuzz_vsl_record(const std::uint8_t* data, std::size_t size, Make make, Read read,
                     Write write, Use use, bool keeps_on_failure = true)
{
  auto written = [&](const auto& obj) {
    std::ostringstream os;
    {
      vsl_b_ostream bos(&os);
      write(bos, obj);
    }
    return os.str();
  };
  const std::string bytes = fuzz_vsl_input(data, size);
  std::string used;  // the last object use() saw, as written
  for (int seekable = 0; seekable < 2; ++seekable) {
    std::istringstream ss(bytes);
    fuzz_pipe_buf pb(bytes.data(), bytes.size());
    std::istream ps(&pb);
    std::istream& in = seekable ? static_cast<std::istream&>(ss) : ps;
    auto obj = make();
    const std::string before = written(obj);
    std::string err;
    bool ok;
    {
      fuzz_cerr_capture capture;
      vsl_b_istream is(&in);
      read(is, obj);
      ok = !(!is);
      err = capture.text();
    }
    if (!ok) {
      FUZZ_CHECK(!err.empty() && err.back() == '\n', err);
      if (keeps_on_failure) FUZZ_CHECK(written(obj) == before, err);
      continue;
    }
    const std::string once = written(obj);
    // Both reads usually give the same object; exercising it twice would
    // only halve the executions.
    if (once != used) use(obj);
    used = once;
    std::istringstream again(once);
    auto copy = make();
    {
      fuzz_cerr_capture capture;
      vsl_b_istream is(&again);
      read(is, copy);
      ok = !(!is);
      err = capture.text();
    }
    FUZZ_CHECK(ok, err);
    FUZZ_CHECK(written(copy) == once, err);
  }
}

#endif

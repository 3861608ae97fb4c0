// The start-points reader (read_snake_points) on any bytes: CSV with its
// header, separators, comments and byte-order mark, or a vsl point-set
// record, from a stream that cannot seek (standard input, a pipe) and from
// a file.  Checked: both ways give the same answer; a refusal gives one
// line of reason and nothing on the standard error stream; points read are
// finite and within the reader's bound, and the CSV they are written as
// reads back to the same bits.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>
#include <app/snake_points_file.h>
#include "fuzz_support.h"

namespace
{
typedef std::vector<vgl_point_2d<double>> point_list;

bool read_both(const std::uint8_t* data, std::size_t size, point_list& pts, std::string& why)
{
  fuzz_pipe_buf buf(reinterpret_cast<const char*>(data), size);
  std::istream piped(&buf);
  bool ok;
  {
    fuzz_cerr_capture capture;
    ok = read_snake_points(piped, pts, why);
    FUZZ_CHECK(capture.text().empty(), capture.text());
  }
  const fuzz_file file(data, size);
  point_list again;
  std::string why_again;
  FUZZ_CHECK(read_snake_points(file.path(), again, why_again) == ok && again == pts && why_again == why,
             why + " / " + why_again);
  return ok;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  point_list pts;
  std::string why;
  if (!read_both(data, size, pts, why)) {
    FUZZ_CHECK(!why.empty() && why.find('\n') == std::string::npos, why);
    return 0;
  }
  FUZZ_CHECK(pts.size() <= 1000000, std::to_string(pts.size()));
  for (const auto& p : pts) FUZZ_CHECK(std::isfinite(p.x()) && std::isfinite(p.y()), why);
  const std::string csv = snake_points_csv(pts);
  point_list back;
  FUZZ_CHECK(read_both(reinterpret_cast<const std::uint8_t*>(csv.data()), csv.size(), back, why) && back == pts,
             csv + why);
  return 0;
}

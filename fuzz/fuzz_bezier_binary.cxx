// vsml_bezier::b_read on vsl bytes (see fuzz_vsl_record.h for the checks),
// then the measurements the shape figure makes on a curve it draws.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>
#include <shape_data/vsml_bezier.h>
#include "fuzz_vsl_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fuzz_vsl_record(
      data, size,
      [] {
        vsml_bezier b;
        b.set({vgl_point_2d<double>(0, 0), vgl_point_2d<double>(10, 0), vgl_point_2d<double>(0, 10)});
        return b;
      },
      [](vsl_b_istream& is, vsml_bezier& b) { b.b_read(is); },
      [](vsl_b_ostream& os, const vsml_bezier& b) { b.b_write(os); },
      [](const vsml_bezier& b) {
        std::ostringstream os;
        b.print_summary(os);
        if (b.empty()) return;
        const int n = int(b.size());
        // A few segments only: the work per input stays small.
        for (int i = 0; i < n && i < 4; ++i) {
          b.value(i, 0.5);
          b.tangent(i, 0.25);
          b.surround(i);
          b.is_straight(i, 0.1);
        }
        b.integrate(0, 1 % n, 1e-3);
        const std::vector<vgl_point_2d<double>> pts = b.equal_space(5, 0, 1 % n, 1e-3);
        FUZZ_CHECK(pts.size() <= 5, "equal_space");
      });
  return 0;
}

// The polymorphic point-set loader (vsl_b_read into a vsml_points pointer,
// vsml_points_2d registered) on vsl bytes; see fuzz_vsl_record.h for the
// checks.  A loaded set is then measured as callers do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <vector>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>
#include <vsl/vsl_binary_loader.h>
#include "fuzz_vsl_record.h"

namespace
{
// Owns what the loader made.
struct loaded
{
  std::unique_ptr<vsml_points> p;
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  vsl_add_to_binary_loader(vsml_points_2d());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fuzz_vsl_record(
      data, size,
      [] {
        loaded l;
        l.p.reset(new vsml_points_2d);
        return l;
      },
      [](vsl_b_istream& is, loaded& l) {
        vsml_points* p = l.p.release();
        vsl_b_read(is, p);
        l.p.reset(p);
      },
      [](vsl_b_ostream& os, const loaded& l) { vsl_b_write(os, l.p.get()); },
      [](const loaded& l) {
        if (!l.p) return;
        const vsml_points& p = *l.p;
        FUZZ_CHECK(std::size_t(p.size()) * p.n_dims() == p.vector().size(), p.is_a());
        std::vector<vsml_g_point> pts;
        p.getPoints(pts);
        FUZZ_CHECK(pts.size() == p.size(), p.is_a());
        if (p.size() > 0) {
          vsml_g_point lo, hi;
          p.bounds(lo, hi);
        }
        p.cog();
        p.scale();
        std::ostringstream os;
        os << p;
      },
      // The loader replaces the object before reading its record, as VXL's does.
      false);
  return 0;
}

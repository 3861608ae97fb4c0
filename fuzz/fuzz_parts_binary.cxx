// vsml_parts::b_read on vsl bytes (see fuzz_vsl_record.h for the checks).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>
#include <shape_data/vsml_parts.h>
#include "fuzz_vsl_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  fuzz_vsl_record(
      data, size,
      [] {
        vsml_parts p;
        vsml_part part;
        part.setName("before");
        part.setIndices({1, 2, 3});
        p.parts().push_back(part);
        return p;
      },
      [](vsl_b_istream& is, vsml_parts& p) { p.b_read(is); },
      [](vsl_b_ostream& os, const vsml_parts& p) { p.b_write(os); },
      [](const vsml_parts& p) {
        std::ostringstream os;
        p.print_summary(os);
        // The cached largest index comes from the file as it stands; nothing
        // relies on it to bound the indices, so it is not checked here.
        p.maxIndex();
        std::vector<unsigned> used;
        p.get_subset_indices(used);
        vsml_parts renumbered = p;
        renumbered.reindex_for_subset();
      });
  return 0;
}

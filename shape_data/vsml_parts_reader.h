#ifndef vsml_parts_reader_h_
#define vsml_parts_reader_h_
// Reader of the .parts text layout that vsml_parts::print_summary writes.
//
//   part "name" {
//       indices(0..3,7,9)
//       form closed_boundary
//       point_density 1
//       jagged
//   }
//
// Problems are reported as one line on std::cerr and a false result.
#include <istream>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>

// Largest number of indices one part, or all the parts of one file, may
// hold; far above any real shape, low enough that hostile ranges like
// 0..2000000000 cannot exhaust memory.
const int vsml_parts_reader_max_indices = 10000000;

// The limit in force, vsml_parts_reader_max_indices unless set otherwise
// (a test or a fuzzer may want a lower one).
void vsml_parts_reader_set_index_limit(int n);
int vsml_parts_reader_index_limit();

// Reads one block into part; true when the whole block up to its "}" was
// read.  On failure part may already hold the name, indices and form.
bool RD_ReadPart(std::istream& is, vsml_part& part);

// Reads a whole file into parts, replacing its parts.  False when the file
// cannot be opened (parts unchanged) or a block is malformed (parts then
// holds the blocks read before the bad one).
bool RD_ReadParts(const char* path, vsml_parts& parts);

#endif

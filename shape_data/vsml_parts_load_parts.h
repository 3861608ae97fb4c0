#ifndef vsml_parts_load_parts_h_
#define vsml_parts_load_parts_h_
// Loads the .parts file that belongs to a shape model.
#include <shape_data/vsml_parts.h>
#include <shape_data/vsml_shape_model_data.h>

// Reads <path prefix><base name>.parts into parts.  With verbose, reports
// what was loaded on std::cout.  When the model's points are a subset and
// keep_indices is false, the indices are renumbered to the subset.
// Returns true when the file was found (and read as far as it is valid),
// false with a warning on std::cerr when it does not exist.
bool vsml_parts_load_parts(vsml_parts& parts, const vsml_shape_model_data& data, bool verbose,
                           bool keep_indices);

#endif

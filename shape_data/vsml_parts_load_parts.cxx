#include <shape_data/vsml_parts_load_parts.h>

#include <iostream>
#include <string>
#include <shape_data/vsml_parts_reader.h>
#include <vul/vul_file.h>

bool vsml_parts_load_parts(vsml_parts& parts, const vsml_shape_model_data& data, bool verbose,
                           bool keep_indices)
{
  const std::string path = data.path_prefix() + data.base_name() + ".parts";
  if (!vul_file::exists(path) || vul_file::is_directory(path))
  {
    std::cerr << "Warning: Parts file " << path << " does not exist \n";
    return false;
  }
  // A malformed block is reported by the reader; the blocks before it are
  // still worth having.
  RD_ReadParts(path.c_str(), parts);
  if (verbose)
    std::cout << "Loaded " << parts.nParts() << " parts.\n";

  if (data.points_are_subset() && !keep_indices)
  {
    parts.reindex_for_subset();
    if (verbose)
      std::cout << "Reindexed the parts as points restricted to subset. New index range is: [0,"
                << parts.maxIndex() << '\n';
  }
  return true;
}

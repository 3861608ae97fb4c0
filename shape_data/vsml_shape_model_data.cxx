#include <shape_data/vsml_shape_model_data.h>

vsml_shape_model_data::vsml_shape_model_data() : points_are_subset_(false) {}

vsml_shape_model_data::vsml_shape_model_data(const std::string& path_prefix, const std::string& base_name,
                                             bool points_are_subset)
  : path_prefix_(path_prefix), base_name_(base_name), points_are_subset_(points_are_subset)
{
}

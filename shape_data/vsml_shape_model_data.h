#ifndef vsml_shape_model_data_h_
#define vsml_shape_model_data_h_
// Where a shape model's files live and whether its points are a subset of
// the annotated points; enough to find the model's .parts file.
#include <string>

class vsml_shape_model_data
{
 public:
  vsml_shape_model_data();
  vsml_shape_model_data(const std::string& path_prefix, const std::string& base_name, bool points_are_subset);

  // Prefix put directly before the base name (give the trailing "/").
  const std::string& path_prefix() const { return path_prefix_; }
  void set_path_prefix(const std::string& prefix) { path_prefix_ = prefix; }
  const std::string& base_name() const { return base_name_; }
  void set_base_name(const std::string& name) { base_name_ = name; }
  // True when the model uses only a subset of the annotated points.
  bool points_are_subset() const { return points_are_subset_; }
  void set_points_are_subset(bool subset) { points_are_subset_ = subset; }

 private:
  std::string path_prefix_;
  std::string base_name_;
  bool points_are_subset_;
};

#endif

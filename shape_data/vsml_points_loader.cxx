// The polymorphic loader for point sets, instantiated once here.
#include <vsl/vsl_binary_loader.hxx>
#include <shape_data/vsml_points.h>

VSL_BINARY_LOADER_INSTANTIATE(vsml_points);

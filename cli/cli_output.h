#ifndef cli_output_h_
#define cli_output_h_
// Writing tessaly-snake's outputs: names from templates, files that appear
// whole or not at all, and the final points in each format.
#include <functional>
#include <string>
#include <vector>
#include <cli/cli_options.h>
#include <vgl/vgl_point_2d.h>
#include <vil/vil_image_view_base.h>

// The name template with %n replaced by the image's base name (no folder,
// no last extension) and %% by %.
std::string cli_expand_name(const std::string& name, const std::string& image_path);

// True when the name holds %n, so that several images get several files.
bool cli_name_has_image(const std::string& name);

// The formats -o knows, by extension (lower case, with the dot).
bool cli_points_format_known(const std::string& name);

// Writes path through a temporary file beside it: write(temp) fills it, and
// it is renamed onto path when write returns true, removed otherwise.  Missing folders above path are made.
// False, with the reason in error, when anything fails; path is then as it
// was.
bool cli_write_atomically(const std::string& path,
                          const std::function<bool(const std::string& temp)>& write,
                          std::string& error);

// Saves view in the format path's extension names, making missing folders
// first.  vil_save itself writes whole files and says why it failed on the
// standard error stream; error then says only that it did.
bool cli_save_image(const std::string& path, const vil_image_view_base& view, std::string& error);

// Writes text to path whole, as cli_write_atomically does.
bool cli_write_text(const std::string& path, const std::string& text, std::string& error);

// What the final points of one image's run are written with.
struct cli_result
{
  std::string image;
  unsigned ni = 0, nj = 0;
  std::vector<vgl_point_2d<double>> pts;
};

// The points as CSV: a line "x,y", then one line a point.  Every number is
// written with 17 significant digits, so that it reads back exactly.
std::string cli_points_csv(const std::vector<vgl_point_2d<double>>& pts);

// The result in the format path's extension names (.csv, .json, .bvl,
// .svg), written whole.  False with the reason in error.
bool cli_write_points(const std::string& path, const cli_result& r, const cli_options& opt,
                      std::string& error);

// A number with 17 significant digits ("nan" and "inf" as such).
std::string cli_number(double v);

#endif

#ifndef cli_output_h_
#define cli_output_h_
// Where tessaly-snake's outputs go: names from templates, and missing folders
// made before a file is written.  The files themselves are written whole or
// not at all, by the writers the window shares.
#include <string>
#include <app/snake_points_file.h>
#include <vil/vil_image_view_base.h>

// The name template with %n replaced by the image's base name (no folder,
// no last extension), %i by the frame's number `index` zero-padded to as
// many digits as `count` has (left as it is for index 0), and %% by %.
std::string cli_expand_name(const std::string& name, const std::string& image_path, unsigned index = 0,
                            unsigned count = 0);

// True when the name holds %n, so that several images get several files.
bool cli_name_has_image(const std::string& name);
// True when the name holds %i, so that several frames get several files.
bool cli_name_has_frame(const std::string& name);

// Each writes path whole, making missing folders above it first.  False,
// with the reason in error; path is then as it was.
// view in the format path's extension names (vil_save).
bool cli_save_image(const std::string& path, const vil_image_view_base& view, std::string& error);
// text as the file's bytes.
bool cli_write_text(const std::string& path, const std::string& text, std::string& error);
// The record in the format path's extension names (.csv, .json, .bvl, .svg).
bool cli_write_points(const std::string& path, const snake_points_record& r, std::string& error);

// text on standard output, flushed.  False, with the reason, when it could
// not all be written (a full disk, a closed pipe): that is a failure too.
bool cli_write_standard_output(const std::string& text, std::string& error);

#endif

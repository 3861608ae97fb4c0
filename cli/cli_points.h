#ifndef cli_points_h_
#define cli_points_h_
// Start points from the command line or a file, in image pixel coordinates.
#include <string>
#include <vector>
#include <vgl/vgl_point_2d.h>

// "x,y x,y ...": pairs separated by blanks, each "x,y".  False, with the
// reason in error, for anything else or a coordinate that is not finite.
bool parse_points_text(const std::string& text, std::vector<vgl_point_2d<double>>& pts,
                       std::string& error);

// A file of either kind: a vsl stream holding a 2-D point set written
// through the vsml_points polymorphic writer, or text with one "x,y" a line
// (blank lines and a first line "x,y" allowed).  False, with the reason in
// error (naming the line for text), for an unreadable or malformed file.
bool read_points_file(const std::string& path, std::vector<vgl_point_2d<double>>& pts,
                      std::string& error);

#endif

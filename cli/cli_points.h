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

#endif

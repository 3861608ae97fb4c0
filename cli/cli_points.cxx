#include <cli/cli_points.h>

#include <sstream>
#include <app/snake_points_file.h>

bool parse_points_text(const std::string& text, std::vector<vgl_point_2d<double>>& pts,
                       std::string& error)
{
  pts.clear();
  std::istringstream words(text);
  std::string w;
  while (words >> w) {
    vgl_point_2d<double> p;
    if (!snake_parse_point(w, p)) {
      error = "\"" + w + "\" is not a point x,y";
      return false;
    }
    pts.push_back(p);
  }
  return true;
}

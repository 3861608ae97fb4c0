#include <cli/cli_points.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>
#include <vsl/vsl_b_ifstream.h>
#include <vsl/vsl_binary_loader.h>

namespace
{
// A points file is a few points; this bounds what reading one may allocate.
const long long most_file_bytes = 64ll << 20;

bool finite_number(const std::string& s, double& v)
{
  if (s.empty() || std::isspace((unsigned char)s[0])) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  while (end && std::isspace((unsigned char)*end)) ++end;
  return end && *end == '\0' && std::isfinite(v);
}

// "x,y" with optional blanks around either number.
bool parse_pair(std::string s, vgl_point_2d<double>& p)
{
  const std::size_t comma = s.find(',');
  if (comma == std::string::npos) return false;
  std::string xs = s.substr(0, comma), ys = s.substr(comma + 1);
  auto trim = [](std::string& t) {
    t.erase(0, t.find_first_not_of(" \t\r"));
    t.erase(t.find_last_not_of(" \t\r") + 1);
  };
  trim(xs);
  trim(ys);
  double x = 0, y = 0;
  if (!finite_number(xs, x) || !finite_number(ys, y)) return false;
  p.set(x, y);
  return true;
}

bool read_vsl_points(const std::string& path, std::vector<vgl_point_2d<double>>& pts,
                     std::string& error)
{
  // The loader reads the classes it has a prototype of.
  vsl_binary_loader<vsml_points>& loader = vsl_binary_loader<vsml_points>::instance();
  bool known = false;
  for (const vsml_points* proto : loader.object()) known = known || proto->is_a() == "vsml_points_2d";
  if (!known) loader.add(vsml_points_2d());

  vsl_b_ifstream is(path);
  vsml_points* read = nullptr;
  if (!!is) loader.load_object(is, read);
  std::unique_ptr<vsml_points> owned(read);
  const vsml_points_2d* p2 = dynamic_cast<const vsml_points_2d*>(read);
  if (!is || !read) {
    error = read ? "the point-set record is damaged" : "no point-set record could be read";
    return false;
  }
  if (!p2) {
    error = "the record holds " + read->is_a() + ", not 2-D points";
    return false;
  }
  p2->getPoints2D(pts);
  for (const vgl_point_2d<double>& p : pts)
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
      error = "the record holds a coordinate that is not a finite number";
      return false;
    }
  return true;
}
}  // namespace

bool parse_points_text(const std::string& text, std::vector<vgl_point_2d<double>>& pts,
                       std::string& error)
{
  pts.clear();
  std::istringstream words(text);
  std::string w;
  while (words >> w) {
    vgl_point_2d<double> p;
    if (!parse_pair(w, p)) {
      error = "\"" + w + "\" is not a point x,y";
      return false;
    }
    pts.push_back(p);
  }
  return true;
}

bool read_points_file(const std::string& path, std::vector<vgl_point_2d<double>>& pts,
                      std::string& error)
{
  pts.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return false;
  }
  if (st.st_size > most_file_bytes) {
    error = "larger than a points file can be (64 MiB)";
    return false;
  }
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  if (vsl_b_istream_test(f)) return read_vsl_points(path, pts, error);

  std::string line;
  for (long n = 1; std::getline(f, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (pts.empty() && line == "x,y") continue;
    vgl_point_2d<double> p;
    if (!parse_pair(line, p)) {
      error = "line " + std::to_string(n) + ": \"" + line.substr(0, 40) +
              (line.size() > 40 ? "...\"" : "\"") + " is not a point x,y";
      return false;
    }
    pts.push_back(p);
  }
  if (f.bad()) {
    error = "read error";
    return false;
  }
  return true;
}

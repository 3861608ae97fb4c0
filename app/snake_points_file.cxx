#include <app/snake_points_file.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>
#include <vsl/vsl_b_ifstream.h>
#include <vsl/vsl_b_ostream.h>
#include <vsl/vsl_binary_loader.h>
#include <vul/vul_save_file.h>

namespace
{
typedef vgl_point_2d<double> point;

// A points file is a few points; this bounds what reading one may allocate.
const long long most_file_bytes = 64ll << 20;

std::string extension_of(const std::string& path)
{
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = path.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string json_string(const std::string& s)
{
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string points_json(const snake_points_record& r)
{
  const snake_run_settings& s = r.run;
  std::string out = "{\n  \"image\": " + json_string(r.image) + ",\n";
  out += "  \"width\": " + std::to_string(r.ni) + ",\n  \"height\": " + std::to_string(r.nj) + ",\n";
  out += "  \"settings\": {\"weight\": " + std::to_string(r.weight) +
         ", \"smooth\": " + (r.smooth < 0 ? std::string("null") : std::to_string(r.smooth)) +
         ", \"image_weight\": " + snake_number(s.weight) + ", \"smooth_k\": " +
         snake_number(r.smooth_k()) + ", \"passes\": " + std::to_string(s.passes) +
         ", \"steps\": " + std::to_string(s.steps) + ", \"spacing\": " + snake_number(s.spacing) +
         ", \"max_segments\": " + std::to_string(s.max_segments) + "},\n";
  out += "  \"points\": [";
  for (std::size_t k = 0; k < r.pts.size(); ++k)
    out += std::string(k ? ",\n    " : "\n    ") + "[" + snake_number(r.pts[k].x()) + ", " +
           snake_number(r.pts[k].y()) + "]";
  return out + "\n  ]\n}\n";
}

// Pixel (i, j) covers i..i+1 in the picture, so the points, in pixel-centre
// coordinates, are shifted by half a pixel.
std::string points_svg(const snake_points_record& r)
{
  const std::string w = std::to_string(r.ni), h = std::to_string(r.nj);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
                    "\" viewBox=\"0 0 " + w + " " + h + "\">\n"
                    "<g transform=\"translate(0.5 0.5)\">\n";
  if (!r.pts.empty()) {
    out += "<path fill=\"none\" stroke=\"#ff0000\" stroke-width=\"1\" d=\"";
    for (std::size_t k = 0; k < r.pts.size(); ++k)
      out += std::string(k ? " L " : "M ") + snake_number(r.pts[k].x()) + " " + snake_number(r.pts[k].y());
    out += " Z\"/>\n";
  }
  out += "<g fill=\"#00ff00\">\n";
  for (const point& p : r.pts)
    out += "<circle cx=\"" + snake_number(p.x()) + "\" cy=\"" + snake_number(p.y()) + "\" r=\"2\"/>\n";
  return out + "</g>\n</g>\n</svg>\n";
}

// The record through the polymorphic writer, as a loader reads it back.
std::string points_bvl(const std::vector<point>& pts)
{
  vsml_points_2d set;
  set.setPoints2D(pts);
  std::ostringstream bytes;
  vsl_b_ostream os(&bytes);
  vsl_b_write(os, static_cast<const vsml_points*>(&set));
  return bytes.str();
}

bool finite_number(const std::string& s, double& v)
{
  if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  while (end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  return end && *end == '\0' && std::isfinite(v);
}

bool read_vsl_points(const std::string& path, std::vector<point>& pts, std::string& why)
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
    why = read ? "the point-set record is damaged" : "no point-set record could be read";
    return false;
  }
  if (!p2) {
    why = "the record holds " + read->is_a() + ", not 2-D points";
    return false;
  }
  p2->getPoints2D(pts);
  for (const point& p : pts)
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
      why = "the record holds a coordinate that is not a finite number";
      return false;
    }
  return true;
}
}  // namespace

double snake_points_record::smooth_k() const
{
  return smooth < 0 ? snake_start_smooth_k : snake_smooth_k_from_slider(smooth);
}

bool snake_points_format_known(const std::string& path)
{
  const std::string ext = extension_of(path);
  return ext == ".csv" || ext == ".json" || ext == ".bvl" || ext == ".svg";
}

std::string snake_number(double v)
{
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string snake_points_csv(const std::vector<point>& pts)
{
  std::string out = "x,y\n";
  for (const point& p : pts) out += snake_number(p.x()) + "," + snake_number(p.y()) + "\n";
  return out;
}

bool write_snake_points(const std::string& path, const snake_points_record& r, std::string& why)
{
  const std::string ext = extension_of(path);
  std::string bytes;
  if (ext == ".csv") bytes = snake_points_csv(r.pts);
  else if (ext == ".json") bytes = points_json(r);
  else if (ext == ".svg") bytes = points_svg(r);
  else if (ext == ".bvl") bytes = points_bvl(r.pts);
  else {
    why = "unknown format \"" + ext + "\": the name must end in .csv, .json, .svg or .bvl";
    return false;
  }
  return vul_save_file::write(path, bytes, why);
}

bool snake_parse_point(const std::string& text, point& p)
{
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  std::string xs = text.substr(0, comma), ys = text.substr(comma + 1);
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

bool read_snake_points(const std::string& path, std::vector<point>& pts, std::string& why)
{
  pts.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "not a regular file";
    return false;
  }
  if (st.st_size > most_file_bytes) {
    why = "larger than a points file can be (64 MiB)";
    return false;
  }
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    why = std::strerror(errno);
    return false;
  }
  if (vsl_b_istream_test(f)) return read_vsl_points(path, pts, why);

  std::string line;
  for (long n = 1; std::getline(f, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (pts.empty() && line == "x,y") continue;
    point p;
    if (!snake_parse_point(line, p)) {
      why = "line " + std::to_string(n) + ": \"" + line.substr(0, 40) +
            (line.size() > 40 ? "...\"" : "\"") + " is not a point x,y";
      return false;
    }
    pts.push_back(p);
  }
  if (f.bad()) {
    why = "read error";
    return false;
  }
  return true;
}

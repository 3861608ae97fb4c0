#include <app/snake_points_file.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>
#include <vsl/vsl_b_istream.h>
#include <vsl/vsl_b_ostream.h>
#include <vsl/vsl_binary_loader.h>
#include <vul/vul_save_file.h>

namespace
{
typedef vgl_point_2d<double> point;

// A points file is a few points; this bounds what reading one may allocate.
const long long most_file_bytes = 64ll << 20;
const std::size_t most_file_points = 1000000;

std::string extension_of(const std::string& path)
{
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = path.substr(dot);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// The length of the valid UTF-8 sequence at s[k], or 0 for a byte that
// starts none (each such byte becomes one U+FFFD).
std::size_t utf8_length(const std::string& s, std::size_t k)
{
  const auto at = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
  const unsigned c = at(k);
  if (c < 0x80) return 1;
  // The first continuation byte's range narrows for the leads that could
  // otherwise say a character too long, a surrogate or beyond U+10FFFF.
  unsigned n = 0, lo = 0x80, hi = 0xbf;
  if (c >= 0xc2 && c <= 0xdf) n = 2;
  else if (c >= 0xe0 && c <= 0xef) n = 3, lo = c == 0xe0 ? 0xa0 : 0x80, hi = c == 0xed ? 0x9f : 0xbf;
  else if (c >= 0xf0 && c <= 0xf4) n = 4, lo = c == 0xf0 ? 0x90 : 0x80, hi = c == 0xf4 ? 0x8f : 0xbf;
  else return 0;
  if (at(k + 1) < lo || at(k + 1) > hi) return 0;
  for (unsigned i = 2; i < n; ++i)
    if ((at(k + i) & 0xc0) != 0x80) return 0;
  return n;
}

// A JSON string: valid UTF-8 whatever the bytes (a file name need not be),
// so that any JSON parser reads it.
std::string json_string(const std::string& s)
{
  std::string out = "\"";
  for (std::size_t k = 0; k < s.size();) {
    const char c = s[k];
    const std::size_t n = utf8_length(s, k);
    if (n == 0) {
      out += "\xef\xbf\xbd";  // U+FFFD, the replacement character
      ++k;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
      ++k;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      out += buf;
      ++k;
    } else {
      out.append(s, k, n);
      k += n;
    }
  }
  return out + "\"";
}

std::string points_json(const snake_points_record& r)
{
  const snake_run_settings& s = r.run;
  std::string out = "{\n  \"image\": " + json_string(r.image) + ",\n";
  out += "  \"width\": " + std::to_string(r.ni) + ",\n  \"height\": " + std::to_string(r.nj) + ",\n";
  out += "  \"stretched_from\": " +
         (r.stretch.applied ? "[" + snake_number(r.stretch.lo) + ", " + snake_number(r.stretch.hi) + "]" : "null") +
         ",\n";
  out += "  \"settings\": {\"weight\": " + std::to_string(r.weight) +
         ", \"smooth\": " + (r.smooth < 0 ? std::string("null") : std::to_string(r.smooth)) +
         ", \"image_weight\": " + snake_number(s.weight) + ", \"smooth_k\": " +
         snake_number(r.smooth_k()) + ", \"smooth_px\": " + snake_number(snake_smooth_px_from_k(r.smooth_k())) +
         ", \"pressure\": " + std::to_string(r.pressure) +
         ", \"pressure_weight\": " + snake_number(s.pressure) + ", \"passes\": " + std::to_string(s.passes) +
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

bool read_vsl_points(std::istream& in, std::vector<point>& pts, std::string& why)
{
  // The loader reads the classes it has a prototype of.
  vsl_binary_loader<vsml_points>& loader = vsl_binary_loader<vsml_points>::instance();
  bool known = false;
  for (const vsml_points* proto : loader.object()) known = known || proto->is_a() == "vsml_points_2d";
  if (!known) loader.add(vsml_points_2d());

  vsml_points* read = nullptr;
  // The stream's readers say what is wrong on std::cerr; that becomes part
  // of the one reason given.
  std::ostringstream said;
  std::streambuf* const cerr_was = std::cerr.rdbuf(said.rdbuf());
  vsl_b_istream is(&in);
  if (!!is) loader.load_object(is, read);
  std::cerr.rdbuf(cerr_was);
  std::unique_ptr<vsml_points> owned(read);
  const vsml_points_2d* p2 = dynamic_cast<const vsml_points_2d*>(read);
  if (!is || !read) {
    why = read ? "the point-set record is damaged" : "no point-set record could be read";
    std::string detail = said.str().substr(0, said.str().find('\n'));
    detail.erase(0, detail.rfind(": ") == std::string::npos ? 0 : detail.rfind(": ") + 2);
    if (!detail.empty()) why += " (" + detail + ")";
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

// A field with the blanks around it and one pair of double quotes taken off.
std::string field_text(const std::string& f)
{
  const std::size_t a = f.find_first_not_of(" \t"), b = f.find_last_not_of(" \t");
  std::string t = a == std::string::npos ? std::string() : f.substr(a, b - a + 1);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
  return t;
}

std::vector<std::string> fields_of(const std::string& line, char sep)
{
  std::vector<std::string> out;
  for (std::size_t a = 0;;) {
    const std::size_t b = line.find(sep, a);
    out.push_back(field_text(line.substr(a, b == std::string::npos ? std::string::npos : b - a)));
    if (b == std::string::npos) return out;
    a = b + 1;
  }
}

std::string quoted_line(long n, const std::string& line)
{
  return "line " + std::to_string(n) + ": \"" + line.substr(0, 40) + (line.size() > 40 ? "...\"" : "\"");
}

// Text points: "x,y" lines, or columns named by a header line.
bool read_text_points(const std::string& text, std::vector<point>& pts, std::string& why)
{
  char sep = 0;
  std::size_t columns = 2, xc = 0, yc = 1;
  long n = 0;
  // A byte-order mark, as some editors and spreadsheets write, is skipped.
  for (std::size_t at = text.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++n;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::vector<std::string> f;
    if (sep == 0) {
      // The first line says how the others are separated and, when it
      // names columns rather than giving numbers, where x and y stand.
      sep = line.find('\t') != std::string::npos ? '\t' : line.find(';') != std::string::npos ? ';' : ',';
      f = fields_of(line, sep);
      double v = 0;
      if (!std::all_of(f.begin(), f.end(), [&](const std::string& t) { return finite_number(t, v); })) {
        columns = f.size();
        xc = yc = columns;
        for (std::size_t k = 0; k < columns; ++k) {
          std::string name = f[k];
          for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
          if (name == "x") xc = xc == columns ? k : columns + 1;
          if (name == "y") yc = yc == columns ? k : columns + 1;
        }
        if (xc >= columns || yc >= columns) {
          why = quoted_line(n, line) + " is neither a point x,y nor a header naming the x and y columns once each";
          return false;
        }
        continue;
      }
    } else {
      f = fields_of(line, sep);
    }
    double x = 0, y = 0;
    if (f.size() != columns || !finite_number(f[xc], x) || !finite_number(f[yc], y)) {
      why = quoted_line(n, line) + (columns == 2 && xc == 0 ? " is not a point x,y"
                                                              : " does not hold x and y in the header's columns");
      return false;
    }
    if (pts.size() >= most_file_points) {
      why = "more than " + std::to_string(most_file_points) + " points";
      return false;
    }
    pts.emplace_back(x, y);
  }
  return true;
}
}  // namespace

double snake_points_record::smooth_k() const
{
  if (smooth_px >= 0) return snake_smooth_k_from_px(smooth_px);
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
  // No format has a way to say "not a number" that its readers take.
  for (const point& p : r.pts)
    if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
      why = "a point is not a finite number";
      return false;
    }
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

bool read_snake_points(std::istream& in, std::vector<point>& pts, std::string& why)
{
  pts.clear();
  // Whatever the stream, no more than a points file can hold is read.
  std::string bytes;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes.append(buf, std::size_t(in.gcount()));
    if (bytes.size() > std::size_t(most_file_bytes)) {
      why = "larger than a points file can be (64 MiB)";
      return false;
    }
  }
  if (in.bad()) {
    why = errno ? std::strerror(errno) : "read error";
    return false;
  }
  std::istringstream record(bytes);
  const bool read = vsl_b_istream_test(record) ? read_vsl_points(record, pts, why) : read_text_points(bytes, pts, why);
  if (!read) pts.clear();
  return read;
}

bool read_snake_points(const std::string& path, std::vector<point>& pts, std::string& why)
{
  pts.clear();
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    why = "a folder, not a file";
    return false;
  }
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    why = std::strerror(errno);
    return false;
  }
  errno = 0;
  return read_snake_points(f, pts, why);
}

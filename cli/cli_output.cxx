#include <cli/cli_output.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <strings.h>
#include <unistd.h>
#include <shape_data/vsml_points.h>
#include <shape_data/vsml_points_2d.h>
#include <vil/vil_save.h>
#include <vsl/vsl_b_ofstream.h>

namespace
{
namespace fs = std::filesystem;

std::string extension_of(const std::string& path)
{
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower((unsigned char)c));
  return ext;
}

bool write_text(const std::string& path, const std::string& text)
{
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(text.data(), std::streamsize(text.size()));
  f.close();
  return !f.fail();
}

std::string json_string(const std::string& s)
{
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if ((unsigned char)c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string points_json(const cli_result& r, const cli_options& opt)
{
  const snake_run_settings& s = opt.run;
  std::string out = "{\n  \"image\": " + json_string(r.image) + ",\n";
  out += "  \"width\": " + std::to_string(r.ni) + ",\n  \"height\": " + std::to_string(r.nj) + ",\n";
  out += "  \"settings\": {\"weight\": " + std::to_string(opt.weight) +
         ", \"smooth\": " + (opt.smooth < 0 ? std::string("null") : std::to_string(opt.smooth)) +
         ", \"image_weight\": " + cli_number(s.weight) + ", \"smooth_k\": " +
         cli_number(opt.smooth_k()) + ", \"passes\": " + std::to_string(s.passes) +
         ", \"steps\": " + std::to_string(s.steps) + ", \"spacing\": " + cli_number(s.spacing) +
         ", \"max_segments\": " + std::to_string(s.max_segments) + "},\n";
  out += "  \"points\": [";
  for (std::size_t k = 0; k < r.pts.size(); ++k)
    out += std::string(k ? ",\n    " : "\n    ") + "[" + cli_number(r.pts[k].x()) + ", " +
           cli_number(r.pts[k].y()) + "]";
  return out + "\n  ]\n}\n";
}

// Pixel (i, j) covers i..i+1 in the picture, so the points, in pixel-centre
// coordinates, are shifted by half a pixel.
std::string points_svg(const cli_result& r)
{
  const std::string w = std::to_string(r.ni), h = std::to_string(r.nj);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
                    "\" viewBox=\"0 0 " + w + " " + h + "\">\n"
                    "<g transform=\"translate(0.5 0.5)\">\n";
  if (!r.pts.empty()) {
    out += "<path fill=\"none\" stroke=\"#ff0000\" stroke-width=\"1\" d=\"";
    for (std::size_t k = 0; k < r.pts.size(); ++k)
      out += std::string(k ? " L " : "M ") + cli_number(r.pts[k].x()) + " " + cli_number(r.pts[k].y());
    out += " Z\"/>\n";
  }
  out += "<g fill=\"#00ff00\">\n";
  for (const vgl_point_2d<double>& p : r.pts)
    out += "<circle cx=\"" + cli_number(p.x()) + "\" cy=\"" + cli_number(p.y()) + "\" r=\"2\"/>\n";
  return out + "</g>\n</g>\n</svg>\n";
}

bool make_folder_above(const std::string& path, std::string& error)
{
  const fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path() && !fs::is_directory(target.parent_path(), ec)) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      error = "cannot make its folder: " + ec.message();
      return false;
    }
  }
  return true;
}

bool write_bvl(const std::string& path, const std::vector<vgl_point_2d<double>>& pts)
{
  vsml_points_2d set;
  set.setPoints2D(pts);
  vsl_b_ofstream os(path);
  if (!os) return false;
  vsl_b_write(os, static_cast<const vsml_points*>(&set));
  const bool ok = !!os;
  os.close();
  return ok && !!os;
}
}  // namespace

std::string cli_number(double v)
{
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string cli_expand_name(const std::string& name, const std::string& image_path)
{
  const std::string base = fs::path(image_path).stem().string();
  std::string out;
  for (std::size_t k = 0; k < name.size(); ++k) {
    if (name[k] == '%' && k + 1 < name.size() && (name[k + 1] == 'n' || name[k + 1] == '%')) {
      out += name[k + 1] == 'n' ? base : "%";
      ++k;
    } else {
      out += name[k];
    }
  }
  return out;
}

bool cli_name_has_image(const std::string& name)
{
  return cli_expand_name(name, "a") != cli_expand_name(name, "b");
}

bool cli_points_format_known(const std::string& name)
{
  const std::string ext = extension_of(name);
  return ext == ".csv" || ext == ".json" || ext == ".bvl" || ext == ".svg";
}

bool cli_write_atomically(const std::string& path,
                          const std::function<bool(const std::string& temp)>& write,
                          std::string& error)
{
  static std::atomic<unsigned long> serial{0};
  if (!make_folder_above(path, error)) return false;
  const fs::path target(path);
  // A name no other writer uses, made exclusively.
  const std::string temp =
      (target.parent_path() / ("." + std::to_string(::getpid()) + "-" + std::to_string(++serial) +
                               "-" + target.filename().string()))
          .string();
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = std::string("cannot write: ") + std::strerror(errno);
    return false;
  }
  ::close(fd);
  errno = 0;
  if (!write(temp)) {
    error = std::string("cannot write") + (errno ? std::string(": ") + std::strerror(errno) : "");
    ::unlink(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = std::string("cannot write: ") + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

std::string cli_points_csv(const std::vector<vgl_point_2d<double>>& pts)
{
  std::string out = "x,y\n";
  for (const vgl_point_2d<double>& p : pts) out += cli_number(p.x()) + "," + cli_number(p.y()) + "\n";
  return out;
}

bool cli_write_points(const std::string& path, const cli_result& r, const cli_options& opt,
                      std::string& error)
{
  const std::string ext = extension_of(path);
  std::string text;
  if (ext == ".csv") text = cli_points_csv(r.pts);
  else if (ext == ".json") text = points_json(r, opt);
  else if (ext == ".svg") text = points_svg(r);
  else if (ext == ".bvl")
    return cli_write_atomically(path, [&r](const std::string& t) { return write_bvl(t, r.pts); }, error);
  else {
    error = "unknown format " + ext;
    return false;
  }
  return cli_write_text(path, text, error);
}

bool cli_save_image(const std::string& path, const vil_image_view_base& view, std::string& error)
{
  if (!make_folder_above(path, error)) return false;
  if (vil_save(view, path.c_str())) return true;
  error = "cannot write";
  return false;
}

bool cli_write_text(const std::string& path, const std::string& text, std::string& error)
{
  return cli_write_atomically(path, [&text](const std::string& t) { return write_text(t, text); }, error);
}

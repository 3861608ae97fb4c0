#include <cli/cli_check_names.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>
#include <app/snake_points_file.h>
#include <cli/cli_output.h>
#include <vul/vul_save_file.h>

namespace
{
namespace fs = std::filesystem;

// The file a name stands for: the one a save writes (a dangling link names
// the file it creates), in its folder made canonical.
fs::path file_of(const std::string& name)
{
  std::error_code ec;
  const fs::path p = fs::absolute(vul_save_file::target_of(name), ec);
  const fs::path c = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : c;
}

// The frame number `name` has in a run of `total` steps, or 0.
long long frame_number(const std::string& name, long long total)
{
  const std::size_t digits = cli_frame_name(total, total).size() - 10;
  if (name.size() != digits + 10 || name.compare(0, 6, "frame-") != 0 ||
      name.compare(name.size() - 4, 4, ".png") != 0)
    return 0;
  long long n = 0;
  for (std::size_t k = 6; k < 6 + digits; ++k) {
    if (name[k] < '0' || name[k] > '9') return 0;
    n = n * 10 + (name[k] - '0');
  }
  return n <= total ? n : 0;
}

// "-o .csv": an extension alone.
bool has_name(const std::string& name)
{
  const std::string base = fs::path(name).filename().string();
  return !base.empty() && base.find('.') != 0;
}
}  // namespace

std::string cli_frame_name(long long number, long long total)
{
  const int digits = std::max(3, int(std::to_string(total).size()));
  char name[40];
  std::snprintf(name, sizeof name, "frame-%0*lld.png", digits, number);
  return name;
}

bool cli_check_names(const cli_options& opt, std::string& error)
{
  for (const std::string& name : opt.outputs)
    if (!snake_points_format_known(name)) {
      error = "-o " + name + ": the name must end in .csv, .json, .bvl or .svg";
      return false;
    }
  for (const std::string& name : opt.outputs)
    if (!has_name(name)) {
      error = "-o " + name + ": no file name before the extension (for example -o points" +
              fs::path(name).filename().string() + ")";
      return false;
    }
  if (!opt.overlay.empty() && !has_name(opt.overlay)) {
    error = "--overlay " + opt.overlay + ": no file name before the extension";
    return false;
  }
  const bool none = opt.outputs.empty() && opt.overlay.empty() && opt.frames.empty() && opt.trace.empty();
  std::vector<std::string> names = opt.outputs;
  for (const std::string* n : {&opt.overlay, &opt.trace})
    if (!n->empty()) names.push_back(*n);
  if (opt.images.size() > 1) {
    if (none) {
      error = "with several images, name the outputs (for example -o %n.csv)";
      return false;
    }
    for (const std::string& name : names)
      if (!cli_name_has_image(name)) error = name;
    if (!opt.frames.empty() && !cli_name_has_image(opt.frames)) error = opt.frames;
    if (!error.empty()) {
      error = "with several images every output name needs %n, the image's name: " + error;
      return false;
    }
  }

  // Every file an input or an output, by who owns it.
  std::map<fs::path, std::string> owner;
  for (const std::string& image : opt.images) owner.emplace(file_of(image), "the image " + image);
  if (!opt.points_file.empty() && opt.points_file != "-")
    owner.emplace(file_of(opt.points_file), "the points file " + opt.points_file);
  std::map<fs::path, std::string> frames;  // folder -> its image
  for (const std::string& image : opt.images) {
    auto claim = [&](const std::string& out, const std::string& what) {
      const auto [at, fresh] = owner.emplace(file_of(out), what + " " + out);
      if (!fresh) error = "the " + what + " " + out + " for " + image + " would write over " + at->second;
      return fresh;
    };
    for (const std::string& name : names)
      if (!claim(cli_expand_name(name, image), "output")) return false;
    if (opt.frames.empty()) continue;
    const std::string dir = cli_expand_name(opt.frames, image);
    if (!claim(dir, "frames folder")) return false;
    frames.emplace(file_of(dir), image);
  }
  // A frame is any file of the frames' pattern in their folder.
  const long long total = (long long)opt.run.passes * opt.run.steps;
  for (const auto& [dir, image] : frames)
    for (const auto& [file, who] : owner)
      if (file.parent_path() == dir && frame_number(file.filename().string(), total) > 0) {
        error = "the frames for " + image + " would write over " + who;
        return false;
      }
  return true;
}

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

// The step `name` is the frame file of, in a run of `total` steps, or 0:
// "frame-001.png", or in a sequence of `count` frames "07-step-001.png".
long long frame_number(const std::string& name, long long total, unsigned count)
{
  std::string prefix = "frame-";
  if (count > 0) {
    const std::size_t w = std::to_string(count).size();
    unsigned long index = 0;
    for (std::size_t k = 0; k < w && k < name.size(); ++k)
      index = name[k] >= '0' && name[k] <= '9' ? index * 10 + unsigned(name[k] - '0') : count + 1;
    if (name.size() < w || index == 0 || index > count) return 0;
    prefix = name.substr(0, w) + "-step-";
  }
  const std::size_t digits = cli_frame_name(total, total).size() - 10;
  if (name.size() != prefix.size() + digits + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - 4, 4, ".png") != 0)
    return 0;
  long long n = 0;
  for (std::size_t k = prefix.size(); k < prefix.size() + digits; ++k) {
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

std::string cli_frame_name(long long number, long long total, const std::string& prefix)
{
  const int digits = std::max(3, int(std::to_string(total).size()));
  char name[40];
  std::snprintf(name, sizeof name, "%0*lld.png", digits, number);
  return prefix + name;
}

bool cli_check_names(const cli_options& opt, const std::vector<cli_frame>& frames, std::string& error)
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
  if (opt.track && cli_name_has_image(opt.points_file)) {
    error = "--points-file " + opt.points_file + ": a sequence starts from one set of points; %n does not go with --track";
    return false;
  }
  const bool none = opt.outputs.empty() && opt.overlay.empty() && opt.frames.empty() && opt.trace.empty() &&
                    opt.measures.empty();
  std::vector<std::string> names = opt.outputs;
  for (const std::string* n : {&opt.overlay, &opt.trace})
    if (!n->empty()) names.push_back(*n);
  std::vector<std::string> with_frames = names;
  with_frames.push_back(opt.frames);
  for (const std::string& name : with_frames)
    if (!opt.track && cli_name_has_frame(name)) {
      error = name + ": %i, the frame's number, needs --track";
      return false;
    }
  if (cli_name_has_image(opt.measures) || cli_name_has_frame(opt.measures)) {
    error = "--measures " + opt.measures + ": one file for the whole run, without %n or %i";
    return false;
  }
  if (frames.size() > 1) {
    if (none) {
      error = std::string("with several ") + (opt.track ? "frames" : "images") +
              ", name the outputs (for example -o " + (opt.track ? "%i" : "%n") + ".csv)";
      return false;
    }
    for (const std::string& name : names)
      if (!cli_name_has_image(name) && !(opt.track && cli_name_has_frame(name))) error = name;
    if (!opt.track && !opt.frames.empty() && !cli_name_has_image(opt.frames)) error = opt.frames;
    if (!error.empty()) {
      error = opt.track ? "with several frames every output name needs %i, the frame's number: " + error
                        : "with several images every output name needs %n, the image's name: " + error;
      return false;
    }
  }

  // Every file an input or an output, by who owns it.
  std::map<fs::path, std::string> owner;
  for (const std::string& image : opt.images) owner.emplace(file_of(image), "the image " + image);
  if (!opt.points_file.empty() && opt.points_file != "-")
    for (const std::string& image : opt.images) {
      const std::string points = cli_expand_name(opt.points_file, image);
      owner.emplace(file_of(points), "the points file " + points);
    }
  if (!opt.measures.empty() && !owner.emplace(file_of(opt.measures), "the measures " + opt.measures).second) {
    error = "the measures " + opt.measures + " would write over " + owner[file_of(opt.measures)];
    return false;
  }
  std::map<fs::path, std::string> frame_dirs;  // folder -> its image
  for (const cli_frame& f : frames) {
    auto claim = [&](const std::string& out, const std::string& what) {
      const auto [at, fresh] = owner.emplace(file_of(out), what + " " + out);
      if (!fresh) error = "the " + what + " " + out + " for " + f.label() + " would write over " + at->second;
      return fresh;
    };
    for (const std::string& name : names)
      if (!claim(cli_expand_name(name, f.path, f.index, f.count), "output")) return false;
    if (opt.frames.empty()) continue;
    // A sequence's frames share their folder.
    const std::string dir = cli_expand_name(opt.frames, f.path);
    if (opt.track && frame_dirs.count(file_of(dir))) continue;
    if (!claim(dir, "frames folder")) return false;
    frame_dirs.emplace(file_of(dir), f.path);
  }
  // A frame is any file of the frames' pattern in their folder.
  const long long total = (long long)opt.run.passes * opt.run.steps;
  for (const auto& [dir, image] : frame_dirs)
    for (const auto& [file, who] : owner)
      if (file.parent_path() == dir &&
          frame_number(file.filename().string(), total, frames.back().count) > 0) {
        error = "the frames for " + image + " would write over " + who;
        return false;
      }
  return true;
}

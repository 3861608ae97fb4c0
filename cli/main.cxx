// tessaly-snake: the window's snake run on image files, from the command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#include <app/tessaly_snake.h>
#include <cli/cli_job.h>
#include <cli/cli_options.h>
#include <cli/cli_output.h>
#include <cli/cli_points.h>
#include <app/snake_points_file.h>
#include <vil/vil_load.h>

namespace
{
typedef vgl_point_2d<double> point;

// Largest image, in bytes of samples, that a job takes on: with its cost
// image and the filter's work image about 9 times that in memory.
const std::size_t most_image_bytes = std::size_t(256) << 20;

int usage_error(const std::string& what)
{
  std::cerr << "tessaly-snake: " << what << "\nTry 'tessaly-snake --help' for more.\n";
  return 2;
}

// Messages from the jobs, whole lines under one lock, and on a terminal a
// progress line that they do not break.
class progress
{
 public:
  explicit progress(std::size_t total) : total_(total), tty_(::isatty(STDERR_FILENO) == 1) {}

  void complain(const std::string& file, const std::string& reason)
  {
    std::lock_guard<std::mutex> lock(m_);
    clear();
    std::cerr << "tessaly-snake: " << file << ": " << reason << '\n';
    show();
  }
  void finished(bool ok)
  {
    std::lock_guard<std::mutex> lock(m_);
    ++done_;
    if (!ok) ++failed_;
    show();
  }
  void summary(double seconds)
  {
    std::lock_guard<std::mutex> lock(m_);
    clear();
    char t[32];
    std::snprintf(t, sizeof t, "%.2f", seconds);
    std::cerr << "tessaly-snake: " << total_ << (total_ == 1 ? " image: " : " images: ")
              << done_ - failed_ << " done, " << failed_ << " failed, " << t << " s\n";
  }
  std::size_t failed() const { return failed_; }

 private:
  void show()
  {
    if (!tty_) return;
    std::cerr << "\rtessaly-snake: " << done_ << "/" << total_ << " images"
              << (failed_ ? ", " + std::to_string(failed_) + " failed" : std::string()) << std::flush;
    shown_ = true;
  }
  void clear()
  {
    if (shown_) std::cerr << "\r\033[K";
    shown_ = false;
  }

  std::mutex m_;
  std::size_t total_, done_ = 0, failed_ = 0;
  bool tty_, shown_ = false;
};

// Every file a job writes must be its own, and no input may be written over.
bool outputs_are_distinct(const cli_options& opt, std::string& error)
{
  namespace fs = std::filesystem;
  auto key = [](const std::string& p) {
    std::error_code ec;
    const fs::path c = fs::weakly_canonical(fs::absolute(p, ec), ec);
    return ec ? p : c.string();
  };
  std::map<std::string, std::string> owner;
  for (const std::string& image : opt.images) owner[key(image)] = "the image " + image;
  std::vector<std::string> names = opt.outputs;
  for (const std::string* n : {&opt.overlay, &opt.trace, &opt.frames})
    if (!n->empty()) names.push_back(*n);
  for (const std::string& image : opt.images)
    for (const std::string& name : names) {
      const std::string out = cli_expand_name(name, image);
      const auto [at, fresh] = owner.emplace(key(out), "the output " + out);
      if (!fresh) {
        error = "the output " + out + " for " + image + " would write over " + at->second;
        return false;
      }
    }
  return true;
}

bool check_outputs(const cli_options& opt, std::string& error)
{
  for (const std::string& name : opt.outputs)
    if (!snake_points_format_known(name)) {
      error = "-o " + name + ": the name must end in .csv, .json, .bvl or .svg";
      return false;
    }
  const bool none = opt.outputs.empty() && opt.overlay.empty() && opt.frames.empty() && opt.trace.empty();
  if (opt.images.size() > 1) {
    if (none) {
      error = "with several images, name the outputs (for example -o %n.csv)";
      return false;
    }
    for (const std::string& name : opt.outputs)
      if (!cli_name_has_image(name)) error = name;
    for (const std::string* n : {&opt.overlay, &opt.trace, &opt.frames})
      if (!n->empty() && !cli_name_has_image(*n)) error = *n;
    if (!error.empty()) {
      error = "with several images every output name needs %n, the image's name: " + error;
      return false;
    }
  }
  return outputs_are_distinct(opt, error);
}

int make_start_image(const std::string& path)
{
  vil_image_view<vxl_byte> image;
  snake_start_image(image);
  std::string error;
  if (!cli_save_image(path, image, error)) {
    std::cerr << "tessaly-snake: " << path << ": " << error << '\n';
    return 1;
  }
  return 0;
}
}  // namespace

int main(int argc, char** argv)
{
  cli_options opt;
  std::string error;
  if (!parse_cli_options(argc, argv, opt, error)) return usage_error(error);
  if (opt.help) {
    std::cout << cli_usage();
    return 0;
  }
  if (opt.version) {
    std::cout << "tessaly-snake " TESSALY_VERSION "\n";
    return 0;
  }
  if (!opt.make_start_image.empty()) return make_start_image(opt.make_start_image);

  std::vector<point> start;
  if (!opt.points_text.empty()) {
    if (!parse_points_text(opt.points_text, start, error)) return usage_error("--points: " + error);
  } else if (!read_snake_points(opt.points_file, start, error)) {
    return usage_error(opt.points_file + ": " + error);
  }
  if (start.size() < snake_min_start_points)
    return usage_error((opt.points_text.empty() ? opt.points_file : std::string("--points")) +
                       ": at least 3 start points are needed, " + std::to_string(start.size()) +
                       " given");
  if (!check_outputs(opt, error)) return usage_error(error);

  vil_load_set_max_bytes(most_image_bytes);
  const auto t0 = std::chrono::steady_clock::now();
  progress report(opt.images.size());
  const cli_complain complain = [&report](const std::string& file, const std::string& reason) {
    report.complain(file, reason);
  };
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t k; (k = next++) < opt.images.size();)
      report.finished(cli_run_image(opt.images[k], start, opt, complain));
  };
  const std::size_t jobs = std::min<std::size_t>(opt.jobs, opt.images.size());
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < jobs; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  report.summary(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  return report.failed() ? 1 : 0;
}

// tessaly-snake: the window's snake run on image files, from the command line.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#include <app/snake_points_file.h>
#include <app/tessaly_snake.h>
#include <cli/cli_check_names.h>
#include <cli/cli_frame.h>
#include <cli/cli_job.h>
#include <cli/cli_memory_budget.h>
#include <cli/cli_options.h>
#include <cli/cli_output.h>
#include <cli/cli_points.h>
#include <cli/cli_progress.h>
#include <vil/vil_load.h>
#include <vul/vul_save_file.h>

namespace
{
typedef vgl_point_2d<double> point;

// Largest image, in bytes of samples, that a job takes on.
const std::size_t most_image_bytes = std::size_t(256) << 20;

int usage_error(const std::string& what)
{
  std::cerr << "tessaly-snake: " << what << "\nTry 'tessaly-snake --help' for more.\n";
  return 2;
}

// --help and --version: their text is the whole point, so failing to write
// it is a failure.
int print(const std::string& text)
{
  std::string error;
  if (cli_write_standard_output(text, error)) return 0;
  std::cerr << "tessaly-snake: standard output: " << error << '\n';
  return 1;
}

bool enough_points(const std::vector<point>& start, std::string& error)
{
  if (start.size() >= snake_min_start_points) return true;
  error = "at least 3 start points are needed, " + std::to_string(start.size()) + " given";
  return false;
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

// Ctrl-C, SIGTERM and a closed terminal stop the program in one thread,
// which every other thread leaves them to: it removes the temporaries of the
// files being written and ends with 128 + the signal's number.  SIGUSR1 from
// main ends the thread itself once the work is done.
class signal_stop
{
 public:
  explicit signal_stop(cli_progress& report) : report_(report)
  {
    sigemptyset(&set_);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&set_, s);
    // Before any other thread starts, so that all of them inherit the mask.
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    thread_ = std::thread([this] { wait(); });
  }
  ~signal_stop()
  {
    done_ = true;
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
  }
  signal_stop(const signal_stop&) = delete;
  signal_stop& operator=(const signal_stop&) = delete;

 private:
  void wait()
  {
    for (;;) {
      int s = 0;
      if (sigwait(&set_, &s) != 0) continue;
      if (s == SIGUSR1) {
        if (done_) return;
        continue;
      }
      // Said first, so that no job's failure to save, as the writer stops,
      // comes before it.
      const char* name = s == SIGINT ? "SIGINT" : s == SIGTERM ? "SIGTERM" : "SIGHUP";
      report_.last_line(std::string("stopped by ") + name + "; unfinished files removed");
      vul_save_file::remove_temporaries();
      ::_exit(128 + s);
    }
  }

  cli_progress& report_;
  sigset_t set_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};
}  // namespace

int main(int argc, char** argv)
{
  cli_options opt;
  std::string error;
  if (!parse_cli_options(argc, argv, opt, error)) return usage_error(error);
  if (opt.help) return print(cli_usage());
  if (opt.version) return print("tessaly-snake " TESSALY_VERSION "\n");
  // A sequence's files are all looked at first: one missing stops the run
  // before anything is written (said after any usage error).
  std::vector<cli_frame> frames;
  std::string frames_error;
  const bool frames_found = cli_frames(opt, frames, frames_error);
  cli_progress report(frames.size());
  signal_stop stop(report);
  if (!opt.make_start_image.empty()) return make_start_image(opt.make_start_image);

  // A points file named after each image is read as its image's turn comes.
  const bool start_per_image = !opt.points_file.empty() && cli_name_has_image(opt.points_file);
  std::vector<point> start;
  if (!opt.points_text.empty()) {
    if (!parse_points_text(opt.points_text, start, error)) return usage_error("--points: " + error);
  } else if (opt.points_file == "-") {
    if (!read_snake_points(std::cin, start, error)) return usage_error("standard input: " + error);
  } else if (!start_per_image && !read_snake_points(opt.points_file, start, error)) {
    return usage_error(opt.points_file + ": " + error);
  }
  if (!start_per_image && !enough_points(start, error))
    return usage_error((opt.points_text.empty() ? opt.points_file : std::string("--points")) + ": " + error);
  if (!frames_found) {
    std::cerr << "tessaly-snake: " << frames_error << "; nothing was run\n";
    return 1;
  }
  if (!cli_check_names(opt, frames, error)) return usage_error(error);

  vil_load_set_max_bytes(most_image_bytes);
  if (opt.memory == 0) opt.memory = cli_memory_budget::available();
  cli_memory_budget budget(opt.memory ? opt.memory : std::size_t(-1) / 2);
  const auto t0 = std::chrono::steady_clock::now();
  const cli_complain complain = [&report](const std::string& file, const std::string& reason) {
    report.complain(file, reason);
  };
  std::atomic<bool> misused{false};
  // Each frame's measures row, in the frames' order.
  std::vector<std::string> rows(frames.size());
  auto run = [&](std::size_t k, const std::vector<point>& from, cli_frame_result& result) {
    const cli_outcome r = cli_run_image(frames[k], from, opt, budget, complain, result);
    if (r == cli_outcome::misused) misused = true;
    report.finished(r == cli_outcome::done);
    rows[k] = result.measures;
    return r == cli_outcome::done;
  };
  // Fewer images at once than jobs: each image's cost uses the idle jobs'
  // threads.
  const std::size_t at_once = opt.track ? 1 : std::min<std::size_t>(opt.jobs, frames.size());
  if (at_once > 0) opt.threads_per_job = unsigned(opt.jobs / at_once);
  if (opt.track) {
    // One frame after another, each from the last one's final points.
    std::vector<point> from = start;
    for (std::size_t k = 0; k < frames.size(); ++k) {
      cli_frame_result result;
      if (!run(k, from, result)) {
        report.complain(frames[k].label(), "frame " + std::to_string(k + 1) + " of " +
                                               std::to_string(frames.size()) + " failed; the sequence stops here");
        break;
      }
      from = std::move(result.pts);
    }
  } else {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
      for (std::size_t k; (k = next++) < frames.size();) {
        cli_frame_result result;
        std::vector<point> own;
        if (start_per_image) {
          const std::string file = cli_expand_name(opt.points_file, frames[k].path);
          std::string why;
          if (!read_snake_points(file, own, why) || !enough_points(own, why)) {
            complain(file, why + " (the start points for " + frames[k].label() + ")");
            report.finished(false);
            continue;
          }
        }
        run(k, start_per_image ? own : start, result);
      }
    };
    const std::size_t jobs = std::min<std::size_t>(opt.jobs, frames.size());
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < jobs; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
  }
  // The rows of every frame that ran, whole or not at all.
  bool measures_written = true;
  if (!opt.measures.empty()) {
    std::string text = cli_measures_header();
    for (const std::string& row : rows) text += row;
    measures_written = cli_write_text(opt.measures, text, error);
    if (!measures_written) report.complain(opt.measures, error);
  }
  report.summary(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  return misused ? 2 : report.failed() || !measures_written ? 1 : 0;
}

#include <cli/cli_options.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <getopt.h>
#include <limits>
#include <thread>

namespace
{
// Most images run at once: each may hold an image of the loader's largest
// size and its cost images.
const unsigned most_jobs = 64;
// Far beyond any use; it bounds a run's time and its trace.
const long most_passes_or_steps = 1000000;
const long most_segments = 100000;

bool whole_number(const char* text, long lo, long hi, long& v)
{
  char* end = nullptr;
  errno = 0;
  v = std::strtol(text, &end, 10);
  return *text && end && *end == '\0' && errno == 0 && v >= lo && v <= hi;
}

bool set_int(const char* name, const char* text, long lo, long hi, long& v, std::string& error)
{
  if (whole_number(text, lo, hi, v)) return true;
  error = std::string("--") + name + " takes a whole number from " + std::to_string(lo) +
          " to " + std::to_string(hi) + ", not \"" + text + "\"";
  return false;
}
}  // namespace

double cli_options::smooth_k() const
{
  return smooth < 0 ? snake_start_smooth_k : snake_smooth_k_from_slider(smooth);
}

bool parse_cli_options(int argc, char** argv, cli_options& opt, std::string& error)
{
  enum
  {
    o_points = 256, o_points_file, o_weight, o_smooth, o_passes, o_steps, o_spacing,
    o_segments, o_overlay, o_cost, o_frames, o_trace, o_start, o_version
  };
  static const option longs[] = {
      {"points", required_argument, nullptr, o_points},
      {"points-file", required_argument, nullptr, o_points_file},
      {"weight", required_argument, nullptr, o_weight},
      {"smooth", required_argument, nullptr, o_smooth},
      {"passes", required_argument, nullptr, o_passes},
      {"steps", required_argument, nullptr, o_steps},
      {"spacing", required_argument, nullptr, o_spacing},
      {"max-segments", required_argument, nullptr, o_segments},
      {"output", required_argument, nullptr, 'o'},
      {"overlay", required_argument, nullptr, o_overlay},
      {"cost", no_argument, nullptr, o_cost},
      {"frames", required_argument, nullptr, o_frames},
      {"trace", required_argument, nullptr, o_trace},
      {"jobs", required_argument, nullptr, 'j'},
      {"make-start-image", required_argument, nullptr, o_start},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, o_version},
      {nullptr, 0, nullptr, 0}};

  opterr = 0;  // the caller prints the one message
  optind = 1;
  long v = 0;
  for (;;) {
    const int c = getopt_long(argc, argv, ":o:j:h", longs, nullptr);
    if (c == -1) break;
    switch (c) {
      case o_points: opt.points_text = optarg; break;
      case o_points_file: opt.points_file = optarg; break;
      case o_weight:
        if (!set_int("weight", optarg, 0, snake_slider_max, v, error)) return false;
        opt.weight = int(v);
        break;
      case o_smooth:
        if (!set_int("smooth", optarg, 0, snake_slider_max, v, error)) return false;
        opt.smooth = int(v);
        break;
      case o_passes:
        if (!set_int("passes", optarg, 0, most_passes_or_steps, v, error)) return false;
        opt.run.passes = int(v);
        break;
      case o_steps:
        if (!set_int("steps", optarg, 0, most_passes_or_steps, v, error)) return false;
        opt.run.steps = int(v);
        break;
      case o_segments:
        if (!set_int("max-segments", optarg, 1, most_segments, v, error)) return false;
        opt.run.max_segments = unsigned(v);
        break;
      case o_spacing: {
        char* end = nullptr;
        const double s = std::strtod(optarg, &end);
        if (!*optarg || *end || !(s > 0) || !std::isfinite(s)) {
          error = std::string("--spacing takes a positive number, not \"") + optarg + "\"";
          return false;
        }
        opt.run.spacing = s;
        break;
      }
      case 'o': opt.outputs.push_back(optarg); break;
      case o_overlay: opt.overlay = optarg; break;
      case o_cost: opt.cost = true; break;
      case o_frames: opt.frames = optarg; break;
      case o_trace: opt.trace = optarg; break;
      case 'j':
        if (!set_int("jobs", optarg, 1, most_jobs, v, error)) return false;
        opt.jobs = unsigned(v);
        break;
      case o_start: opt.make_start_image = optarg; break;
      case 'h': opt.help = true; break;
      case o_version: opt.version = true; break;
      case ':':
        error = std::string("option ") + argv[optind - 1] + " needs a value";
        return false;
      default:
        error = std::string("unknown option ") + argv[optind - 1];
        return false;
    }
  }
  if (opt.help || opt.version) return true;
  for (int k = optind; k < argc; ++k) opt.images.push_back(argv[k]);
  opt.run.weight = snake_weight_from_slider(opt.weight);

  if (!opt.make_start_image.empty()) return true;
  if (opt.images.empty()) {
    error = "no image given";
    return false;
  }
  if ((long long)opt.run.passes * opt.run.steps > most_passes_or_steps) {
    error = "at most " + std::to_string(most_passes_or_steps) + " steps in all (--passes times --steps)";
    return false;
  }
  if (opt.points_text.empty() == opt.points_file.empty()) {
    error = "give the start points with either --points or --points-file";
    return false;
  }
  if (opt.jobs == 0) {
    const unsigned cores = std::thread::hardware_concurrency();
    opt.jobs = cores == 0 ? 1 : std::min(cores, most_jobs);
  }
  return true;
}

const char* cli_usage()
{
  return "Usage: tessaly-snake [OPTION]... IMAGE...\n"
         "Runs tessaly's snake on each IMAGE from the same start points, as the\n"
         "window's \"Run Snake\" does, and writes the points it ends on.\n"
         "\n"
         "Start points, in image pixel coordinates (x to the right, y down):\n"
         "      --points \"X,Y X,Y X,Y ...\"  at least 3 points\n"
         "      --points-file FILE      CSV lines X,Y, or a vsl point-set record (.bvl)\n"
         "\n"
         "Settings (the window's by default):\n"
         "      --weight N              weight slider, 0 (all internal) .. 100 (all\n"
         "                              external); default 50\n"
         "      --smooth N              smoothing slider, 0 .. 100; default the window's\n"
         "                              start (its slider at 50, factor 0.75)\n"
         "      --passes N              resamplings per run; default 10\n"
         "      --steps N               snake steps per pass; default 10\n"
         "      --spacing X             point spacing in pixels; default 5\n"
         "      --max-segments N        most segments of the resampled curve; default 50\n"
         "\n"
         "Outputs (NAME may hold %n, the image's name without folder and extension;\n"
         "it must with several images):\n"
         "  -o, --output NAME           final points as .csv, .json, .bvl or .svg, by\n"
         "                              the name's extension; may be given again.\n"
         "                              Without any output, one image's points go to\n"
         "                              standard output as CSV\n"
         "      --overlay NAME          the image with the red curve and green points\n"
         "      --cost                  overlays and frames show the cost image\n"
         "      --frames DIR            one overlay per step: DIR/frame-001.png ...\n"
         "      --trace NAME            per step: pass, step, points, mean and largest\n"
         "                              move (pixels), mean energy, as CSV\n"
         "\n"
         "  -j, --jobs N                images run at once; default the number of cores\n"
         "      --make-start-image FILE write the window's 250 x 250 start image and stop\n"
         "  -h, --help                  show this help and stop\n"
         "      --version               show the version and stop\n"
         "\n"
         "Exit status: 0 when every image ran and every output was written, 1 when\n"
         "any image failed (the others still run), 2 for bad usage.\n"
         "\n"
         "Example:\n"
         "  tessaly-snake --make-start-image start.png\n"
         "  tessaly-snake --points \"170,70 230,160 120,170\" -o disc.csv --overlay disc.png start.png\n";
}

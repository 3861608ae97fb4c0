#include <cli/cli_options.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <getopt.h>
#include <sched.h>
#include <thread>

namespace
{
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

// "800M", "2G", "1.5GiB", "4096": bytes, with K, M, G or T for powers of 1024.
bool set_size(const char* text, std::size_t& bytes, std::string& error)
{
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  double unit = 1;
  const std::string units = "KMGT";
  const std::size_t u = *end ? units.find(char(std::toupper(static_cast<unsigned char>(*end)))) : std::string::npos;
  if (u != std::string::npos) {
    unit = std::ldexp(1.0, 10 * int(u + 1));
    ++end;
    if (*end == 'i' || *end == 'I') ++end;
  }
  if (*end == 'B' || *end == 'b') ++end;
  const double n = v * unit;
  if (end != text && *end == '\0' && std::isfinite(n) && n >= 1 && n < 0x1p63) {
    bytes = std::size_t(n);
    return true;
  }
  error = std::string("--memory takes a size such as 800M or 2G, not \"") + text + "\"";
  return false;
}

// An option that names a file or the start points may be given once.
bool set_once(const char* name, const char* text, std::string& value, std::string& error)
{
  if (value.empty()) {
    value = text;
    if (!value.empty()) return true;
    error = std::string("--") + name + " needs a value";
    return false;
  }
  error = std::string("--") + name + " given twice (\"" + value + "\" and \"" + text + "\")";
  return false;
}

// What getopt could not take, in words: an unknown option, an ambiguous
// abbreviation, a value missing or not wanted.
std::string option_error(int c, char** argv, const option* longs)
{
  // A long option's error leaves optind past it; a short one inside a
  // group ("-xh") does not, so the last word may be an earlier option.
  const char* word = argv[optind - 1];
  std::string name = std::strncmp(word, "--", 2) == 0 ? std::string(word + 2) : std::string();
  name = name.substr(0, name.find('='));
  const option* named = nullptr;
  for (const option* o = longs; o->name && !name.empty(); ++o)
    if (std::strncmp(o->name, name.c_str(), name.size()) == 0 && o->val == optopt) named = o;
  const bool is_long = !name.empty() && (optopt == 0 || named);
  const std::string shown = !is_long ? std::string("-") + char(optopt)
                            : named  ? std::string("--") + named->name
                                     : "--" + name;
  if (c == ':') return "option " + shown + " needs a value";
  if (named) return "option " + shown + " takes no value";
  if (is_long) {
    std::string matches;
    int n = 0;
    for (const option* o = longs; o->name; ++o)
      if (std::strncmp(o->name, name.c_str(), name.size()) == 0) {
        matches += std::string(n++ ? ", --" : "--") + o->name;
      }
    if (n > 1) return "option " + shown + " is ambiguous: it could be " + matches;
  }
  return "unknown option " + shown;
}
}  // namespace

bool parse_cli_options(int argc, char** argv, cli_options& opt, std::string& error)
{
  enum
  {
    o_points = 256, o_points_file, o_weight, o_smooth, o_passes, o_steps, o_spacing,
    o_segments, o_overlay, o_cost, o_frames, o_trace, o_start, o_version, o_memory, o_measures,
    o_track, o_pressure, o_smooth_px, o_overlay_style, o_line_width, o_overlay_zoom
  };
  static const option longs[] = {
      {"points", required_argument, nullptr, o_points},
      {"points-file", required_argument, nullptr, o_points_file},
      {"weight", required_argument, nullptr, o_weight},
      {"smooth", required_argument, nullptr, o_smooth},
      {"smooth-px", required_argument, nullptr, o_smooth_px},
      {"pressure", required_argument, nullptr, o_pressure},
      {"passes", required_argument, nullptr, o_passes},
      {"steps", required_argument, nullptr, o_steps},
      {"spacing", required_argument, nullptr, o_spacing},
      {"max-segments", required_argument, nullptr, o_segments},
      {"output", required_argument, nullptr, 'o'},
      {"overlay", required_argument, nullptr, o_overlay},
      {"overlay-style", required_argument, nullptr, o_overlay_style},
      {"line-width", required_argument, nullptr, o_line_width},
      {"overlay-zoom", required_argument, nullptr, o_overlay_zoom},
      {"cost", no_argument, nullptr, o_cost},
      {"frames", required_argument, nullptr, o_frames},
      {"trace", required_argument, nullptr, o_trace},
      {"measures", required_argument, nullptr, o_measures},
      {"track", no_argument, nullptr, o_track},
      {"jobs", required_argument, nullptr, 'j'},
      {"memory", required_argument, nullptr, o_memory},
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
    // The options that name the start points or a file are given once.
    std::string* const once = c == o_points ? &opt.points_text : c == o_points_file ? &opt.points_file
                              : c == o_overlay ? &opt.overlay : c == o_frames ? &opt.frames
                              : c == o_trace ? &opt.trace : c == o_measures ? &opt.measures
                              : c == o_start ? &opt.make_start_image : nullptr;
    const option* named = longs;
    while (named->name && named->val != c) ++named;
    if (once && !set_once(named->name, optarg, *once, error)) return false;
    switch (once ? 0 : c) {
      case 0: break;
      case o_weight:
        if (!set_int("weight", optarg, 0, snake_slider_max, v, error)) return false;
        opt.weight = int(v);
        break;
      case o_smooth:
        if (!set_int("smooth", optarg, 0, snake_slider_max, v, error)) return false;
        opt.smooth = int(v);
        break;
      case o_smooth_px: {
        char* end = nullptr;
        const double px = std::strtod(optarg, &end);
        if (!*optarg || *end || !(px >= 0 && px <= snake_most_smooth_px)) {
          error = std::string("--smooth-px takes a width in pixels from 0 to ") +
                  std::to_string(int(snake_most_smooth_px)) + ", not \"" + optarg + "\"";
          return false;
        }
        opt.smooth_px = px;
        break;
      }
      case o_pressure:
        if (!set_int("pressure", optarg, -snake_pressure_slider_max, snake_pressure_slider_max, v, error))
          return false;
        opt.pressure = int(v);
        break;
      case o_passes:
        if (!set_int("passes", optarg, 0, cli_most_steps, v, error)) return false;
        opt.run.passes = int(v);
        break;
      case o_steps:
        if (!set_int("steps", optarg, 0, cli_most_steps, v, error)) return false;
        opt.run.steps = int(v);
        break;
      case o_segments:
        if (!set_int("max-segments", optarg, 1, cli_most_segments, v, error)) return false;
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
      case o_cost: opt.cost = true; break;
      case o_track: opt.track = true; break;
      case o_overlay_style: {
        const std::string style = optarg;
        if (style != "curve" && style != "points" && style != "both") {
          error = "--overlay-style takes curve, points or both, not \"" + style + "\"";
          return false;
        }
        opt.style.curve = style != "points";
        opt.style.points = style != "curve";
        break;
      }
      case o_line_width:
        if (!set_int("line-width", optarg, 1, cli_most_line_width, v, error)) return false;
        opt.style.line_width = int(v);
        break;
      case o_overlay_zoom:
        if (!set_int("overlay-zoom", optarg, 1, cli_most_overlay_zoom, v, error)) return false;
        opt.style.zoom = int(v);
        break;
      case 'j':
        if (!set_int("jobs", optarg, 1, cli_most_jobs, v, error)) return false;
        opt.jobs = unsigned(v);
        break;
      case o_memory:
        if (!set_size(optarg, opt.memory, error)) return false;
        break;
      case 'h': opt.help = true; break;
      case o_version: opt.version = true; break;
      default:
        error = option_error(c, argv, longs);
        return false;
    }
  }
  if (opt.help || opt.version) return true;
  for (int k = optind; k < argc; ++k) opt.images.push_back(argv[k]);
  opt.run.weight = snake_weight_from_slider(opt.weight);
  opt.run.pressure = snake_pressure_from_slider(opt.pressure);

  if (!opt.make_start_image.empty()) return true;
  if (opt.images.empty()) {
    error = "no image given";
    return false;
  }
  if ((long long)opt.run.passes * opt.run.steps > cli_most_steps) {
    error = "at most " + std::to_string(cli_most_steps) + " steps in all (--passes times --steps)";
    return false;
  }
  if (opt.smooth >= 0 && opt.smooth_px >= 0) {
    error = "give the smoothing with either --smooth or --smooth-px";
    return false;
  }
  if (opt.points_text.empty() == opt.points_file.empty()) {
    error = "give the start points with either --points or --points-file";
    return false;
  }
  if (opt.jobs == 0) opt.jobs = cli_default_jobs();
  return true;
}

unsigned cli_default_jobs()
{
  cpu_set_t cpus;
  unsigned n = 0;
  if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0) n = unsigned(CPU_COUNT(&cpus));
  if (n == 0) n = std::thread::hardware_concurrency();
  return std::clamp(n, 1u, cli_most_jobs);
}

const char* cli_usage()
{
  return "Usage: tessaly-snake [OPTION]... IMAGE...\n"
         "Runs tessaly's snake on each IMAGE from the same start points, as the\n"
         "window's \"Run Snake\" does, and writes the points it ends on.  An image\n"
         "of 16- or 32-bit integers, floats or doubles is brought to 8 bits first:\n"
         "its 0.1 % and 99.9 % values are stretched to 0 and 255.\n"
         "\n"
         "Start points, in image pixel coordinates (x to the right, y down), at\n"
         "least 3, within 10 image sizes of each image:\n"
         "      --points \"X,Y X,Y X,Y ...\"\n"
         "      --points-file FILE      CSV (\"-\": standard input): X,Y lines, or\n"
         "                              columns named x and y in a header line; tab\n"
         "                              or semicolon separators; # comments.  Or a\n"
         "                              vsl point-set record (.bvl).  With %n, one\n"
         "                              file per image (starts/%n.csv); an image\n"
         "                              without its file fails\n"
         "\n"
         "Settings (the window's by default):\n"
         "      --weight N              weight slider, 0 (all internal) .. 100 (all\n"
         "                              external); default 50\n"
         "      --smooth N              smoothing slider, 0 .. 100 (factor 0.5 + N/201);\n"
         "                              default the window's start factor 0.75, which\n"
         "                              no slider position gives exactly (50: 0.7488)\n"
         "      --smooth-px S           smoothing as a width in pixels, 0 (none) ..\n"
         "                              1000: the standard deviation of the cost's\n"
         "                              blur along each axis; the default is 6.9\n"
         "      --pressure N            pressure slider, -100 (shrink) .. 100 (grow):\n"
         "                              a push along the curve's outward normal, for a\n"
         "                              start outside the object (negative) or inside\n"
         "                              it (positive); default 0, none\n"
         "      --passes N              resamplings per run; default 10\n"
         "      --steps N               snake steps per pass; default 10;\n"
         "                              passes times steps at most 1000000\n"
         "      --spacing X             point spacing in pixels; default 5\n"
         "      --max-segments N        most segments of the resampled curve, 1 ..\n"
         "                              100000; default 50\n"
         "\n"
         "Outputs (NAME may hold %n, the image's name without folder and extension,\n"
         "and with --track %i, the frame's number; with several images or frames\n"
         "it must hold one of them):\n"
         "  -o, --output NAME           final points as .csv, .json, .bvl or .svg, by\n"
         "                              the name's extension; may be given again.\n"
         "                              Without any output, one image's points go to\n"
         "                              standard output as CSV\n"
         "      --overlay NAME          the image with the red curve and green points\n"
         "      --cost                  overlays and frames show the cost image\n"
         "      --overlay-style STYLE   what overlays and frames draw: curve, points\n"
         "                              or both; default both\n"
         "      --line-width N          the curve's width in picture pixels, 1 .. 50;\n"
         "                              default 1\n"
         "      --overlay-zoom N        overlays and frames N times enlarged, 1 .. 32,\n"
         "                              for small images; default 1.  Each image's\n"
         "                              picture must fit in --memory\n"
         "      --frames DIR            one overlay per step: DIR/frame-001.png ...\n"
         "      --trace NAME            per step: pass, step, points, mean and largest\n"
         "                              move (pixels), mean energy and the pressure\n"
         "                              slider, as CSV\n"
         "      --measures FILE         one CSV row an image (or frame): image, frame,\n"
         "                              points, area, perimeter, centroid, bounding\n"
         "                              box and mean energy of the final curve\n"
         "\n"
         "Sequences:\n"
         "      --track                 the images are one sequence, frames in the\n"
         "                              order given, each page of a TIFF a frame:\n"
         "                              the first starts from the start points, every\n"
         "                              other from the last frame's final points.  A\n"
         "                              frame that fails stops the sequence.  Frames\n"
         "                              run one at a time (-j does not apply); --frames\n"
         "                              writes DIR/01-step-001.png ...\n"
         "\n"
         "  -j, --jobs N                images run at once, 1 .. 64; default the\n"
         "                              processors this process may use\n"
         "      --memory SIZE           memory the jobs share, such as 800M or 2G;\n"
         "                              default what the machine has available at\n"
         "                              start.  A job takes 9 to 15 bytes a pixel and\n"
         "                              waits while others hold the rest\n"
         "      --make-start-image FILE write the window's 250 x 250 start image and stop\n"
         "  -h, --help                  show this help and stop\n"
         "      --version               show the version and stop\n"
         "\n"
         "Exit status: 0 when every image ran and every output was written, 1 when\n"
         "any image failed (the others still run), 2 for bad usage, 130 or 143\n"
         "when stopped by Ctrl-C or SIGTERM.\n"
         "\n"
         "Example:\n"
         "  tessaly-snake --make-start-image start.png\n"
         "  tessaly-snake --points \"170,70 230,160 120,170\" -o disc.csv --overlay disc.png start.png\n"
         "  tessaly-snake --track --points-file first.csv -o track/%i.csv movie.tif\n";
}

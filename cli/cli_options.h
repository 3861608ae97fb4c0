#ifndef cli_options_h_
#define cli_options_h_
// tessaly-snake's command line: what to run on which images, and where the
// results go.
#include <cstddef>
#include <string>
#include <vector>
#include <app/snake_overlay.h>
#include <app/tessaly_snake.h>

struct cli_options
{
  std::vector<std::string> images;
  // --points "x,y x,y ...", or --points-file FILE ("-": standard input; a
  // name with %n, one file per image).
  std::string points_text;
  std::string points_file;
  // Slider positions, 0..100; smooth -1 when not given (the window's start
  // factor, snake_start_smooth_k).
  int weight = 50;
  int smooth = -1;
  // --smooth-px, the smoothing's width in pixels; -1 when not given.
  double smooth_px = -1;
  // Pressure slider position, -100 (shrink) .. 100 (grow).
  int pressure = 0;
  // Passes, steps, spacing and segments from the options; the weight is
  // filled in from `weight`.
  snake_run_settings run;
  // Name templates (%n: the image's base name; %i: the frame's number in
  // a sequence).  outputs end in .csv, .json, .bvl or .svg.
  std::vector<std::string> outputs;
  std::string overlay;
  std::string frames;
  std::string trace;
  // One CSV of the final curve's measures, a row an image or frame.
  std::string measures;
  // The images are one sequence (--track): each frame starts from the
  // last one's final points.
  bool track = false;
  // Overlays and frames show the cost image instead of the image.
  bool cost = false;
  // What overlays and frames draw, and at what zoom.
  snake_overlay_style style;
  // Images run at once; 0 until parsed, then at least 1.
  unsigned jobs = 0;
  // Threads for one image's cost: the jobs' share of the CPUs asked for.
  unsigned threads_per_job = 1;
  // Bytes the jobs may hold at once; 0 until given (then what the machine
  // has available at start).
  std::size_t memory = 0;
  std::string make_start_image;
  bool help = false;
  bool version = false;
};

// Limits the options keep to, far beyond any use: they bound a run's time,
// its trace and frames, and the threads and memory it asks for.
const long cli_most_steps = 1000000;  // passes times steps
const long cli_most_segments = 100000;
const unsigned cli_most_jobs = 64;
const int cli_most_line_width = 50;
const int cli_most_overlay_zoom = 32;

// Reads the command line into opt.  False, with the reason in error, for
// bad usage; --help and --version need nothing else.
bool parse_cli_options(int argc, char** argv, cli_options& opt, std::string& error);

// The text of --help.
const char* cli_usage();

// Images run at once when -j is not given: the processors this process may
// run on (its affinity, as taskset sets it), at most cli_most_jobs.
unsigned cli_default_jobs();

#endif

#ifndef cli_job_h_
#define cli_job_h_
// One image's part of a tessaly-snake run.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>
#include <cli/cli_frame.h>
#include <cli/cli_memory_budget.h>
#include <cli/cli_options.h>
#include <vgl/vgl_point_2d.h>

// Told a complaint: the file it is about and the reason.
typedef std::function<void(const std::string& file, const std::string& reason)> cli_complain;

// How an image's run ended.
enum class cli_outcome
{
  done,
  failed,   // something could not be read, computed or written
  misused,  // the start points lie absurdly far outside the image: bad usage
};

// Bytes a job needs for an image of ni x nj pixels of nplanes samples of
// bytes_per_sample bytes with opt's outputs: the image, its cost and the
// filter's work image, and an overlay (--overlay-zoom times enlarged) with
// its drawing and encoding.
std::size_t cli_job_need(unsigned long long ni, unsigned long long nj, unsigned long long nplanes,
                         unsigned bytes_per_sample, const cli_options& opt);

// What a frame's run ends with, for the frame after it and the measures.
struct cli_frame_result
{
  // The final points; empty when the run never took place.
  std::vector<vgl_point_2d<double>> pts;
  // Its row of the measures file (with its line end), when opt names one
  // and the points are finite.
  std::string measures;
};

// The measures file's first line.
const char* cli_measures_header();

// Takes the frame's need from budget once its size is known (waiting while
// other jobs hold it; an image needing more than the whole budget fails),
// loads it (1 to 4 planes; pixels of more than 8 bits mapped to 8 by
// snake_load_image, the JSON recording how), computes its cost, runs the snake
// from start with opt's settings and writes every output opt names,
// expanded for this frame; with no output named, the final points go to
// standard output as CSV.  Memory that still cannot be had fails this frame
// only.  A snake that collapses (fewer than 3 points, no area, or too small
// for the next resampling to keep 3) fails, its outputs still written.  Safe
// to run for several frames at once.  Each failure is told to complain; the
// outputs that could be written are.
cli_outcome cli_run_image(const cli_frame& frame, const std::vector<vgl_point_2d<double>>& start,
                          const cli_options& opt, cli_memory_budget& budget,
                          const cli_complain& complain, cli_frame_result& result);

#endif

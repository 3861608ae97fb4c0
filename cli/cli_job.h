#ifndef cli_job_h_
#define cli_job_h_
// One image's part of a tessaly-snake run.
#include <functional>
#include <string>
#include <vector>
#include <cli/cli_options.h>
#include <vgl/vgl_point_2d.h>

// Told a complaint: the file it is about and the reason.
typedef std::function<void(const std::string& file, const std::string& reason)> cli_complain;

// Loads the image (8-bit pixels, 1 to 4 planes), computes its cost, runs the
// snake from start with opt's settings and writes every output opt names,
// expanded for this image; with no output named, the final points go to
// standard output as CSV.  Safe to run for several images at once.  False
// when anything failed, each failure told to complain; the outputs that
// could be written are.
bool cli_run_image(const std::string& image_path, const std::vector<vgl_point_2d<double>>& start,
                   const cli_options& opt, const cli_complain& complain);

#endif

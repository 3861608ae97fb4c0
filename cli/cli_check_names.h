#ifndef cli_check_names_h_
#define cli_check_names_h_
// The names of tessaly-snake's inputs and outputs, checked before anything
// runs.
#include <string>
#include <vector>
#include <cli/cli_frame.h>
#include <cli/cli_options.h>

// True when every output name is usable and no file a run writes (points,
// overlay, trace, each frame, the measures) is an input (an image, the
// points file) or another output, for any of the frames (cli_frames).
// Names are compared after following symbolic links.  False, with the
// reason in error.
bool cli_check_names(const cli_options& opt, const std::vector<cli_frame>& frames, std::string& error);

// The name of frame `number` of a run of `total` steps, in its folder:
// "frame-001.png" and on, with as many digits as the last needs (at least 3);
// in a sequence the prefix is the frame's number: "07-step-001.png".
std::string cli_frame_name(long long number, long long total, const std::string& prefix = "frame-");

#endif

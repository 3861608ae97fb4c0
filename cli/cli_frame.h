#ifndef cli_frame_h_
#define cli_frame_h_
// One image a tessaly-snake run works on: an image file, or with --track
// one frame of the sequence, which may be a page of a TIFF.
#include <string>
#include <vector>
#include <cli/cli_options.h>

struct cli_frame
{
  std::string path;
  // The page of the file (from 0) and how many it has; 0 and 1 but for a
  // TIFF of several pages in a sequence.
  unsigned page = 0, pages = 1;
  // Its place in the sequence, from 1, and the sequence's length; 0 and 0
  // without --track.
  unsigned index = 0, count = 0;

  // The file's name, with "page N" for a page of a TIFF.
  std::string label() const;
};

// The frames opt's images stand for.  Without --track, one an image, in
// order.  With --track, one a page of each file in turn: a TIFF of several
// pages is as many frames.  False, with the reason naming the file and its
// frame, when a file of a sequence is missing or its pages cannot be
// counted; nothing is read beyond that.
bool cli_frames(const cli_options& opt, std::vector<cli_frame>& frames, std::string& error);

#endif

#include <cli/cli_frame.h>

#include <vil/vil_load_page.h>

std::string cli_frame::label() const
{
  return pages > 1 ? path + " page " + std::to_string(page + 1) : path;
}

bool cli_frames(const cli_options& opt, std::vector<cli_frame>& frames, std::string& error)
{
  frames.clear();
  for (const std::string& path : opt.images) {
    cli_frame f;
    f.path = path;
    if (opt.track) {
      // Every file is looked at before any runs: a sequence with a gap
      // stops before it writes anything.
      f.pages = vil_load_page_count(path, error);
      if (f.pages == 0) {
        error = path + " (frame " + std::to_string(frames.size() + 1) + " of the sequence): " + error;
        return false;
      }
      if (frames.size() + f.pages > vil_load_most_pages) {
        error = path + ": more than " + std::to_string(vil_load_most_pages) + " frames in the sequence";
        return false;
      }
    }
    for (f.page = 0; f.page < f.pages; ++f.page) frames.push_back(f);
  }
  if (opt.track)
    for (std::size_t k = 0; k < frames.size(); ++k) {
      frames[k].index = unsigned(k + 1);
      frames[k].count = unsigned(frames.size());
    }
  return true;
}

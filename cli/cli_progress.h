#ifndef cli_progress_h_
#define cli_progress_h_
// tessaly-snake's messages on standard error: whole lines under one lock
// from any thread, and on a terminal a progress line that they do not break.
#include <cstddef>
#include <mutex>
#include <string>

class cli_progress
{
 public:
  explicit cli_progress(std::size_t total);

  // "tessaly-snake: <file>: <reason>" as one line.
  void complain(const std::string& file, const std::string& reason);
  // One image more is done (ok) or failed.
  void finished(bool ok);
  // "tessaly-snake: N images: D done, F failed, T s".
  void summary(double seconds);
  // "tessaly-snake: <what>" as the last line: the progress line is ended
  // first, and nothing is said after it (a job's complaint that the program
  // is stopping included).  For a program about to stop.
  void last_line(const std::string& what);
  std::size_t failed() const;

 private:
  void show();
  void clear();

  mutable std::mutex m_;
  std::size_t total_, done_ = 0, failed_ = 0;
  bool tty_, shown_ = false, ended_ = false;
};

#endif

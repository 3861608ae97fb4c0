#include <cli/cli_progress.h>

#include <cstdio>
#include <iostream>
#include <unistd.h>

cli_progress::cli_progress(std::size_t total) : total_(total), tty_(::isatty(STDERR_FILENO) == 1) {}

void cli_progress::complain(const std::string& file, const std::string& reason)
{
  std::lock_guard<std::mutex> lock(m_);
  if (ended_) return;
  clear();
  std::cerr << "tessaly-snake: " << file << ": " << reason << '\n';
  show();
}

void cli_progress::finished(bool ok)
{
  std::lock_guard<std::mutex> lock(m_);
  ++done_;
  if (!ok) ++failed_;
  show();
}

void cli_progress::summary(double seconds)
{
  std::lock_guard<std::mutex> lock(m_);
  if (ended_) return;
  clear();
  char t[32];
  std::snprintf(t, sizeof t, "%.2f", seconds);
  std::cerr << "tessaly-snake: " << total_ << (total_ == 1 ? " image: " : " images: ")
            << done_ - failed_ << " done, " << failed_ << " failed, " << t << " s\n";
}

void cli_progress::last_line(const std::string& what)
{
  std::lock_guard<std::mutex> lock(m_);
  clear();
  if (ended_) return;
  std::cerr << "tessaly-snake: " << what << std::endl;
  ended_ = true;
}

std::size_t cli_progress::failed() const
{
  std::lock_guard<std::mutex> lock(m_);
  return failed_;
}

void cli_progress::show()
{
  if (!tty_ || ended_) return;
  std::cerr << "\rtessaly-snake: " << done_ << "/" << total_ << " images"
            << (failed_ ? ", " + std::to_string(failed_) + " failed" : std::string()) << std::flush;
  shown_ = true;
}

void cli_progress::clear()
{
  if (shown_) std::cerr << "\r\033[K";
  shown_ = false;
}

#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/mman.h>
#include <unistd.h>

fuzz_file::fuzz_file(const std::uint8_t* data, std::size_t size)
{
  // An in-memory file spares the disk one write per input; /proc/self/fd
  // gives it a name that stat() sees as a regular file.
  fd_ = ::memfd_create("fuzz-input", 0);
  if (fd_ >= 0) {
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  } else {
    char name[] = "/tmp/tessaly-fuzz-XXXXXX";
    fd_ = ::mkstemp(name);
    if (fd_ < 0) fuzz_fail("cannot create a temporary file");
    path_ = name;
    unlink_ = true;
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size - done);
    if (n <= 0) fuzz_fail("cannot write the temporary file");
    done += std::size_t(n);
  }
}

fuzz_file::~fuzz_file()
{
  if (unlink_) ::unlink(path_.c_str());
  ::close(fd_);
}

fuzz_cerr_capture::fuzz_cerr_capture() : old_(std::cerr.rdbuf(buf_.rdbuf())) {}

fuzz_cerr_capture::~fuzz_cerr_capture()
{
  std::cerr.rdbuf(old_);
  // A reader may have set a formatting flag or failed the stream; the next
  // input starts clean.
  std::cerr.clear();
}

fuzz_pipe_buf::fuzz_pipe_buf(const char* data, std::size_t size)
{
  char* p = const_cast<char*>(data);
  setg(p, p, p + size);
}

std::size_t fuzz_count_lines(const std::string& s)
{
  std::size_t n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

void fuzz_fail(const char* what, const std::string& context)
{
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (!context.empty()) std::fprintf(stderr, "context:\n%s\n", context.c_str());
  std::fflush(stderr);
  std::abort();
}

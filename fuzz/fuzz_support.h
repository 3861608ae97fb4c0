#ifndef tessaly_fuzz_support_h_
#define tessaly_fuzz_support_h_
// What the fuzz targets share: input bytes as a file or a stream, and the
// standard error stream caught so a target can check the messages a reader
// gives.  A broken expectation aborts with a line saying which, so that the
// fuzzer (or the replay) records the input as a crash.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>

// Holds the bytes in an anonymous in-memory file for as long as it lives;
// path() names it for readers that open files by name.
class fuzz_file
{
 public:
  fuzz_file(const std::uint8_t* data, std::size_t size);
  ~fuzz_file();
  fuzz_file(const fuzz_file&) = delete;
  fuzz_file& operator=(const fuzz_file&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  int fd_ = -1;
  std::string path_;
  bool unlink_ = false;
};

// Sends std::cerr to a string while it lives.
class fuzz_cerr_capture
{
 public:
  fuzz_cerr_capture();
  ~fuzz_cerr_capture();
  fuzz_cerr_capture(const fuzz_cerr_capture&) = delete;
  fuzz_cerr_capture& operator=(const fuzz_cerr_capture&) = delete;
  std::string text() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};

// A read-only stream buffer over memory that refuses to seek, like a pipe,
// so readers take their path for streams of unknown length.
class fuzz_pipe_buf : public std::streambuf
{
 public:
  fuzz_pipe_buf(const char* data, std::size_t size);
};

// Number of '\n' in s.
std::size_t fuzz_count_lines(const std::string& s);

// Prints "fuzz check failed: <what>" and the captured context, then aborts.
[[noreturn]] void fuzz_fail(const char* what, const std::string& context = std::string());

#define FUZZ_CHECK(cond, context)        \
  do {                                   \
    if (!(cond)) fuzz_fail(#cond, context); \
  } while (0)

#endif

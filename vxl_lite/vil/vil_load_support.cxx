#include <vil/vil_load_support.h>

#include <iostream>
#include <utility>
#include <sys/stat.h>
#include <string>
#include <vil/vil_load.h>

namespace
{
thread_local std::string* redirected = nullptr;
thread_local vil_load_size_check size_check;
}  // namespace

vil_load_size_check vil_load_set_size_check(vil_load_size_check check)
{
  std::swap(check, size_check);
  return check;
}

std::string* vil_error_redirect(std::string* to)
{
  std::string* was = redirected;
  redirected = to;
  return was;
}

void vil_error_line(const char* who, const char* path, const char* reason)
{
  if (redirected) {
    // The first reason is the cause; later ones follow from it.
    if (redirected->empty()) *redirected = reason;
    return;
  }
  std::string line = std::string(who) + ": " + (path ? path : "(null)") + ": " + reason;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::cerr << line << '\n';
}

vil_image_view_base_sptr vil_load_fail(const char* path, const char* reason)
{
  vil_error_line("vil_load", path, reason);
  return vil_image_view_base_sptr();
}

bool vil_load_size_ok(const char* path, unsigned long long ni, unsigned long long nj,
                      unsigned long long nplanes, unsigned bytes_per_sample)
{
  if (ni == 0 || nj == 0 || nplanes == 0) {
    vil_load_fail(path, "image has no pixels");
    return false;
  }
  unsigned long long n = 0;
  const bool overflow = __builtin_mul_overflow(ni, nj, &n) ||
                        __builtin_mul_overflow(n, nplanes, &n) ||
                        __builtin_mul_overflow(n, (unsigned long long)bytes_per_sample, &n);
  // The views index with unsigned sizes; keep every dimension in range too.
  if (overflow || ni > 0xffffffffull || nj > 0xffffffffull || nplanes > 0xffffffffull ||
      n > vil_load_max_bytes()) {
    const std::string reason = "image of " + std::to_string(ni) + " x " + std::to_string(nj) +
                               " x " + std::to_string(nplanes) + " samples of " +
                               std::to_string(bytes_per_sample) +
                               " bytes exceeds the limit of " +
                               std::to_string(vil_load_max_bytes()) + " bytes";
    vil_load_fail(path, reason.c_str());
    return false;
  }
  std::string why;
  if (size_check && !size_check(ni, nj, nplanes, bytes_per_sample, why)) {
    vil_load_fail(path, why.c_str());
    return false;
  }
  return true;
}

bool vil_load_read_exact(std::FILE* f, void* buf, std::size_t n)
{
  return std::fread(buf, 1, n, f) == n;
}

unsigned long long vil_load_bytes_left(std::FILE* f)
{
  struct stat st;
  const long pos = std::ftell(f);
  if (pos < 0 || ::fstat(fileno(f), &st) != 0 || st.st_size < pos) return 0;
  return static_cast<unsigned long long>(st.st_size - pos);
}

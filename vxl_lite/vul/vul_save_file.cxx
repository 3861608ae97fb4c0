#include <vul/vul_save_file.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Temporaries not yet committed, so that a program stopped by a signal can
// remove them.  Never destroyed: a thread may still save while the program
// ends.
struct temp_registry
{
  std::mutex m;
  std::set<std::string> names;
  bool stopping = false;
};

temp_registry& registry()
{
  static temp_registry* r = new temp_registry;
  return *r;
}

std::string folder_of(const std::string& path)
{
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash + 1);
}

// The temporary's name: a dot, the start of the target's name (so that a
// left-over file says whose it was), a serial, ".part".  Short, so that a
// target whose name is near the system's limit still gets one.
std::string temp_name(const std::string& target)
{
  static std::atomic<unsigned long> serial{0};
  const std::size_t slash = target.rfind('/');
  std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
  if (base.size() > 32) {
    std::size_t cut = 32;
    // Not inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xc0) == 0x80) --cut;
    base.resize(cut);
  }
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  unsigned long long v = (static_cast<unsigned long long>(::getpid()) << 24) ^ ++serial;
  std::string tag;
  for (int k = 0; k < 8; ++k, v /= 36) tag += digits[v % 36];
  return folder_of(target) + "." + base + "." + tag + ".part";
}

// Follows symbolic links by hand, so that a dangling one still names the
// file it points to.  False with errno set when the links loop.
bool follow_links(const std::string& path, std::string& out)
{
  out = path;
  for (int hops = 0; hops < 128; ++hops) {
    struct stat st;
    if (::lstat(out.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(out.c_str(), &link[0], link.size());
    if (n < 0) return true;  // gone meanwhile: open() says what is there
    link.resize(std::size_t(n));
    out = link[0] == '/' ? link : folder_of(out) + link;
  }
  errno = ELOOP;
  return false;
}
}  // namespace

vul_save_file::vul_save_file(std::string path) : path_(std::move(path)) {}

vul_save_file::~vul_save_file() { cancel(); }

bool vul_save_file::fail(const std::string& why)
{
  error_ = why;
  return false;
}

bool vul_save_file::open_in_place(int flags)
{
  const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | flags);
  if (fd < 0) return fail(errno == ENXIO ? "a FIFO that no program reads from" : std::strerror(errno));
  in_place_ = true;
  // A FIFO was opened without waiting for a reader; writes may wait.
  if (flags & O_NONBLOCK) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    fd_ = fd;
    file_ = ::open_memstream(&buf_, &buf_size_);
  } else {
    file_ = ::fdopen(fd, "wb");
    if (!file_) ::close(fd);
  }
  return file_ || fail(std::strerror(errno));
}

bool vul_save_file::commit_in_place()
{
  bool written = buf_ && ::ftruncate(fd_, 0) == 0;
  for (std::size_t done = 0; written && done < buf_size_;) {
    const ssize_t n = ::write(fd_, buf_ + done, buf_size_ - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    done += written ? std::size_t(n) : 0;
  }
  written = written && ::fsync(fd_) == 0;
  const int e = errno;
  cancel();
  return written || fail(std::strerror(e));
}

bool vul_save_file::open()
{
  if (file_) return fail("already open");
  error_.clear();
  if (path_.empty()) return fail("no file name given");
  if (!follow_links(path_, target_)) return fail(std::strerror(errno));

  struct stat st;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return fail(std::strerror(EISDIR));
  if (exists && ::access(target_.c_str(), W_OK) != 0) return fail(std::strerror(errno));
  if (exists && !S_ISREG(st.st_mode)) return open_in_place(S_ISFIFO(st.st_mode) ? O_NONBLOCK : 0);

  replacing_ = exists;
  mode_ = exists ? unsigned(st.st_mode & 07777) : 0;
  uid_ = exists ? unsigned(st.st_uid) : 0;
  gid_ = exists ? unsigned(st.st_gid) : 0;
  temp_registry& reg = registry();
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(reg.m);
    if (reg.stopping) return fail("the program is stopping");
    // Private until it has the old file's mode; a new file gets what a plain
    // create gives.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp_ = temp_name(target_);
      fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd >= 0) reg.names.insert(temp_);
  }
  if (fd < 0) {
    const int e = errno;
    temp_.clear();
    if (exists && (e == EACCES || e == EPERM)) return open_in_place(0);
    return fail(std::strerror(e));
  }
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    const int e = errno;
    ::close(fd);
    cancel();
    return fail(std::strerror(e));
  }
  return true;
}

bool vul_save_file::commit()
{
  if (!file_) return fail(error_.empty() ? "not open" : error_);
  errno = 0;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  int e = errno;
  if (fd_ >= 0) {
    std::fclose(file_);
    file_ = nullptr;
    if (!ok) {
      cancel();
      return fail(e ? std::strerror(e) : "write failed");
    }
    return commit_in_place();
  }
  const int fd = ::fileno(file_);
  if (ok && !temp_.empty() && replacing_) {
    ::fchmod(fd, mode_);
    // Keeps the owner where allowed (a save by root of a user's file).
    if (::fchown(fd, uid_, gid_) != 0) errno = 0;
  }
  // Devices and FIFOs have nothing to sync.
  if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    ok = false;
    e = errno;
  }
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    e = errno;
  }
  file_ = nullptr;
  if (!ok) {
    cancel();
    return fail(e ? std::strerror(e) : "write failed");
  }
  if (temp_.empty()) return true;

  temp_registry& reg = registry();
  std::lock_guard<std::mutex> lock(reg.m);
  if (reg.stopping) return fail("the program is stopping");
  const bool moved = std::rename(temp_.c_str(), target_.c_str()) == 0;
  e = errno;
  if (!moved) ::unlink(temp_.c_str());
  reg.names.erase(temp_);
  temp_.clear();
  return moved || fail(std::strerror(e));
}

void vul_save_file::cancel()
{
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::free(buf_);
  buf_ = nullptr;
  buf_size_ = 0;
  if (temp_.empty()) return;
  temp_registry& reg = registry();
  std::lock_guard<std::mutex> lock(reg.m);
  if (reg.names.erase(temp_)) ::unlink(temp_.c_str());
  temp_.clear();
}

bool vul_save_file::write(const std::string& path, const std::string& bytes, std::string& why)
{
  vul_save_file f(path);
  if (!f.open()) {
    why = f.error();
    return false;
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.file()) != bytes.size()) {
    why = errno ? std::strerror(errno) : "write failed";
    return false;
  }
  if (!f.commit()) {
    why = f.error();
    return false;
  }
  return true;
}

std::string vul_save_file::target_of(const std::string& path)
{
  std::string target;
  return follow_links(path, target) ? target : path;
}

unsigned vul_save_file::remove_temporaries()
{
  temp_registry& reg = registry();
  std::lock_guard<std::mutex> lock(reg.m);
  reg.stopping = true;
  unsigned n = 0;
  for (const std::string& name : reg.names) n += ::unlink(name.c_str()) == 0;
  reg.names.clear();
  return n;
}

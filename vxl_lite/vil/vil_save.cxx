#include <vil/vil_save.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vil/file_formats/vil_bmp.h>
#include <vil/file_formats/vil_jpeg.h>
#include <vil/file_formats/vil_png.h>
#include <vil/file_formats/vil_pnm.h>
#include <vil/file_formats/vil_tiff.h>
#include <vil/vil_save_support.h>

namespace
{
typedef bool (*write_fn)(const char* path, std::FILE* f, const vil_image_view_base& view);

struct file_format
{
  const char* name;
  write_fn write;
};

const file_format formats[] = {
    {"tiff", vil_tiff_write}, {"png", vil_png_write}, {"bmp", vil_bmp_write},
    {"jpeg", vil_jpeg_write}, {"pnm", vil_pnm_write}, {"pbm", vil_pnm_write},
    {"pgm", vil_pnm_write},   {"ppm", vil_pnm_write},
};

// File name extensions and the format each names.
const struct
{
  const char* ext;
  const char* format;
} extensions[] = {
    {"tif", "tiff"}, {"tiff", "tiff"}, {"png", "png"}, {"bmp", "bmp"}, {"pbm", "pnm"},
    {"pgm", "pnm"},  {"ppm", "pnm"},   {"pnm", "pnm"}, {"jpg", "jpeg"}, {"jpeg", "jpeg"},
};

std::atomic<unsigned> temp_count{0};

// Creates a new file beside target (same folder, so that rename is atomic)
// with the mode a new file gets, or the old file's mode when replacing one.
std::FILE* open_temp(const std::string& target, const struct stat* old, std::string& name)
{
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + "." + std::to_string(::getpid()) + "-" + std::to_string(temp_count++) + ".part";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return nullptr;
    if (old) ::fchmod(fd, old->st_mode & 07777);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
      const int e = errno;
      ::close(fd);
      ::unlink(name.c_str());
      errno = e;
    }
    return f;
  }
  return nullptr;
}
}  // namespace

bool vil_save(const vil_image_view_base& view, const char* path)
{
  if (!path || !*path) return vil_save_fail("", "no file name given");
  const char* slash = std::strrchr(path, '/');
  const char* dot = std::strrchr(slash ? slash : path, '.');
  if (dot)
    for (const auto& e : extensions)
      if (strcasecmp(dot + 1, e.ext) == 0) return vil_save(view, path, e.format);
  std::cerr << "vil_save: assuming pnm format for '" << path << "'\n";
  return vil_save(view, path, "pnm");
}

bool vil_save(const vil_image_view_base& view, const char* path, const char* file_format)
{
  if (!path || !*path) return vil_save_fail("", "no file name given");
  write_fn write = nullptr;
  for (const auto& ff : formats)
    if (file_format && std::strcmp(file_format, ff.name) == 0) write = ff.write;
  if (!write)
    return vil_save_fail(path, std::string("unknown file format \"") + (file_format ? file_format : "") + '"');

  // A device or a FIFO is written in place: there is no file to replace.
  struct stat st;
  const bool exists = ::stat(path, &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return vil_save_fail(path, std::strerror(EISDIR));
  // Renaming could replace a file the user may not write; refuse as opening it would.
  if (exists && ::access(path, W_OK) != 0) return vil_save_fail(path, std::strerror(errno));
  if (exists && !S_ISREG(st.st_mode)) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return vil_save_fail(path, std::strerror(errno));
    bool ok = write(path, f, view);
    if (std::fclose(f) != 0 && ok) ok = vil_save_fail(path, std::strerror(errno));
    return ok;
  }
  // Otherwise into a new file that replaces the target only once complete;
  // through a symbolic link the file it points to is replaced.
  std::string target = path;
  if (exists)
    if (char* real = ::realpath(path, nullptr)) {
      target = real;
      std::free(real);
    }
  std::string temp;
  std::FILE* f = open_temp(target, exists ? &st : nullptr, temp);
  if (!f) return vil_save_fail(path, std::strerror(errno));
  bool ok = write(path, f, view);
  if (ok && std::ferror(f)) ok = vil_save_fail(path, "write failed");
  if (std::fclose(f) != 0 && ok) ok = vil_save_fail(path, std::strerror(errno));
  if (ok && std::rename(temp.c_str(), target.c_str()) != 0) ok = vil_save_fail(path, std::strerror(errno));
  if (!ok) std::remove(temp.c_str());
  return ok;
}

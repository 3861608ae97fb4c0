#include <vil/vil_save.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <strings.h>
#include <vil/file_formats/vil_bmp.h>
#include <vil/file_formats/vil_jpeg.h>
#include <vil/file_formats/vil_png.h>
#include <vil/file_formats/vil_pnm.h>
#include <vil/file_formats/vil_tiff.h>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>
#include <vul/vul_save_file.h>

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

}  // namespace

bool vil_save(const vil_image_view_base& view, const char* path)
{
  if (!path || !*path) return vil_save_fail("", "no file name given");
  const char* slash = std::strrchr(path, '/');
  const char* dot = std::strrchr(slash ? slash : path, '.');
  if (dot)
    for (const auto& e : extensions)
      if (strcasecmp(dot + 1, e.ext) == 0) return vil_save(view, path, e.format);
  std::string* const redirected = vil_error_redirect(nullptr);
  vil_error_redirect(redirected);
  if (!redirected) std::cerr << "vil_save: assuming pnm format for '" << path << "'\n";
  return vil_save(view, path, "pnm");
}

bool vil_save(const vil_image_view_base& view, const char* path, std::string* why)
{
  if (!why) return vil_save(view, path);
  why->clear();
  std::string* const was = vil_error_redirect(why);
  const bool ok = vil_save(view, path);
  vil_error_redirect(was);
  if (!ok && why->empty()) *why = "cannot be written";
  return ok;
}

bool vil_save(const vil_image_view_base& view, const char* path, const char* file_format)
{
  if (!path || !*path) return vil_save_fail("", "no file name given");
  write_fn write = nullptr;
  for (const auto& ff : formats)
    if (file_format && std::strcmp(file_format, ff.name) == 0) write = ff.write;
  if (!write)
    return vil_save_fail(path, std::string("unknown file format \"") + (file_format ? file_format : "") + '"');

  // The whole file or none; links followed, devices written in place.
  vul_save_file out(path);
  if (!out.open()) return vil_save_fail(path, out.error());
  if (!write(path, out.file(), view)) return false;
  if (!out.commit()) return vil_save_fail(path, out.error());
  return true;
}

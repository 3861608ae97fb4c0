#include <vil/vil_save.h>

#include <cstring>
#include <iostream>
#include <string>
#include <strings.h>
#include <vil/file_formats/vil_png.h>
#include <vil/file_formats/vil_pnm.h>

bool vil_save(const vil_image_view_base& view, const char* path)
{
  const char* dot = path ? std::strrchr(path, '.') : nullptr;
  const bool png = dot && strcasecmp(dot, ".png") == 0;
  return vil_save(view, path, png ? "png" : "pnm");
}

bool vil_save(const vil_image_view_base& view, const char* path, const char* file_format)
{
  if (!path || !*path) {
    std::cerr << "vil_save: no file name given\n";
    return false;
  }
  const std::string fmt = file_format ? file_format : "";
  if (fmt == "png") return vil_png_write(path, view);
  if (fmt == "pnm" || fmt == "pgm" || fmt == "ppm" || fmt == "pbm") return vil_pnm_write(path, view);
  std::cerr << "vil_save: " << path << ": unknown file format \"" << fmt << "\"\n";
  return false;
}

#include <vil/vil_save_support.h>

#include <vil/vil_load_support.h>

bool vil_save_fail(const char* path, const std::string& reason)
{
  vil_error_line("vil_save", path, reason.c_str());
  return false;
}

bool vil_save_refuse(const char* path, const vil_image_view_base& view, const char* format,
                     const char* what)
{
  return vil_save_fail(path, std::string(format) + " takes " + what + ", not " + view.is_a() +
                                 " with " + std::to_string(view.nplanes()) + " planes");
}

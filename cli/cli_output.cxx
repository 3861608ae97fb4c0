#include <cli/cli_output.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vil/vil_save.h>
#include <vul/vul_save_file.h>

namespace
{
namespace fs = std::filesystem;

bool make_folder_above(const std::string& path, std::string& error)
{
  const fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path() && !fs::is_directory(target.parent_path(), ec)) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      error = "cannot make its folder: " + ec.message();
      return false;
    }
  }
  return true;
}
}  // namespace

std::string cli_expand_name(const std::string& name, const std::string& image_path, unsigned index,
                            unsigned count)
{
  const std::string base = fs::path(image_path).stem().string();
  std::string number = std::to_string(index);
  number.insert(0, std::to_string(count).size() - std::min(number.size(), std::to_string(count).size()), '0');
  std::string out;
  for (std::size_t k = 0; k < name.size(); ++k) {
    const char c = k + 1 < name.size() && name[k] == '%' ? name[k + 1] : 0;
    if (c == 'n' || c == '%' || (c == 'i' && index > 0)) {
      out += c == 'n' ? base : c == 'i' ? number : "%";
      ++k;
    } else {
      out += name[k];
    }
  }
  return out;
}

bool cli_name_has_image(const std::string& name)
{
  return cli_expand_name(name, "a") != cli_expand_name(name, "b");
}

bool cli_name_has_frame(const std::string& name)
{
  return cli_expand_name(name, "a", 1, 2) != cli_expand_name(name, "a", 2, 2);
}

bool cli_save_image(const std::string& path, const vil_image_view_base& view, std::string& error)
{
  return make_folder_above(path, error) && vil_save(view, path.c_str(), &error);
}

bool cli_write_text(const std::string& path, const std::string& text, std::string& error)
{
  return make_folder_above(path, error) && vul_save_file::write(path, text, error);
}

bool cli_write_points(const std::string& path, const snake_points_record& r, std::string& error)
{
  return make_folder_above(path, error) && write_snake_points(path, r, error);
}

bool cli_write_standard_output(const std::string& text, std::string& error)
{
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
    return true;
  error = errno ? std::strerror(errno) : "write failed";
  std::clearerr(stdout);
  return false;
}

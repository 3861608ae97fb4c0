#include <vul/vul_file.h>

#include <sys/stat.h>

bool vul_file::exists(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool vul_file::is_directory(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

unsigned long vul_file::size(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<unsigned long>(st.st_size) : 0UL;
}

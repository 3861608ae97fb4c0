#ifndef vul_file_h_
#define vul_file_h_
// Questions about files on disk.
#include <string>

struct vul_file
{
  // True when something (a file or a directory) exists at the path.
  static bool exists(const std::string& path);
  static bool is_directory(const std::string& path);
  // Size in bytes of a regular file, 0 when it cannot be read.
  static unsigned long size(const std::string& path);
};

#endif

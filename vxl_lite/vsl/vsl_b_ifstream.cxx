#include <vsl/vsl_b_ifstream.h>

vsl_b_ifstream::vsl_b_ifstream(const std::string& filename, std::ios::openmode mode)
  : vsl_b_ifstream(filename.c_str(), mode)
{
}

vsl_b_ifstream::vsl_b_ifstream(const char* filename, std::ios::openmode mode)
  : file_(filename, mode | std::ios::in | std::ios::binary)
{
  attach(&file_);
}

void vsl_b_ifstream::close()
{
  if (file_.is_open()) file_.close();
}

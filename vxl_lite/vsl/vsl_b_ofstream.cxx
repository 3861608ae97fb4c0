#include <vsl/vsl_b_ofstream.h>

vsl_b_ofstream::vsl_b_ofstream(const std::string& filename, std::ios::openmode mode)
  : vsl_b_ofstream(filename.c_str(), mode)
{
}

vsl_b_ofstream::vsl_b_ofstream(const char* filename, std::ios::openmode mode)
  : file_(filename, mode | std::ios::out | std::ios::binary)
{
  // The header goes out even to a failed stream; it then simply stays bad.
  attach(&file_);
}

void vsl_b_ofstream::close()
{
  if (file_.is_open()) file_.close();
}

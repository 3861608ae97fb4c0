#ifndef vsl_b_ifstream_h_
#define vsl_b_ifstream_h_
// A vsl binary input stream that reads a file it opens itself.
#include <fstream>
#include <string>
#include <vsl/vsl_b_istream.h>

class vsl_b_ifstream : public vsl_b_istream
{
 public:
  // Opens the file and reads its header; check with operator! afterwards.
  explicit vsl_b_ifstream(const std::string& filename, std::ios::openmode mode = std::ios::in);
  explicit vsl_b_ifstream(const char* filename, std::ios::openmode mode = std::ios::in);
  ~vsl_b_ifstream() override = default;

  void close();

 private:
  std::ifstream file_;
};

#endif

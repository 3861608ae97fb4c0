#ifndef vsl_b_ofstream_h_
#define vsl_b_ofstream_h_
// A vsl binary output stream that writes a file it opens itself.
#include <fstream>
#include <string>
#include <vsl/vsl_b_ostream.h>

class vsl_b_ofstream : public vsl_b_ostream
{
 public:
  // Opens (and by default truncates) the file; check with operator! afterwards.
  explicit vsl_b_ofstream(const std::string& filename,
                          std::ios::openmode mode = std::ios::out | std::ios::trunc);
  explicit vsl_b_ofstream(const char* filename,
                          std::ios::openmode mode = std::ios::out | std::ios::trunc);
  ~vsl_b_ofstream() override = default;

  // Flushes and closes the file.
  void close();

 private:
  std::ofstream file_;
};

#endif

#ifndef tessaly_tests_support_file_bytes_h_
#define tessaly_tests_support_file_bytes_h_
// Whole files as bytes: read into any container of chars or bytes (empty
// when the file cannot be read), and written from one, or from text.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

template <class Bytes = std::string>
Bytes read_file(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const void* data, std::size_t n)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), std::streamsize(n));
}

template <class Bytes>
void write_file(const std::string& path, const Bytes& data)
{
  write_file(path, data.data(), data.size());
}

inline void write_file(const std::string& path, const char* text) { write_file(path, text, std::strlen(text)); }

#endif

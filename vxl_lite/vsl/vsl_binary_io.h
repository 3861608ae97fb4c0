#ifndef vsl_binary_io_h_
#define vsl_binary_io_h_
// vsl binary streams and the writers and readers of the built-in types.
//
// Integers of every width use the variable-length code of
// vsl_binary_explicit_io.h; bool is one byte (ff/00); the char types are one
// raw byte; float and double are raw little-endian IEEE values; a string is
// its length as a signed integer followed by its characters.
//
// Every reader leaves its target untouched when the stream is already bad or
// the read fails; a failure is reported on std::cerr and makes the stream bad.
#include <cstddef>
#include <ostream>
#include <string>
#include <vsl/vsl_b_ifstream.h>
#include <vsl/vsl_b_istream.h>
#include <vsl/vsl_b_ofstream.h>
#include <vsl/vsl_b_ostream.h>
#include <vxl_config.h>

void vsl_b_write(vsl_b_ostream& os, bool b);
void vsl_b_write(vsl_b_ostream& os, char n);
void vsl_b_write(vsl_b_ostream& os, signed char n);
void vsl_b_write(vsl_b_ostream& os, unsigned char n);
void vsl_b_write(vsl_b_ostream& os, short n);
void vsl_b_write(vsl_b_ostream& os, unsigned short n);
void vsl_b_write(vsl_b_ostream& os, int n);
void vsl_b_write(vsl_b_ostream& os, unsigned int n);
void vsl_b_write(vsl_b_ostream& os, long n);
void vsl_b_write(vsl_b_ostream& os, unsigned long n);
void vsl_b_write(vsl_b_ostream& os, long long n);
void vsl_b_write(vsl_b_ostream& os, unsigned long long n);
void vsl_b_write(vsl_b_ostream& os, float n);
void vsl_b_write(vsl_b_ostream& os, double n);
void vsl_b_write(vsl_b_ostream& os, const std::string& s);
// Writes the characters and the terminating NUL, without a length.
void vsl_b_write(vsl_b_ostream& os, const char* s);

void vsl_b_read(vsl_b_istream& is, bool& b);
void vsl_b_read(vsl_b_istream& is, char& n);
void vsl_b_read(vsl_b_istream& is, signed char& n);
void vsl_b_read(vsl_b_istream& is, unsigned char& n);
void vsl_b_read(vsl_b_istream& is, short& n);
void vsl_b_read(vsl_b_istream& is, unsigned short& n);
void vsl_b_read(vsl_b_istream& is, int& n);
void vsl_b_read(vsl_b_istream& is, unsigned int& n);
void vsl_b_read(vsl_b_istream& is, long& n);
void vsl_b_read(vsl_b_istream& is, unsigned long& n);
void vsl_b_read(vsl_b_istream& is, long long& n);
void vsl_b_read(vsl_b_istream& is, unsigned long long& n);
void vsl_b_read(vsl_b_istream& is, float& n);
void vsl_b_read(vsl_b_istream& is, double& n);
void vsl_b_read(vsl_b_istream& is, std::string& s);

// Reads a NUL-terminated string (as written from a const char*) into s,
// which holds capacity bytes including the NUL.  A longer string is an error
// and leaves s empty, so the buffer can never overflow.
void vsl_b_read(vsl_b_istream& is, char* s, std::size_t capacity);
template <std::size_t N>
inline void vsl_b_read(vsl_b_istream& is, char (&s)[N])
{
  vsl_b_read(is, s, N);
}

void vsl_print_summary(std::ostream& os, bool b);
void vsl_print_summary(std::ostream& os, char n);
void vsl_print_summary(std::ostream& os, signed char n);
void vsl_print_summary(std::ostream& os, unsigned char n);
void vsl_print_summary(std::ostream& os, short n);
void vsl_print_summary(std::ostream& os, unsigned short n);
void vsl_print_summary(std::ostream& os, int n);
void vsl_print_summary(std::ostream& os, unsigned int n);
void vsl_print_summary(std::ostream& os, long n);
void vsl_print_summary(std::ostream& os, unsigned long n);
void vsl_print_summary(std::ostream& os, long long n);
void vsl_print_summary(std::ostream& os, unsigned long long n);
void vsl_print_summary(std::ostream& os, float n);
void vsl_print_summary(std::ostream& os, double n);
void vsl_print_summary(std::ostream& os, const std::string& s);
void vsl_print_summary(std::ostream& os, const char* s);

#endif

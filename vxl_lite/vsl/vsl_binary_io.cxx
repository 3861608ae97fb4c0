#include <vsl/vsl_binary_io.h>
#include <cstdint>
#include <cstring>
#include <vsl/vsl_binary_explicit_io.h>

namespace
{
template <class T>
void write_int(vsl_b_ostream& os, T n)
{
  unsigned char buf[VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(sizeof(T))];
  const std::size_t len = vsl_encode_arbitrary_int(n, buf);
  os.os().write(reinterpret_cast<const char*>(buf), static_cast<std::streamsize>(len));
}

// Reads byte by byte up to the terminating byte so nothing past the number is consumed.
template <class T>
void read_int(vsl_b_istream& is, T& n, const char* reader)
{
  if (!is) return;
  unsigned char buf[VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(sizeof(T))];
  std::size_t len = 0;
  do {
    if (len == sizeof buf) {
      is.report_error(reader, "Integer longer than its type allows");
      return;
    }
    if (!is.read_byte(buf[len], reader)) return;
  } while (!(buf[len++] & 0x80));
  T value;
  if (vsl_decode_arbitrary_int(buf, len, value) != len) {
    is.report_error(reader, "Integer value out of range for its type");
    return;
  }
  n = value;
}

template <class U>
void write_le(vsl_b_ostream& os, U bits)
{
  unsigned char b[sizeof(U)];
  for (std::size_t i = 0; i < sizeof(U); ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
  os.os().write(reinterpret_cast<const char*>(b), sizeof b);
}

template <class U>
bool read_le(vsl_b_istream& is, U& bits, const char* reader)
{
  if (!is) return false;
  unsigned char b[sizeof(U)];
  if (!is.read_bytes(b, sizeof b, reader)) return false;
  bits = 0;
  for (std::size_t i = 0; i < sizeof(U); ++i) bits |= static_cast<U>(b[i]) << (8 * i);
  return true;
}

template <class T>
void read_raw_byte(vsl_b_istream& is, T& n, const char* reader)
{
  if (!is) return;
  unsigned char b;
  if (is.read_byte(b, reader)) n = static_cast<T>(b);
}
} // namespace

void vsl_b_write(vsl_b_ostream& os, bool b) { os.os().put(b ? '\xff' : '\0'); }
void vsl_b_write(vsl_b_ostream& os, char n) { os.os().put(n); }
void vsl_b_write(vsl_b_ostream& os, signed char n) { os.os().put(static_cast<char>(n)); }
void vsl_b_write(vsl_b_ostream& os, unsigned char n) { os.os().put(static_cast<char>(n)); }
void vsl_b_write(vsl_b_ostream& os, short n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, unsigned short n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, int n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, unsigned int n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, long n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, unsigned long n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, long long n) { write_int(os, n); }
void vsl_b_write(vsl_b_ostream& os, unsigned long long n) { write_int(os, n); }

void vsl_b_write(vsl_b_ostream& os, float n)
{
  std::uint32_t bits;
  std::memcpy(&bits, &n, sizeof bits);
  write_le(os, bits);
}

void vsl_b_write(vsl_b_ostream& os, double n)
{
  std::uint64_t bits;
  std::memcpy(&bits, &n, sizeof bits);
  write_le(os, bits);
}

void vsl_b_write(vsl_b_ostream& os, const std::string& s)
{
  // The full length as a signed number: the same bytes VXL writes up to
  // 32767 characters, and no silent truncation beyond.
  write_int(os, static_cast<long long>(s.size()));
  os.os().write(s.data(), static_cast<std::streamsize>(s.size()));
}

void vsl_b_write(vsl_b_ostream& os, const char* s)
{
  if (s == nullptr) s = "";
  os.os().write(s, static_cast<std::streamsize>(std::strlen(s) + 1));
}

void vsl_b_read(vsl_b_istream& is, bool& b)
{
  if (!is) return;
  unsigned char c;
  if (is.read_byte(c, "vsl_b_read(vsl_b_istream&, bool&)")) b = c != 0;
}

void vsl_b_read(vsl_b_istream& is, char& n) { read_raw_byte(is, n, "vsl_b_read(vsl_b_istream&, char&)"); }
void vsl_b_read(vsl_b_istream& is, signed char& n)
{
  read_raw_byte(is, n, "vsl_b_read(vsl_b_istream&, signed char&)");
}
void vsl_b_read(vsl_b_istream& is, unsigned char& n)
{
  read_raw_byte(is, n, "vsl_b_read(vsl_b_istream&, unsigned char&)");
}
void vsl_b_read(vsl_b_istream& is, short& n) { read_int(is, n, "vsl_b_read(vsl_b_istream&, short&)"); }
void vsl_b_read(vsl_b_istream& is, unsigned short& n)
{
  read_int(is, n, "vsl_b_read(vsl_b_istream&, unsigned short&)");
}
void vsl_b_read(vsl_b_istream& is, int& n) { read_int(is, n, "vsl_b_read(vsl_b_istream&, int&)"); }
void vsl_b_read(vsl_b_istream& is, unsigned int& n)
{
  read_int(is, n, "vsl_b_read(vsl_b_istream&, unsigned int&)");
}
void vsl_b_read(vsl_b_istream& is, long& n) { read_int(is, n, "vsl_b_read(vsl_b_istream&, long&)"); }
void vsl_b_read(vsl_b_istream& is, unsigned long& n)
{
  read_int(is, n, "vsl_b_read(vsl_b_istream&, unsigned long&)");
}
void vsl_b_read(vsl_b_istream& is, long long& n)
{
  read_int(is, n, "vsl_b_read(vsl_b_istream&, long long&)");
}
void vsl_b_read(vsl_b_istream& is, unsigned long long& n)
{
  read_int(is, n, "vsl_b_read(vsl_b_istream&, unsigned long long&)");
}

void vsl_b_read(vsl_b_istream& is, float& n)
{
  std::uint32_t bits;
  if (read_le(is, bits, "vsl_b_read(vsl_b_istream&, float&)")) std::memcpy(&n, &bits, sizeof n);
}

void vsl_b_read(vsl_b_istream& is, double& n)
{
  std::uint64_t bits;
  if (read_le(is, bits, "vsl_b_read(vsl_b_istream&, double&)")) std::memcpy(&n, &bits, sizeof n);
}

void vsl_b_read(vsl_b_istream& is, std::string& s)
{
  static const char* const reader = "vsl_b_read(vsl_b_istream&, std::string&)";
  if (!is) return;
  // Written signed but read back unsigned, as VXL does: any non-negative
  // length reads the same either way, and the bytes VXL's short gives a
  // long string (c0-ff alone, 3f ff) count 64-127 and 16319 characters.
  std::size_t len = 0;
  read_int(is, len, reader);
  if (!is) return;
  if (!is.may_hold(len)) {
    is.report_error(reader, "String length " + std::to_string(len) + " exceeds the bytes left in the stream");
    return;
  }
  std::string tmp;
  if (is.size_known()) {
    tmp.resize(len);
    if (len && !is.read_bytes(&tmp[0], len, reader)) return;
  } else {
    // Unknown stream size: grow with the data so a false length cannot
    // make us allocate much.
    char chunk[4096];
    for (std::size_t left = len; left > 0;) {
      const std::size_t n = left < sizeof chunk ? left : sizeof chunk;
      if (!is.read_bytes(chunk, n, reader)) return;
      tmp.append(chunk, n);
      left -= n;
    }
  }
  s.swap(tmp);
}

void vsl_b_read(vsl_b_istream& is, char* s, std::size_t capacity)
{
  static const char* const reader = "vsl_b_read(vsl_b_istream&, char*)";
  if (!is || capacity == 0) return;
  std::size_t k = 0;
  for (;;) {
    unsigned char c;
    if (!is.read_byte(c, reader)) break;
    if (c == 0) {
      s[k] = '\0';
      return;
    }
    if (k + 1 == capacity) {
      is.report_error(reader, "C string longer than the buffer of " + std::to_string(capacity) + " bytes");
      break;
    }
    s[k++] = static_cast<char>(c);
  }
  s[0] = '\0';
}

void vsl_print_summary(std::ostream& os, bool b) { os << b; }
void vsl_print_summary(std::ostream& os, char n) { os << n; }
void vsl_print_summary(std::ostream& os, signed char n) { os << n; }
void vsl_print_summary(std::ostream& os, unsigned char n) { os << n; }
void vsl_print_summary(std::ostream& os, short n) { os << n; }
void vsl_print_summary(std::ostream& os, unsigned short n) { os << n; }
void vsl_print_summary(std::ostream& os, int n) { os << n; }
void vsl_print_summary(std::ostream& os, unsigned int n) { os << n; }
void vsl_print_summary(std::ostream& os, long n) { os << n; }
void vsl_print_summary(std::ostream& os, unsigned long n) { os << n; }
void vsl_print_summary(std::ostream& os, long long n) { os << n; }
void vsl_print_summary(std::ostream& os, unsigned long long n) { os << n; }
void vsl_print_summary(std::ostream& os, float n) { os << n; }
void vsl_print_summary(std::ostream& os, double n) { os << n; }
void vsl_print_summary(std::ostream& os, const std::string& s) { os << s; }
void vsl_print_summary(std::ostream& os, const char* s) { os << (s ? s : ""); }

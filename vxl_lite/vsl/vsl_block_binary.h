#ifndef vsl_block_binary_h_
#define vsl_block_binary_h_
// Blocks of elements, the body of vsl's vector layouts:
//  - float, double: flag true, then the raw little-endian values;
//  - the char types: flag true, then the raw bytes (but see old_chars);
//  - other integers: flag true, the byte count of the packed data as an
//    unsigned integer, then the values in the variable-length code;
//  - anything else: flag false, then each element through its vsl_b_write.
// Readers never trust a count: storage grows only as far as the stream can
// back it, and a flag, byte count or element that does not match is an error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>
#include <vsl/vsl_binary_explicit_io.h>
#include <vsl/vsl_binary_io.h>

namespace vsl_block_detail
{
enum kind { by_element, raw_float, raw_byte, packed_int };

template <class T>
constexpr kind kind_of()
{
  if (std::is_same<T, float>::value || std::is_same<T, double>::value) return raw_float;
  if (std::is_same<T, char>::value || std::is_same<T, signed char>::value ||
      std::is_same<T, unsigned char>::value)
    return raw_byte;
  if (std::is_integral<T>::value && !std::is_same<T, bool>::value) return packed_int;
  return by_element;
}

// Elements read in one step from a stream whose size is unknown.
const std::size_t chunk_bytes = 1 << 16;

inline bool little_endian()
{
  const std::uint16_t probe = 1;
  unsigned char b;
  std::memcpy(&b, &probe, 1);
  return b == 1;
}

template <class T>
void write_raw(vsl_b_ostream& os, const T* begin, std::size_t n)
{
  if (sizeof(T) == 1 || little_endian()) {
    os.os().write(reinterpret_cast<const char*>(begin), static_cast<std::streamsize>(n * sizeof(T)));
    return;
  }
  for (std::size_t i = 0; i < n; ++i) vsl_b_write(os, begin[i]);
}

// Appends n raw values to out, in chunks unless the stream's size is known.
template <class T>
bool read_raw(vsl_b_istream& is, std::vector<T>& out, std::size_t n, const char* reader)
{
  if (n > SIZE_MAX / sizeof(T) || !is.may_hold(static_cast<std::uint64_t>(n) * sizeof(T))) {
    is.report_error(reader, "Block of " + std::to_string(n) + " elements exceeds the bytes left in the stream");
    return false;
  }
  const std::size_t step = is.size_known() ? n : std::max<std::size_t>(1, chunk_bytes / sizeof(T));
  for (std::size_t done = 0; done < n;) {
    const std::size_t k = std::min(step, n - done);
    out.resize(done + k);
    if (sizeof(T) == 1 || little_endian()) {
      if (!is.read_bytes(out.data() + done, k * sizeof(T), reader)) return false;
    } else {
      for (std::size_t i = 0; i < k; ++i) {
        vsl_b_read(is, out[done + i]);
        if (!is) return false;
      }
    }
    done += k;
  }
  return true;
}

template <class T>
void write_packed(vsl_b_ostream& os, const T* begin, std::size_t n)
{
  std::vector<unsigned char> buf(std::min<std::size_t>(n, chunk_bytes) * 2 + 16);
  std::size_t used = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (used + VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(sizeof(T)) > buf.size()) buf.resize(buf.size() * 2);
    used += vsl_encode_arbitrary_int(begin[i], buf.data() + used);
  }
  vsl_b_write(os, static_cast<std::size_t>(used));
  os.os().write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(used));
}

// Reads the byte count and n packed integers, decoding chunk by chunk.
template <class T>
bool read_packed(vsl_b_istream& is, std::vector<T>& out, std::size_t n, const char* reader)
{
  const std::size_t max_len = VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(sizeof(T));
  std::size_t nbytes = 0;
  vsl_b_read(is, nbytes);
  if (!is) return false;
  if (nbytes < n || nbytes / max_len > n || (nbytes / max_len == n && nbytes % max_len != 0)) {
    is.report_error(reader, "Packed byte count " + std::to_string(nbytes) + " does not fit " +
                                std::to_string(n) + " integers");
    return false;
  }
  if (!is.may_hold(nbytes)) {
    is.report_error(reader, "Packed block of " + std::to_string(nbytes) + " bytes exceeds the bytes left in the stream");
    return false;
  }
  if (is.size_known()) out.reserve(n);
  std::vector<unsigned char> buf(std::min(nbytes, chunk_bytes));
  std::size_t have = 0, unread = nbytes;
  while (out.size() < n) {
    const std::size_t k = std::min(buf.size() - have, unread);
    if (k == 0) break;  // out of bytes before out of numbers
    if (!is.read_bytes(buf.data() + have, k, reader)) return false;
    have += k;
    unread -= k;
    std::size_t pos = 0;
    while (out.size() < n && pos < have) {
      const unsigned char* end = std::find_if(buf.data() + pos, buf.data() + have,
                                              [](unsigned char b) { return (b & 0x80) != 0; });
      if (end == buf.data() + have) {
        if (have - pos >= max_len || unread == 0) pos = have + 1;  // malformed; flagged below
        break;
      }
      T v = 0;
      const std::size_t used = vsl_decode_arbitrary_int(buf.data() + pos, have - pos, v);
      if (used == 0) {
        pos = have + 1;
        break;
      }
      out.push_back(v);
      pos += used;
    }
    if (pos > have) break;
    std::memmove(buf.data(), buf.data() + pos, have - pos);
    have -= pos;
  }
  if (out.size() != n || have != 0 || unread != 0) {
    is.report_error(reader, "Malformed packed integers in a block of " + std::to_string(nbytes) + " bytes");
    return false;
  }
  return true;
}

// old_chars: the layout inside a version-2 vector, where the char types
// still carry the by-element flag (their bytes are the same either way).
// Files from earlier tessaly builds have the raw flag there, so the reader
// takes both.
template <class T>
void write_block(vsl_b_ostream& os, const T* begin, std::size_t n, bool old_chars)
{
  constexpr kind k = kind_of<T>();
  vsl_b_write(os, k != by_element && !(k == raw_byte && old_chars));
  if constexpr (k == raw_float || k == raw_byte)
    write_raw(os, begin, n);
  else if constexpr (k == packed_int)
    write_packed(os, begin, n);
  else
    for (std::size_t i = 0; i < n; ++i) vsl_b_write(os, begin[i]);
}

template <class T>
bool read_block(vsl_b_istream& is, std::vector<T>& out, std::size_t n, const char* reader,
                bool old_chars)
{
  if (!is) return false;
  constexpr kind k = kind_of<T>();
  bool flag = false;
  vsl_b_read(is, flag);
  if (!is) return false;
  if (flag != (k != by_element) && !(k == raw_byte && old_chars)) {
    is.report_error(reader, std::string("Unexpected block flag: expected ") + (flag ? "false" : "true"));
    return false;
  }
  std::vector<T> tmp;
  if constexpr (k == raw_float || k == raw_byte) {
    if (!read_raw(is, tmp, n, reader)) return false;
  } else if constexpr (k == packed_int) {
    if (!read_packed(is, tmp, n, reader)) return false;
  } else {
    // Every element record takes at least one byte.
    if (!is.may_hold(n)) {
      is.report_error(reader, "Block of " + std::to_string(n) + " elements exceeds the bytes left in the stream");
      return false;
    }
    if (is.size_known()) tmp.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      T elem{};
      vsl_b_read(is, elem);
      if (!is) return false;
      tmp.push_back(std::move(elem));
    }
  }
  out.swap(tmp);
  return true;
}
} // namespace vsl_block_detail

// Writes n elements starting at begin as one block.
template <class T>
void vsl_block_binary_write(vsl_b_ostream& os, const T* begin, std::size_t n)
{
  vsl_block_detail::write_block(os, begin, n, false);
}

// Reads a block of n elements into out, replacing its content only when the
// whole block was read.  Returns false (stream bad, out unchanged) on failure.
template <class T>
bool vsl_block_binary_read(vsl_b_istream& is, std::vector<T>& out, std::size_t n,
                           const char* reader = "vsl_block_binary_read()")
{
  return vsl_block_detail::read_block(is, out, n, reader, false);
}

// Reads a block of n elements into the n elements starting at begin; on
// failure they keep their old values.
template <class T>
void vsl_block_binary_read(vsl_b_istream& is, T* begin, std::size_t n)
{
  std::vector<T> tmp;
  if (vsl_block_binary_read(is, tmp, n)) std::copy(tmp.begin(), tmp.end(), begin);
}

#endif

#ifndef vsl_binary_explicit_io_h_
#define vsl_binary_explicit_io_h_
// vsl's variable-length integer code: 7 bits a byte, least significant group
// first, the top bit (0x80) set only in the last byte of a number.  Signed
// values are written in two's complement with the sign in bit 6 of the last
// byte.  The bytes depend on the value and its signedness, never on its width.
#include <cstddef>
#include <limits>
#include <type_traits>
#include <vsl/vsl_binary_io.h>

// Most bytes an integer of size_of_type bytes can take.
#define VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(size_of_type) ((((size_of_type) * 8) + 6) / 7)

// Encodes value into out (room for VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH bytes);
// returns the number of bytes written.
template <class T>
inline std::size_t vsl_encode_arbitrary_int(T value, unsigned char* out)
{
  static_assert(std::is_integral<T>::value && !std::is_same<T, bool>::value, "integer types only");
  std::size_t k = 0;
  if constexpr (std::is_signed<T>::value) {
    long long v = value;
    while (v > 63 || v < -64) {
      out[k++] = static_cast<unsigned char>(v & 0x7f);
      v >>= 7;  // arithmetic: keeps the sign
    }
    out[k++] = static_cast<unsigned char>((v & 0x7f) | 0x80);
  } else {
    unsigned long long v = value;
    while (v > 127) {
      out[k++] = static_cast<unsigned char>(v & 0x7f);
      v >>= 7;
    }
    out[k++] = static_cast<unsigned char>(v | 0x80);
  }
  return k;
}

// Encodes count integers back to back; returns the bytes written.
template <class T>
inline std::size_t vsl_convert_to_arbitrary_length(const T* ints, unsigned char* buffer,
                                                   std::size_t count = 1)
{
  std::size_t k = 0;
  for (std::size_t i = 0; i < count; ++i) k += vsl_encode_arbitrary_int(ints[i], buffer + k);
  return k;
}

// Decodes one integer from the avail bytes at in.  Returns the bytes used, or
// 0 (value untouched) when the bytes end before the number does, the number is
// longer than T allows, or its value does not fit T.
template <class T>
inline std::size_t vsl_decode_arbitrary_int(const unsigned char* in, std::size_t avail, T& value)
{
  static_assert(std::is_integral<T>::value && !std::is_same<T, bool>::value, "integer types only");
  __extension__ typedef unsigned __int128 u128;
  __extension__ typedef __int128 s128;
  const std::size_t max_len = VSL_MAX_ARBITRARY_INT_BUFFER_LENGTH(sizeof(T));
  u128 acc = 0;  // at most 70 bits for a 64-bit type
  unsigned shift = 0;
  std::size_t k = 0;
  for (;;) {
    if (k == avail || k == max_len) return 0;
    const unsigned char b = in[k++];
    acc |= static_cast<u128>(b & 0x7f) << shift;
    shift += 7;
    if (b & 0x80) break;
  }
  if constexpr (std::is_signed<T>::value) {
    if ((acc >> (shift - 1)) & 1) acc |= ~static_cast<u128>(0) << shift;  // extend the sign
    const s128 v = static_cast<s128>(acc);
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return 0;
    value = static_cast<T>(v);
  } else {
    if (acc > std::numeric_limits<T>::max()) return 0;
    value = static_cast<T>(acc);
  }
  return k;
}

// Decodes count integers from the buffer_len bytes at buffer.  Returns the
// bytes used, or 0 if any number is malformed, out of range or cut short.
template <class T>
inline std::size_t vsl_convert_from_arbitrary_length(const unsigned char* buffer,
                                                     std::size_t buffer_len, T* ints,
                                                     std::size_t count = 1)
{
  std::size_t k = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t used = vsl_decode_arbitrary_int(buffer + k, buffer_len - k, ints[i]);
    if (used == 0) return 0;
    k += used;
  }
  return k;
}

#endif

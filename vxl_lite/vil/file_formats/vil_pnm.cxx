#include <vil/file_formats/vil_pnm.h>

#include <cstring>
#include <string>
#include <vector>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>

namespace
{
bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Skips white space and '#' comments up to the next token; returns its
// first character (EOF at the end).
int next_token_start(std::FILE* f)
{
  for (;;) {
    int c = std::getc(f);
    if (c == '#') {
      while (c != EOF && c != '\n' && c != '\r') c = std::getc(f);
      if (c == EOF) return EOF;
      continue;
    }
    if (!is_space(c)) return c;
  }
}

// A decimal number of at most 10 digits not above limit; false if there is
// none, it is too big, or the file ends.
bool read_number(std::FILE* f, unsigned long long limit, unsigned long long& value)
{
  int c = next_token_start(f);
  if (c < '0' || c > '9') return false;
  value = 0;
  int digits = 0;
  while (c >= '0' && c <= '9') {
    if (++digits > 10) return false;
    value = value * 10 + unsigned(c - '0');
    c = std::getc(f);
  }
  if (c != EOF && !is_space(c) && c != '#') return false;
  if (c == '#') std::ungetc(c, f);
  return value <= limit;
}

template <class T>
vil_image_view_base_sptr read_plain(const char* path, std::FILE* f, unsigned ni, unsigned nj,
                                    unsigned np, unsigned long long maxval, bool bits)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  T* px = view.top_left_ptr();
  const std::size_t n = std::size_t(ni) * nj * np;
  for (std::size_t k = 0; k < n; ++k) {
    if (bits) {  // plain PBM digits need no separators
      const int c = next_token_start(f);
      if (c != '0' && c != '1') return vil_load_fail(path, "bad or missing PBM sample");
      px[k] = T(c == '1');
      continue;
    }
    unsigned long long v;
    if (!read_number(f, maxval, v)) return vil_load_fail(path, "bad, missing or too large sample");
    px[k] = T(v);
  }
  return vil_load_result(view);
}

template <class T>
vil_image_view_base_sptr read_raw(const char* path, std::FILE* f, unsigned ni, unsigned nj,
                                  unsigned np, unsigned long long maxval)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  const std::size_t n = std::size_t(ni) * nj * np;
  if (sizeof(T) == 1) {
    if (!vil_load_read_exact(f, view.top_left_ptr(), n)) return vil_load_fail(path, "file is truncated");
  } else {
    // Big-endian 16-bit samples, a row at a time.
    std::vector<unsigned char> row(std::size_t(ni) * np * 2);
    for (unsigned j = 0; j < nj; ++j) {
      if (!vil_load_read_exact(f, row.data(), row.size())) return vil_load_fail(path, "file is truncated");
      T* d = view.top_left_ptr() + std::size_t(j) * view.jstep();
      for (std::size_t k = 0; k < std::size_t(ni) * np; ++k) d[k] = T((row[2 * k] << 8) | row[2 * k + 1]);
    }
  }
  // A maxval of the type's own largest value admits every sample.
  const T* px = view.top_left_ptr();
  if (maxval < T(~T(0)))
    for (std::size_t k = 0; k < n; ++k)
      if (px[k] > maxval) return vil_load_fail(path, "sample above maxval");
  return vil_load_result(view);
}

vil_image_view_base_sptr read_raw_bits(const char* path, std::FILE* f, unsigned ni, unsigned nj)
{
  vil_image_view<bool> view = vil_load_interleaved_view<bool>(ni, nj, 1);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<unsigned char> row((std::size_t(ni) + 7) / 8);
  for (unsigned j = 0; j < nj; ++j) {
    if (!vil_load_read_exact(f, row.data(), row.size())) return vil_load_fail(path, "file is truncated");
    bool* d = view.top_left_ptr() + std::size_t(j) * view.jstep();
    for (unsigned i = 0; i < ni; ++i) d[i] = (row[i >> 3] >> (7 - (i & 7))) & 1;
  }
  return vil_load_result(view);
}
}  // namespace

bool vil_pnm_probe(const unsigned char* h, std::size_t n)
{
  return n >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' && (is_space(h[2]) || h[2] == '#');
}

vil_image_view_base_sptr vil_pnm_read(const char* path, std::FILE* f)
{
  char magic[2];
  if (!vil_load_read_exact(f, magic, 2) || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6')
    return vil_load_fail(path, "not a PNM file");
  const int kind = magic[1] - '0';
  const bool plain = kind <= 3, bits = kind == 1 || kind == 4;
  const unsigned np = (kind == 3 || kind == 6) ? 3 : 1;
  unsigned long long ni, nj, maxval = 1;
  if (!read_number(f, 0xffffffffull, ni) || !read_number(f, 0xffffffffull, nj))
    return vil_load_fail(path, "bad PNM header (width, height)");
  if (!bits && !read_number(f, plain ? 0xffffffffull : 65535ull, maxval))
    return vil_load_fail(path, "bad PNM header (maxval)");
  if (maxval == 0) return vil_load_fail(path, "bad PNM header (maxval 0)");
  // read_number consumed the one separator after the header.
  const unsigned bytes = bits || maxval < 256 ? 1 : maxval < 65536 ? 2 : 4;
  if (!vil_load_size_ok(path, ni, nj, np, bytes)) return vil_image_view_base_sptr();
  // Every sample takes at least one byte of the file (plain PBM digits, a
  // digit of the others, raw samples; raw PBM a bit): a short file is
  // refused before its raster is allocated.
  const unsigned long long samples = ni * nj * np;
  const unsigned long long least = bits && !plain ? (ni + 7) / 8 * nj : plain ? samples : samples * bytes;
  if (vil_load_bytes_left(f) < least) return vil_load_fail(path, "file is truncated");
  if (bits) return plain ? read_plain<bool>(path, f, ni, nj, 1, 1, true) : read_raw_bits(path, f, ni, nj);
  if (plain) {
    if (bytes == 1) return read_plain<vxl_byte>(path, f, ni, nj, np, maxval, false);
    if (bytes == 2) return read_plain<vxl_uint_16>(path, f, ni, nj, np, maxval, false);
    return read_plain<vxl_uint_32>(path, f, ni, nj, np, maxval, false);
  }
  if (bytes == 1) return read_raw<vxl_byte>(path, f, ni, nj, np, maxval);
  return read_raw<vxl_uint_16>(path, f, ni, nj, np, maxval);
}

namespace
{
template <class T>
bool write_samples(std::FILE* f, const vil_image_view<T>& v)
{
  const unsigned np = v.nplanes(), bytes = sizeof(T);
  std::vector<unsigned char> row(std::size_t(v.ni()) * np * bytes);
  for (unsigned j = 0; j < v.nj(); ++j) {
    std::size_t k = 0;
    for (unsigned i = 0; i < v.ni(); ++i)
      for (unsigned p = 0; p < np; ++p) {
        const unsigned s = v(i, j, p);
        if (bytes == 2) row[k++] = (unsigned char)(s >> 8);
        row[k++] = (unsigned char)(s & 0xff);
      }
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return false;
  }
  return true;
}

bool write_bits(std::FILE* f, const vil_image_view<bool>& v)
{
  std::vector<unsigned char> row((std::size_t(v.ni()) + 7) / 8);
  for (unsigned j = 0; j < v.nj(); ++j) {
    std::fill(row.begin(), row.end(), 0);
    for (unsigned i = 0; i < v.ni(); ++i)
      if (v(i, j)) row[i >> 3] |= (unsigned char)(0x80 >> (i & 7));
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return false;
  }
  return true;
}
}  // namespace

bool vil_pnm_write(const char* path, std::FILE* f, const vil_image_view_base& view)
{
  const unsigned np = view.nplanes();
  const vil_pixel_format fmt = view.pixel_format();
  const bool bits = fmt == VIL_PIXEL_FORMAT_BOOL && np == 1;
  const bool samples = (fmt == VIL_PIXEL_FORMAT_BYTE || fmt == VIL_PIXEL_FORMAT_UINT_16) &&
                       (np == 1 || np == 3);
  if (view.size() == 0 || (!bits && !samples))
    return vil_save_refuse(path, view, "PNM", "bool, 8- or 16-bit images of 1 or 3 planes");
  const char* magic = bits ? "P4" : np == 1 ? "P5" : "P6";
  std::string header = std::string(magic) + "\n" + std::to_string(view.ni()) + " " +
                       std::to_string(view.nj()) + "\n";
  if (!bits) header += fmt == VIL_PIXEL_FORMAT_BYTE ? "255\n" : "65535\n";
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  if (ok) {
    if (bits) ok = write_bits(f, static_cast<const vil_image_view<bool>&>(view));
    else if (fmt == VIL_PIXEL_FORMAT_BYTE) ok = write_samples(f, static_cast<const vil_image_view<vxl_byte>&>(view));
    else ok = write_samples(f, static_cast<const vil_image_view<vxl_uint_16>&>(view));
  }
  return ok || vil_save_fail(path, "write failed");
}

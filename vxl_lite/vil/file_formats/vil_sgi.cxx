#include <vil/file_formats/vil_sgi.h>

#include <cstdint>
#include <vector>
#include <vil/vil_load_support.h>

namespace
{
const unsigned header_bytes = 512;
enum { STORAGE_VERBATIM = 0, STORAGE_RLE = 1 };
enum { COLORMAP_ONLY = 3 };

unsigned be16(const unsigned char* p) { return unsigned(p[0]) << 8 | unsigned(p[1]); }
uint32_t be32(const unsigned char* p)
{
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// One sample unit of bpc big-endian bytes.
unsigned unit(const unsigned char* p, unsigned bpc) { return bpc == 1 ? p[0] : be16(p); }

// Expands one run-length scanline of `len` bytes into exactly ni samples.
// A unit's low 7 bits count; with bit 7 set that many units follow as they
// are, otherwise the next unit repeats that often; a count of 0 ends the line.
template <class T>
bool decode_rle_row(const unsigned char* s, std::size_t len, unsigned bpc, T* out, unsigned ni,
                    unsigned step)
{
  const std::size_t units = len / bpc;
  std::size_t in = 0;
  unsigned k = 0;
  while (in < units) {
    const unsigned c = unit(s + in * bpc, bpc);
    ++in;
    const unsigned count = c & 0x7f;
    if (count == 0) break;
    if (count > ni - k) return false;
    if (c & 0x80) {
      if (count > units - in) return false;
      for (unsigned r = 0; r < count; ++r, ++in) out[std::size_t(k++) * step] = T(unit(s + in * bpc, bpc));
    } else {
      if (in >= units) return false;
      const T v = T(unit(s + in * bpc, bpc));
      ++in;
      for (unsigned r = 0; r < count; ++r) out[std::size_t(k++) * step] = v;
    }
  }
  return k == ni;
}

template <class T>
vil_image_view_base_sptr read_pixels(const char* path, std::FILE* f, bool rle, unsigned ni,
                                     unsigned nj, unsigned np)
{
  const unsigned bpc = sizeof(T);
  const std::size_t rows = std::size_t(nj) * np;
  std::vector<unsigned char> line(std::size_t(ni) * bpc);
  // What the file must hold is checked before the image is allocated.
  if (vil_load_bytes_left(f) < rows * (rle ? 8 : line.size())) return vil_load_fail(path, "file is truncated");
  std::vector<unsigned char> tables;
  // A valid run-length line spends at most two units on a sample (a run of
  // one), plus the end mark; anything longer is damage.
  const std::size_t longest = (2 * std::size_t(ni) + 2) * bpc;
  if (rle) {
    // Offset and length tables, one entry per row and channel (channel-major).
    tables.resize(rows * 8);
    if (!vil_load_read_exact(f, tables.data(), tables.size())) return vil_load_fail(path, "file is truncated");
    if (std::fseek(f, 0, SEEK_SET) != 0) return vil_load_fail(path, "cannot seek in file");
    const unsigned long long file_size = vil_load_bytes_left(f);
    for (std::size_t r = 0; r < rows; ++r) {
      const uint32_t start = be32(tables.data() + 4 * r), len = be32(tables.data() + 4 * (rows + r));
      if (len > longest || start < header_bytes || (unsigned long long)start + len > file_size)
        return vil_load_fail(path, "bad SGI run-length table entry");
    }
  }

  vil_image_view<T> view = vil_load_interleaved_view<T>(ni, nj, np);
  // Row y of channel z, counted from the bottom, goes to view row nj - 1 - y.
  auto dest = [&](std::size_t y, std::size_t z) {
    return view.top_left_ptr() + (nj - 1 - y) * std::size_t(view.jstep()) + z;
  };
  if (!rle) {
    for (std::size_t z = 0; z < np; ++z)
      for (std::size_t y = 0; y < nj; ++y) {
        if (!vil_load_read_exact(f, line.data(), line.size())) return vil_load_fail(path, "file is truncated");
        T* d = dest(y, z);
        for (unsigned i = 0; i < ni; ++i) d[std::size_t(i) * np] = T(unit(line.data() + i * bpc, bpc));
      }
    return vil_load_result(view);
  }
  std::vector<unsigned char> packed(longest);
  for (std::size_t r = 0; r < rows; ++r) {
    const uint32_t start = be32(tables.data() + 4 * r), len = be32(tables.data() + 4 * (rows + r));
    if (std::fseek(f, long(start), SEEK_SET) != 0 || !vil_load_read_exact(f, packed.data(), len))
      return vil_load_fail(path, "file is truncated");
    if (!decode_rle_row(packed.data(), len, bpc, dest(r % nj, r / nj), ni, np))
      return vil_load_fail(path, "corrupt SGI run-length data");
  }
  return vil_load_result(view);
}
}  // namespace

bool vil_sgi_probe(const unsigned char* h, std::size_t n)
{
  return n >= 2 && be16(h) == 474;
}

vil_image_view_base_sptr vil_sgi_read(const char* path, std::FILE* f)
{
  unsigned char h[header_bytes];
  if (!vil_load_read_exact(f, h, sizeof h)) return vil_load_fail(path, "truncated SGI header");
  const unsigned storage = h[2], bpc = h[3], dimension = be16(h + 4);
  unsigned ni = be16(h + 6), nj = be16(h + 8), np = be16(h + 10);
  const uint32_t colormap = be32(h + 104);
  if (storage != STORAGE_VERBATIM && storage != STORAGE_RLE)
    return vil_load_fail(path, "unknown SGI storage format");
  if (bpc != 1 && bpc != 2) return vil_load_fail(path, "unsupported SGI bytes per sample");
  if (colormap == COLORMAP_ONLY) return vil_load_fail(path, "SGI colour map files hold no image");
  if (dimension == 1) nj = np = 1;
  else if (dimension == 2) np = 1;
  else if (dimension != 3) return vil_load_fail(path, "bad SGI dimension");
  if (np < 1 || np > 4) return vil_load_fail(path, "unsupported number of SGI channels");
  if (!vil_load_size_ok(path, ni, nj, np, bpc)) return vil_image_view_base_sptr();
  const bool rle = storage == STORAGE_RLE;
  return bpc == 1 ? read_pixels<vxl_byte>(path, f, rle, ni, nj, np)
                  : read_pixels<vxl_uint_16>(path, f, rle, ni, nj, np);
}

#include <vil/file_formats/vil_ras.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>
#include <vil/vil_load_support.h>

namespace
{
uint32_t be32(const unsigned char* p)
{
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

enum { RT_OLD = 0, RT_STANDARD = 1, RT_BYTE_ENCODED = 2, RT_FORMAT_RGB = 3 };
enum { RMT_NONE = 0, RMT_EQUAL_RGB = 1, RMT_RAW = 2 };

// Bytes of a file through a buffer of its own (getc locks on every call).
class byte_source
{
 public:
  explicit byte_source(std::FILE* f) : f_(f), buf_(1 << 16) {}
  int next()
  {
    if (at_ == end_) {
      end_ = std::fread(buf_.data(), 1, buf_.size(), f_);
      at_ = 0;
      if (end_ == 0) return EOF;
    }
    return buf_[at_++];
  }

 private:
  std::FILE* f_;
  std::vector<unsigned char> buf_;
  std::size_t at_ = 0, end_ = 0;
};

// Expands the byte-encoded stream into out (exactly out.size() bytes):
// 0x80 0 is one 0x80, 0x80 n v is n + 1 copies of v, any other byte itself.
// Runs may cross rows; a run past the end is cut off.
bool decode_rle(std::FILE* f, std::vector<unsigned char>& out)
{
  byte_source in(f);
  std::size_t k = 0;
  const std::size_t n = out.size();
  while (k < n) {
    const int c = in.next();
    if (c == EOF) return false;
    if (c != 0x80) {
      out[k++] = (unsigned char)c;
      continue;
    }
    const int count = in.next();
    if (count == EOF) return false;
    if (count == 0) {
      out[k++] = 0x80;
      continue;
    }
    const int v = in.next();
    if (v == EOF) return false;
    const std::size_t run = std::min<std::size_t>(std::size_t(count) + 1, n - k);
    std::memset(out.data() + k, v, run);
    k += run;
  }
  return true;
}
}  // namespace

bool vil_ras_probe(const unsigned char* h, std::size_t n)
{
  return n >= 4 && be32(h) == 0x59a66a95u;
}

vil_image_view_base_sptr vil_ras_read(const char* path, std::FILE* f)
{
  unsigned char h[32];
  if (!vil_load_read_exact(f, h, sizeof h)) return vil_load_fail(path, "truncated Sun raster header");
  const uint32_t width = be32(h + 4), height = be32(h + 8), depth = be32(h + 12);
  const uint32_t type = be32(h + 20), maptype = be32(h + 24), maplength = be32(h + 28);
  if (type != RT_OLD && type != RT_STANDARD && type != RT_BYTE_ENCODED && type != RT_FORMAT_RGB)
    return vil_load_fail(path, "unsupported Sun raster type (TIFF, IFF or experimental)");
  if (depth != 1 && depth != 8 && depth != 24 && depth != 32)
    return vil_load_fail(path, "unsupported Sun raster depth");
  if (maptype != RMT_NONE && maptype != RMT_EQUAL_RGB && maptype != RMT_RAW)
    return vil_load_fail(path, "unknown Sun raster colour map type");
  if (maplength > vil_load_bytes_left(f)) return vil_load_fail(path, "file is truncated");

  // The colour map: all reds, then all greens, then all blues.
  std::vector<unsigned char> map;
  unsigned entries = 0;
  if (maptype == RMT_EQUAL_RGB && maplength > 0) {
    if (maplength % 3 != 0 || maplength > 3 * 256)
      return vil_load_fail(path, "bad Sun raster colour map length");
    map.resize(maplength);
    if (!vil_load_read_exact(f, map.data(), map.size())) return vil_load_fail(path, "file is truncated");
    entries = maplength / 3;
  } else if (maplength > 0 && std::fseek(f, long(maplength), SEEK_CUR) != 0) {
    return vil_load_fail(path, "file is truncated");
  }
  const bool indexed = depth <= 8 && entries > 0;
  bool grey = true;
  for (unsigned k = 0; indexed && k < entries; ++k)
    grey = grey && map[k] == map[entries + k] && map[k] == map[2 * entries + k];
  const unsigned np = depth >= 24 || (indexed && !grey) ? 3 : 1;
  if (!vil_load_size_ok(path, width, height, np, 1)) return vil_image_view_base_sptr();

  // Rows are padded to a multiple of 16 bits.
  const std::size_t row_bytes = (std::size_t(width) * depth + 15) / 16 * 2;
  const std::size_t data_bytes = row_bytes * height;
  // A run of three bytes gives at most 256, so a short encoded stream cannot
  // fill a big image: refuse before allocating for it.
  const unsigned long long left = vil_load_bytes_left(f);
  if (type == RT_BYTE_ENCODED ? data_bytes / 256 * 3 > left : data_bytes > left)
    return vil_load_fail(path, "file is truncated");
  std::vector<unsigned char> data(data_bytes);
  const bool complete = type == RT_BYTE_ENCODED ? decode_rle(f, data)
                                                : vil_load_read_exact(f, data.data(), data.size());
  if (!complete) return vil_load_fail(path, "file is truncated");

  // Colour-map lookups: indices past the map show black.
  std::vector<unsigned char> lut(3 * 256, 0);
  for (unsigned k = 0; k < entries; ++k)
    for (unsigned c = 0; c < 3; ++c) lut[3 * k + c] = map[c * entries + k];

  vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(width, height, np);
  const bool rgb_order = type == RT_FORMAT_RGB;
  for (uint32_t j = 0; j < height; ++j) {
    const unsigned char* s = data.data() + j * row_bytes;
    vxl_byte* d = view.top_left_ptr() + std::size_t(j) * view.jstep();
    for (uint32_t i = 0; i < width; ++i, d += np) {
      if (depth >= 24) {
        const unsigned char* px = s + std::size_t(i) * (depth / 8) + (depth == 32 ? 1 : 0);
        d[0] = rgb_order ? px[0] : px[2];
        d[1] = px[1];
        d[2] = rgb_order ? px[2] : px[0];
        continue;
      }
      const unsigned v = depth == 8 ? s[i] : (s[i >> 3] >> (7 - (i & 7))) & 1u;
      if (indexed) {
        for (unsigned p = 0; p < np; ++p) d[p] = lut[3 * v + p];
      } else {
        d[0] = depth == 8 ? vxl_byte(v) : vxl_byte(v ? 0 : 255);
      }
    }
  }
  return vil_load_result(view);
}

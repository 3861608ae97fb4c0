#include <vil/file_formats/vil_bmp.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>
#include <vil/file_formats/vil_bgr_to_rgb.h>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>

namespace
{
uint32_t le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// A colour channel given by a bit mask, scaled to 0..255.
struct channel
{
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit channel(uint32_t m = 0) : mask(m)
  {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  vxl_byte operator()(uint32_t v) const
  {
    if (!mask) return 0;
    const uint32_t x = (v & mask) >> shift, top = (bits >= 32) ? 0xffffffffu : (1u << bits) - 1;
    return vxl_byte((uint64_t(x) * 255 + top / 2) / top);
  }
};

// Decodes an RLE8 or RLE4 stream (bits 8 or 4) into view, whose pixels
// start as palette entry 0, the colour of pixels the stream skips.  The
// stream's rows run bottom-up unless top_down.  Null on success, else why not.
const char* decode_rle(std::FILE* f, unsigned bits, bool top_down, const std::vector<vxl_byte>& palette,
                       vil_image_view<vxl_byte>& view)
{
  const unsigned ni = view.ni(), nj = view.nj(), np = view.nplanes();
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p = 0; p < np; ++p) view(i, j, p) = palette[p];
  // The stream's next byte; the end of the file is a truncated stream.
  const auto next = [f](unsigned& b) {
    const int c = std::getc(f);
    b = unsigned(c);
    return c != EOF;
  };
  // Index k of a run or of literals from byte b: b itself, or in RLE4 its
  // high nibble then its low one.
  const auto index = [bits](unsigned b, unsigned k) { return bits == 8 ? b : (k & 1) ? b & 15 : b >> 4; };
  unsigned x = 0, y = 0;  // y counts rows in the stream's order
  // Writes the next pixel of a row; false past the last row.  Encoders run
  // on into a row's padding (to a whole word, or as far as they like), so
  // pixels past the row's end are dropped.
  const auto put = [&](unsigned idx) {
    if (y >= nj) return false;
    if (x >= ni) return true;
    const unsigned j = top_down ? y : nj - 1 - y;
    for (unsigned p = 0; p < np; ++p) view(x, j, p) = palette[3 * idx + p];
    ++x;
    return true;
  };
  for (;;) {
    unsigned count, value;
    if (!next(count) || !next(value))
      return y >= nj ? nullptr : "run-length data is truncated";  // the last rows' end is enough
    if (count > 0) {  // a run: one index, or two alternating ones in RLE4
      for (unsigned k = 0; k < count; ++k)
        if (!put(index(value, k))) return "a run goes past the last row";
    } else if (value == 0) {  // end of a row
      x = 0;
      if (++y > nj) return "the run-length data has more rows than the image";
    } else if (value == 1) {  // end of the picture
      return nullptr;
    } else if (value == 2) {  // skip right and up
      unsigned dx, dy;
      if (!next(dx) || !next(dy)) return "run-length data is truncated";
      x += dx;
      y += dy;
      if (x > ni || y > nj) return "a skip goes past the image";
    } else {  // value literal indices, padded to a whole number of 16-bit words
      const unsigned n = bits == 8 ? value : (value + 1) / 2;
      unsigned b = 0;
      for (unsigned k = 0; k < value; ++k) {
        if ((bits == 8 || !(k & 1)) && !next(b)) return "run-length data is truncated";
        if (!put(index(b, k))) return "a run goes past the last row";
      }
      if ((n & 1) && !next(b)) return "run-length data is truncated";
    }
  }
}
}  // namespace

bool vil_bmp_probe(const unsigned char* h, std::size_t n)
{
  if (n < 18 || h[0] != 'B' || h[1] != 'M') return false;
  const uint32_t dib = le32(h + 14);
  return dib == 12 || dib == 16 || dib == 40 || dib == 52 || dib == 56 || dib == 64 ||
         dib == 108 || dib == 124;
}

vil_image_view_base_sptr vil_bmp_read(const char* path, std::FILE* f)
{
  unsigned char fh[14 + 124] = {0};
  if (!vil_load_read_exact(f, fh, 18)) return vil_load_fail(path, "file is truncated");
  const uint32_t offset = le32(fh + 10), dib = le32(fh + 14);
  if (dib < 12 || dib > 124 || !vil_load_read_exact(f, fh + 18, dib - 4))
    return vil_load_fail(path, "bad or truncated BMP header");
  const unsigned char* h = fh + 14;
  long long width, height;
  unsigned bitcount, compression = 0, colours_used = 0;
  if (dib == 12) {  // OS/2 core header
    width = le16(h + 4);
    height = int16_t(le16(h + 6));
    bitcount = le16(h + 10);
  } else {
    width = int32_t(le32(h + 4));
    height = int32_t(le32(h + 8));
    bitcount = le16(h + 14);
    if (dib >= 20) compression = le32(h + 16);
    if (dib >= 36) colours_used = le32(h + 32);
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height <= 0) return vil_load_fail(path, "bad BMP size");

  // Masks: BI_BITFIELDS (3) and BI_ALPHABITFIELDS (6) carry them after a
  // 40-byte header, or inside a larger one.
  uint32_t masks[4] = {0, 0, 0, 0};
  if (compression == 3 || compression == 6) {
    const unsigned n = compression == 6 ? 4 : 3;
    if (dib >= 40 + 4 * n) {
      for (unsigned k = 0; k < n; ++k) masks[k] = le32(h + 40 + 4 * k);
    } else {
      unsigned char m[16];
      if (!vil_load_read_exact(f, m, 4 * n)) return vil_load_fail(path, "file is truncated");
      for (unsigned k = 0; k < n; ++k) masks[k] = le32(m + 4 * k);
    }
    if (dib >= 56 && compression == 3) masks[3] = le32(h + 52);
  } else if (compression == 1 || compression == 2) {
    if (bitcount != (compression == 1 ? 8u : 4u))
      return vil_load_fail(path, compression == 1 ? "RLE8 compression needs 8 bits a pixel"
                                                  : "RLE4 compression needs 4 bits a pixel");
  } else if (compression != 0) {
    return vil_load_fail(path, "unsupported BMP compression (JPEG, PNG or unknown)");
  }
  const bool rle = compression == 1 || compression == 2;
  if (bitcount == 16 && compression == 0) {
    masks[0] = 0x7c00;
    masks[1] = 0x03e0;
    masks[2] = 0x001f;
  }

  // Palette: entries of 3 bytes (core header) or 4.
  std::vector<vxl_byte> palette;  // r, g, b per entry
  const bool indexed = bitcount == 1 || bitcount == 4 || bitcount == 8;
  if (indexed) {
    const unsigned most = 1u << bitcount;
    const unsigned count = colours_used == 0 || colours_used > most ? most : colours_used;
    const unsigned entry = dib == 12 ? 3 : 4;
    std::vector<unsigned char> raw(std::size_t(count) * entry);
    if (!vil_load_read_exact(f, raw.data(), raw.size())) return vil_load_fail(path, "file is truncated");
    palette.resize(std::size_t(most) * 3, 0);  // indices past the table show black
    for (unsigned k = 0; k < count; ++k) {
      palette[3 * k] = raw[k * entry + 2];
      palette[3 * k + 1] = raw[k * entry + 1];
      palette[3 * k + 2] = raw[k * entry];
    }
  } else if (bitcount != 16 && bitcount != 24 && bitcount != 32) {
    return vil_load_fail(path, "unsupported BMP bit count");
  }
  bool grey = indexed;
  for (std::size_t k = 0; grey && k < palette.size(); k += 3)
    grey = palette[k] == palette[k + 1] && palette[k] == palette[k + 2];
  // Only a declared alpha mask makes a fourth plane: the spare byte of
  // plain 32-bit pixels is not alpha.
  const unsigned np = indexed ? (grey ? 1 : 3) : masks[3] ? 4 : 3;

  if (!vil_load_size_ok(path, width, height, np, 1)) return vil_image_view_base_sptr();
  const unsigned long long row_bytes = ((unsigned long long)(width) * bitcount + 31) / 32 * 4;
  if (std::fseek(f, long(offset), SEEK_SET) != 0 || vil_load_bytes_left(f) < (rle ? 2 : row_bytes * height))
    return vil_load_fail(path, "file is truncated");

  const unsigned ni = unsigned(width), nj = unsigned(height);
  vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  if (rle) {
    const char* why = decode_rle(f, bitcount, top_down, palette, view);
    return why ? vil_load_fail(path, why) : vil_load_result(view);
  }
  const channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  const bool bgr = bitcount == 24 || (bitcount == 32 && compression == 0);
  // One case a row, chosen outside the pixel loop.
  const auto convert = [&](const unsigned char* row, vxl_byte* d) {
    if (bgr) {
      vil_bgr_to_rgb(row, bitcount / 8, d, ni);
    } else if (indexed) {
      for (unsigned i = 0; i < ni; ++i, d += np) {
        const unsigned bit = i * bitcount;
        const unsigned idx = (row[bit >> 3] >> (8 - bitcount - (bit & 7))) & ((1u << bitcount) - 1);
        for (unsigned p = 0; p < np; ++p) d[p] = palette[3 * idx + p];
      }
    } else {
      for (unsigned i = 0; i < ni; ++i, d += np) {
        const uint32_t v = bitcount == 16 ? le16(row + 2 * i) : le32(row + 4 * i);
        d[0] = r(v);
        d[1] = g(v);
        d[2] = b(v);
        if (np == 4) d[3] = a(v);
      }
    }
  };
  // Rows are read a block of about 256 KB at a time: few reads, and the
  // block is still in the cache when it is converted.
  const unsigned block = unsigned(std::max<unsigned long long>(1, std::min<unsigned long long>(nj, (256u << 10) / row_bytes)));
  std::vector<unsigned char> rows(block * row_bytes);
  for (unsigned k0 = 0; k0 < nj; k0 += block) {
    const unsigned nk = std::min(block, nj - k0);
    if (!vil_load_read_exact(f, rows.data(), nk * row_bytes)) return vil_load_fail(path, "file is truncated");
    for (unsigned k = k0; k < k0 + nk; ++k) {
      const unsigned j = top_down ? k : nj - 1 - k;
      convert(rows.data() + (k - k0) * row_bytes, view.top_left_ptr() + std::size_t(j) * view.jstep());
    }
  }
  return vil_load_result(view);
}

namespace
{
void put16(unsigned char* p, uint32_t v)
{
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)(v >> 8);
}
void put32(unsigned char* p, uint32_t v)
{
  put16(p, v & 0xffff);
  put16(p + 2, v >> 16);
}
}  // namespace

bool vil_bmp_write(const char* path, std::FILE* f, const vil_image_view_base& view)
{
  const unsigned np = view.nplanes();
  if (view.size() == 0 || view.pixel_format() != VIL_PIXEL_FORMAT_BYTE || (np != 1 && np != 3 && np != 4))
    return vil_save_refuse(path, view, "BMP", "8-bit images of 1, 3 or 4 planes");
  const vil_image_view<vxl_byte>& v = static_cast<const vil_image_view<vxl_byte>&>(view);
  const unsigned bitcount = 8 * np;
  const unsigned long long row_bytes = ((unsigned long long)(v.ni()) * bitcount + 31) / 32 * 4;
  const unsigned palette = np == 1 ? 256 * 4 : 0;
  // Alpha needs a header that declares its mask (a version 4 one, 108 bytes).
  const unsigned dib = np == 4 ? 108 : 40;
  const unsigned offset = 14 + dib + palette;
  const unsigned long long size = offset + row_bytes * v.nj();
  if (v.ni() > 0x7fffffffu || v.nj() > 0x7fffffffu || size > 0xffffffffull)
    return vil_save_fail(path, "image too large for a BMP file");

  // File header, then the info header: bottom-up rows, no compression (or
  // bit fields, for alpha).
  unsigned char h[14 + 108] = {'B', 'M'};
  put32(h + 2, uint32_t(size));
  put32(h + 10, offset);
  put32(h + 14, dib);
  put32(h + 18, v.ni());
  put32(h + 22, v.nj());
  put16(h + 26, 1);
  put16(h + 28, bitcount);
  put32(h + 34, uint32_t(row_bytes * v.nj()));
  put32(h + 38, 2835);  // 72 dots an inch
  put32(h + 42, 2835);
  put32(h + 46, np == 1 ? 256 : 0);
  if (np == 4) {
    put32(h + 30, 3);  // bit fields: red, green, blue, alpha masks
    const uint32_t masks[4] = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
    for (unsigned k = 0; k < 4; ++k) put32(h + 54 + 4 * k, masks[k]);
    put32(h + 70, 0x73524742);  // 'sRGB'
  }
  bool ok = std::fwrite(h, 1, 14 + dib, f) == 14 + dib;
  if (np == 1) {  // grey: a palette of 256 greys
    unsigned char grey[256 * 4];
    for (unsigned k = 0; k < 256; ++k) {
      grey[4 * k] = grey[4 * k + 1] = grey[4 * k + 2] = (unsigned char)k;
      grey[4 * k + 3] = 0;
    }
    ok = ok && std::fwrite(grey, 1, sizeof grey, f) == sizeof grey;
  }
  std::vector<unsigned char> row(row_bytes, 0);
  for (unsigned k = 0; ok && k < v.nj(); ++k) {
    vil_save_interleaved_row(v, v.nj() - 1 - k, row.data());
    if (np > 1)  // stored blue, green, red (, alpha)
      for (std::size_t i = 0; i < v.ni(); ++i) std::swap(row[i * np], row[i * np + 2]);
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return ok || vil_save_fail(path, "write failed");
}

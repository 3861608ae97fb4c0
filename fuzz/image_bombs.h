#ifndef tessaly_fuzz_image_bombs_h_
#define tessaly_fuzz_image_bombs_h_
// Small image files that ask for far more memory than they hold: headers
// claiming 100,000 x 100,000 pixels (65,500 x 65,500 for JPEG, whose frame
// header cannot say more), and a PNG whose compressed data expands far past
// the size its header gives.  The loader must refuse each at once, without
// allocating for the claim.  Shared by the tests, the benchmarks and the
// fuzz seeds, with the JPEG and run-length BMP writers they also share.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace image_bombs
{
typedef std::vector<unsigned char> bytes;

inline void be32(bytes& b, std::uint32_t v)
{
  for (int s = 24; s >= 0; s -= 8) b.push_back((unsigned char)(v >> s));
}

inline void le16(bytes& b, std::uint32_t v)
{
  b.push_back((unsigned char)(v & 255));
  b.push_back((unsigned char)((v >> 8) & 255));
}

inline void le32(bytes& b, std::uint32_t v)
{
  le16(b, v & 0xffff);
  le16(b, v >> 16);
}

// One PNG chunk with its length and CRC.
inline void png_chunk(bytes& out, const char* type, const bytes& data)
{
  be32(out, std::uint32_t(data.size()));
  bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  be32(out, std::uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

// zlib stream of n zero bytes (about n / 1000 bytes long).
inline bytes deflated_zeros(std::size_t n)
{
  z_stream z{};
  // Run-length matching finds the longest matches of zeros at once.
  deflateInit2(&z, 9, Z_DEFLATED, 15, 8, Z_RLE);
  const bytes zeros(1 << 16, 0);
  bytes out;
  unsigned char buf[1 << 14];
  std::size_t left = n;
  int flush = Z_NO_FLUSH;
  do {
    const std::size_t k = left < zeros.size() ? left : zeros.size();
    left -= k;
    z.next_in = const_cast<unsigned char*>(zeros.data());
    z.avail_in = uInt(k);
    flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    int ret;
    do {
      z.next_out = buf;
      z.avail_out = sizeof buf;
      ret = deflate(&z, flush);
      out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
    } while (z.avail_out == 0 || (flush == Z_FINISH && ret != Z_STREAM_END));
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  return out;
}

// An 8-bit grey PNG: header of ni x nj, then `raw` zero bytes of filtered
// row data (a row is a filter byte and ni samples).
inline bytes png(std::uint32_t ni, std::uint32_t nj, std::size_t raw)
{
  bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  bytes ihdr;
  be32(ihdr, ni);
  be32(ihdr, nj);
  ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // depth 8, grey, deflate, no filter, no interlace
  png_chunk(out, "IHDR", ihdr);
  png_chunk(out, "IDAT", deflated_zeros(raw));
  png_chunk(out, "IEND", bytes());
  return out;
}

// 100,000 x 100,000 grey pixels claimed, one row of data given.
inline bytes huge_png() { return png(100000, 100000, 100001); }

// A 16 x 16 image whose data inflates to 256 MiB.
inline bytes overflowing_png() { return png(16, 16, std::size_t(256) << 20); }

// A PNG with an ancillary chunk that claims 1.8 GB and a file that ends
// soon after.
inline bytes lying_chunk_png()
{
  bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  bytes ihdr;
  be32(ihdr, 5);
  be32(ihdr, 3);
  ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
  png_chunk(out, "IHDR", ihdr);
  be32(out, 0x7043414c);
  out.insert(out.end(), {'t', 'E', 'X', 't', 'k', 'e', 'y', 0, 'v', 'a', 'l'});
  return out;
}

// A JPEG made in memory by libjpeg: ni x nj pixels of 1 (grey), 3 (RGB) or
// 4 (CMYK) components, sample k of row j being sample(k, j).  libjpeg marks
// CMYK with Adobe's marker, which tells readers the inks are stored
// inverted; adobe false leaves it out.
template <class Sample>
bytes jpeg(unsigned ni, unsigned nj, int components, Sample sample, int quality = 75, bool progressive = false,
           bool adobe = true)
{
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = ni;
  c.image_height = nj;
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  c.write_Adobe_marker = c.write_Adobe_marker && adobe;
  jpeg_start_compress(&c, TRUE);
  bytes row(std::size_t(ni) * unsigned(components));
  while (c.next_scanline < nj) {
    for (unsigned k = 0; k < row.size(); ++k) row[k] = (unsigned char)sample(k, unsigned(c.next_scanline));
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

// A small real JPEG whose frame header then claims 65,500 x 65,500 colour pixels.
inline bytes huge_jpeg()
{
  bytes out = jpeg(16, 16, 3, [](unsigned, unsigned) { return 128; });
  for (std::size_t k = 0; k + 9 < out.size(); ++k)
    if (out[k] == 0xff && out[k + 1] == 0xc0) {  // SOF0: length, precision, height, width
      out[k + 5] = out[k + 7] = 65500 >> 8;
      out[k + 6] = out[k + 8] = 65500 & 255;
      break;
    }
  return out;
}

// A BMP of 8 colours (entry k is red 40 k, green 255 - 30 k, blue 17 k)
// whose pixels are the given stream, compressed RLE8 (1) or RLE4 (2).
inline bytes rle_bmp(std::uint32_t ni, std::uint32_t nj, unsigned bitcount, unsigned compression,
                     const bytes& stream)
{
  const std::uint32_t offset = 14 + 40 + 8 * 4;
  bytes b = {'B', 'M'};
  for (std::uint32_t v : {offset + std::uint32_t(stream.size()), 0u, offset, 40u, ni, nj}) le32(b, v);
  le16(b, 1);
  le16(b, bitcount);
  for (std::uint32_t v : {compression, std::uint32_t(stream.size()), 2835u, 2835u, 8u, 0u}) le32(b, v);
  for (unsigned k = 0; k < 8; ++k)
    for (unsigned c : {17 * k, 255 - 30 * k, 40 * k, 0u}) b.push_back((unsigned char)c);
  b.insert(b.end(), stream.begin(), stream.end());
  return b;
}

// A little-endian TIFF claiming 100,000 x 100,000 grey bytes in one strip
// of 16 bytes.
inline bytes huge_tiff()
{
  bytes b = {'I', 'I', 42, 0};
  le32(b, 8 + 16);
  for (int k = 0; k < 16; ++k) b.push_back(0);
  struct entry { std::uint32_t tag, type, value; };
  const entry entries[] = {{256, 4, 100000}, {257, 4, 100000}, {258, 3, 8}, {259, 3, 1},
                           {262, 3, 1},      {273, 4, 8},      {277, 3, 1}, {278, 4, 100000},
                           {279, 4, 16}};
  le16(b, sizeof entries / sizeof entries[0]);
  for (const entry& e : entries) {
    le16(b, e.tag);
    le16(b, e.type);
    le32(b, 1);
    if (e.type == 3) {
      le16(b, e.value);
      le16(b, 0);
    } else {
      le32(b, e.value);
    }
  }
  le32(b, 0);
  return b;
}

inline bool write_file(const std::string& path, const bytes& data)
{
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  // An empty vector may have no buffer, which fwrite must not be given.
  const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}
}  // namespace image_bombs

#endif

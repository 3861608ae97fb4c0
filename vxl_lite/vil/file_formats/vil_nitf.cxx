#include <vil/file_formats/vil_nitf.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>

namespace
{
// Reads the fixed-width text fields of a header held in memory, in order.
// Any field past the end, or a number that is not all digits, fails the
// whole parse (ok becomes false) and later reads give empty values.
class field_reader
{
 public:
  field_reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }

  std::string text(std::size_t width)
  {
    if (!ok_ || width > size_ - pos_) {
      ok_ = false;
      return std::string();
    }
    std::string s(reinterpret_cast<const char*>(data_ + pos_), width);
    pos_ += width;
    return s;
  }

  void skip(std::size_t width) { text(width); }

  // A decimal field; blanks around the digits are tolerated.
  unsigned long long number(std::size_t width)
  {
    const std::string s = text(width);
    unsigned long long v = 0;
    bool digits = false, ended = false;
    for (char c : s) {
      if (c == ' ') {
        ended = digits;
        continue;
      }
      if (c < '0' || c > '9' || ended) {
        ok_ = false;
        return 0;
      }
      v = v * 10 + unsigned(c - '0');
      digits = true;
    }
    if (!digits) ok_ = false;
    return v;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

std::string trimmed(const std::string& s)
{
  const std::size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

uint64_t be(const unsigned char* p, unsigned n)
{
  uint64_t v = 0;
  for (unsigned k = 0; k < n; ++k) v = v << 8 | p[k];
  return v;
}

// What the image subheader says about the pixels and their layout.
struct image_layout
{
  unsigned long long nrows = 0, ncols = 0;
  std::string pvtype, ic, imode;
  unsigned long long nbands = 0, nbpr = 0, nbpc = 0, nppbh = 0, nppbv = 0, nbpp = 0;
};

// The offset of one band's block in the image data, and the bits between
// neighbouring samples of that band (along a row and down a column).
struct sample_addressing
{
  unsigned long long block_bits;  // one band of one block, padded to bytes
  unsigned long long unit_bits;   // all bands of one block, padded as stored
};

// Bit offset of sample (c, r) of band b in block k, relative to the start
// of the pixel data (for masked images: the block's own start), and the
// bits from one sample of that band to the next along the row.
unsigned long long sample_bit(const image_layout& L, const sample_addressing& A, bool masked,
                              unsigned long long k, unsigned long long b, unsigned long long r,
                              unsigned long long c, unsigned long long& step)
{
  const unsigned long long nblocks = L.nbpr * L.nbpc;
  const unsigned long long bits = L.nbpp, n = L.nbands;
  const char mode = L.nbands == 1 ? 'B' : L.imode[0];
  step = mode == 'P' ? n * bits : bits;
  switch (mode) {
    case 'P': return (masked ? 0 : k * A.unit_bits) + ((r * L.nppbh + c) * n + b) * bits;
    case 'R': return (masked ? 0 : k * A.unit_bits) + ((r * n + b) * L.nppbh + c) * bits;
    case 'S': return (masked ? 0 : (b * nblocks + k) * A.block_bits) + (r * L.nppbh + c) * bits;
    default:  // 'B'
      return (masked ? 0 : k * A.unit_bits) + b * A.block_bits + (r * L.nppbh + c) * bits;
  }
}

// Copies n samples of nbpp bits, the first at bit `bit` of data and then
// every `step` bits, to d, d + np, d + 2 np, ...
template <class T>
void copy_samples(T* d, std::size_t np, unsigned long long n, const unsigned char* data,
                  unsigned long long bit, unsigned long long step, unsigned nbpp)
{
  for (unsigned long long c = 0; c < n; ++c, d += np, bit += step) {
    if (nbpp == 1) {
      *d = T((data[bit >> 3] >> (7 - (bit & 7))) & 1);
    } else if (nbpp == 8) {
      *d = T(data[bit >> 3]);
    } else {
      const uint64_t v = be(data + (bit >> 3), nbpp / 8);
      if (sizeof(T) == 4) {
        const uint32_t w = uint32_t(v);
        std::memcpy(d, &w, 4);
      } else if (sizeof(T) == 8) {
        std::memcpy(d, &v, 8);
      } else {
        *d = T(v);
      }
    }
  }
}

// Copies every sample from the image data into the view.  block_start holds
// per block (and band, for mode S) the byte offset of a masked block, or
// UINT64_MAX for a block that is not stored; it is empty when unmasked.
template <class T>
vil_image_view_base_sptr fill_view(const image_layout& L, const sample_addressing& A,
                                   const std::vector<unsigned char>& data,
                                   const std::vector<uint64_t>& block_start)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(unsigned(L.ncols), unsigned(L.nrows), unsigned(L.nbands));
  const bool masked = !block_start.empty();
  if (masked) view.fill(T(0));  // blocks left out of the mask
  const bool per_band = L.nbands > 1 && L.imode[0] == 'S';
  for (unsigned long long by = 0; by < L.nbpc; ++by)
    for (unsigned long long bx = 0; bx < L.nbpr; ++bx) {
      const unsigned long long k = by * L.nbpr + bx;
      for (unsigned long long b = 0; b < L.nbands; ++b) {
        unsigned long long base = 0;
        if (masked) {
          const uint64_t s = block_start[per_band ? b * L.nbpr * L.nbpc + k : k];
          if (s == UINT64_MAX) continue;
          base = s * 8;
        }
        // Blocks may reach past the image (or lie wholly outside it).
        const unsigned long long i0 = bx * L.nppbh;
        if (i0 >= L.ncols) continue;
        const unsigned long long n = std::min(L.nppbh, L.ncols - i0);
        for (unsigned long long r = 0; r < L.nppbv && by * L.nppbv + r < L.nrows; ++r) {
          unsigned long long step = 0;
          const unsigned long long bit = base + sample_bit(L, A, masked, k, b, r, 0, step);
          T* d = view.top_left_ptr() + (by * L.nppbv + r) * view.jstep() + i0 * L.nbands + b;
          copy_samples(d, L.nbands, n, data.data(), bit, step, unsigned(L.nbpp));
        }
      }
    }
  return vil_load_result(view);
}

// Reads the file header; gives the offset and lengths of the first image segment.
bool read_file_header(std::FILE* f, bool v20, unsigned long long& offset, unsigned long long& sub_len,
                      unsigned long long& data_len, unsigned long long& nimages)
{
  // Everything up to the first image's lengths fits in 460 bytes (NITF 2.0
  // with a downgrade event adds 40 to the 363 fixed bytes, plus 16).
  unsigned char h[460];
  const std::size_t n = std::fread(h, 1, sizeof h, f);
  field_reader r(h, n);
  r.skip(9 + 2 + 4 + 10 + 14 + 80);  // FHDR FVER CLEVEL STYPE OSTAID FDT FTITLE
  if (v20) {
    r.skip(1 + 40 + 40 + 40 + 20 + 20);  // FSCLAS FSCODE FSCTLH FSREL FSCAUT FSCTLN
    if (r.text(6) == "999998") r.skip(40);  // FSDWNG, FSDEVT
    r.skip(5 + 5 + 1 + 27 + 18);  // FSCOP FSCPYS ENCRYP ONAME OPHONE
  } else {
    r.skip(1 + 2 + 11 + 2 + 20 + 2 + 8 + 4 + 1 + 8 + 43 + 1 + 40 + 1 + 8 + 15);  // security
    r.skip(5 + 5 + 1 + 3 + 24 + 18);  // FSCOP FSCPYS ENCRYP FBKGC ONAME OPHONE
  }
  r.number(12);  // FL
  offset = r.number(6);
  nimages = r.number(3);
  if (!r.ok() || nimages == 0) return r.ok();
  sub_len = r.number(6);
  data_len = r.number(10);
  return r.ok();
}

// Parses the image subheader held in `sub`.
bool read_image_header(const std::vector<unsigned char>& sub, bool v20, image_layout& L, std::string& why)
{
  field_reader r(sub.data(), sub.size());
  if (r.text(2) != "IM") {
    why = "NITF image segment does not start with IM";
    return false;
  }
  r.skip(10 + 14 + 17 + 80);  // IID1 IDATIM TGTID IID2/ITITLE
  if (v20) {
    r.skip(1 + 40 + 40 + 40 + 20 + 20);
    if (r.text(6) == "999998") r.skip(40);
  } else {
    r.skip(1 + 2 + 11 + 2 + 20 + 2 + 8 + 4 + 1 + 8 + 43 + 1 + 40 + 1 + 8 + 15);
  }
  r.skip(1 + 42);  // ENCRYP ISORCE
  L.nrows = r.number(8);
  L.ncols = r.number(8);
  L.pvtype = trimmed(r.text(3));
  r.skip(8 + 8 + 2 + 1);  // IREP ICAT ABPP PJUST
  const std::string icords = r.text(1);
  // Without coordinates: 'N' in 2.0, blank in 2.1 (where 'N' is UTM north).
  if (icords != " " && !(v20 && icords == "N")) r.skip(60);
  const unsigned long long ncomments = r.number(1);
  r.skip(80 * ncomments);
  L.ic = r.text(2);
  if (r.ok() && L.ic != "NC" && L.ic != "NM") {
    why = "compressed NITF images (IC " + L.ic + ") are not supported";
    return false;
  }
  L.nbands = r.number(1);
  if (L.nbands == 0 && !v20) L.nbands = r.number(5);  // XBANDS
  for (unsigned long long b = 0; b < L.nbands && r.ok(); ++b) {
    r.skip(2 + 6 + 1 + 3);  // IREPBAND ISUBCAT IFC IMFLT
    const unsigned long long nluts = r.number(1);
    if (nluts > 0) r.skip(nluts * r.number(5));  // NELUT, then the tables
  }
  r.skip(1);  // ISYNC
  L.imode = r.text(1);
  L.nbpr = r.number(4);
  L.nbpc = r.number(4);
  L.nppbh = r.number(4);
  L.nppbv = r.number(4);
  L.nbpp = r.number(2);
  if (!r.ok()) {
    why = "bad or truncated NITF image subheader";
    return false;
  }
  return true;
}
}  // namespace

bool vil_nitf_probe(const unsigned char* h, std::size_t n)
{
  return n >= 4 && (std::memcmp(h, "NITF", 4) == 0 || std::memcmp(h, "NSIF", 4) == 0);
}

vil_image_view_base_sptr vil_nitf_read(const char* path, std::FILE* f)
{
  unsigned char magic[9];
  if (!vil_load_read_exact(f, magic, 9) ||
      (std::memcmp(magic, "NITF02.00", 9) != 0 && std::memcmp(magic, "NITF02.10", 9) != 0 &&
       std::memcmp(magic, "NSIF01.00", 9) != 0))
    return vil_load_fail(path, "unsupported NITF version (2.0, 2.1 and NSIF 1.0 are read)");
  const bool v20 = std::memcmp(magic, "NITF02.00", 9) == 0;
  if (std::fseek(f, 0, SEEK_SET) != 0) return vil_load_fail(path, "cannot seek in file");
  const unsigned long long file_size = vil_load_bytes_left(f);
  unsigned long long offset = 0, sub_len = 0, data_len = 0, nimages = 0;
  if (!read_file_header(f, v20, offset, sub_len, data_len, nimages))
    return vil_load_fail(path, "bad or truncated NITF file header");
  if (nimages == 0) return vil_load_fail(path, "NITF file holds no image");
  if (offset > file_size || sub_len > file_size - offset) return vil_load_fail(path, "file is truncated");
  // Some writers overstate the data length; what the file holds is what counts.
  if (data_len > file_size - offset - sub_len) data_len = file_size - offset - sub_len;

  std::vector<unsigned char> sub(sub_len);
  if (std::fseek(f, long(offset), SEEK_SET) != 0 || !vil_load_read_exact(f, sub.data(), sub.size()))
    return vil_load_fail(path, "file is truncated");
  image_layout L;
  std::string why;
  if (!read_image_header(sub, v20, L, why)) return vil_load_fail(path, why.c_str());

  // Blocks of 0 pixels mean "the whole image" when there is one block that way.
  if (L.nppbh == 0 && L.nbpr == 1) L.nppbh = L.ncols;
  if (L.nppbv == 0 && L.nbpc == 1) L.nppbv = L.nrows;
  if (L.nbpr == 0 || L.nbpc == 0 || L.nppbh == 0 || L.nppbv == 0 || L.nbpr * L.nppbh < L.ncols ||
      L.nbpc * L.nppbv < L.nrows)
    return vil_load_fail(path, "NITF blocks do not cover the image");
  const char mode = L.imode.empty() ? ' ' : L.imode[0];
  if (mode != 'B' && mode != 'P' && mode != 'R' && mode != 'S')
    return vil_load_fail(path, "unknown NITF interleave mode");

  typedef vil_image_view_base_sptr (*filler)(const image_layout&, const sample_addressing&,
                                             const std::vector<unsigned char>&, const std::vector<uint64_t>&);
  filler fill = nullptr;
  const std::string& pv = L.pvtype;
  if (L.nbpp == 1 && (pv == "B" || pv == "INT")) fill = fill_view<bool>;
  else if (L.nbpp == 8 && pv == "INT") fill = fill_view<vxl_byte>;
  else if (L.nbpp == 8 && pv == "SI") fill = fill_view<vxl_sbyte>;
  else if (L.nbpp == 16 && pv == "INT") fill = fill_view<vxl_uint_16>;
  else if (L.nbpp == 16 && pv == "SI") fill = fill_view<vxl_int_16>;
  else if (L.nbpp == 32 && pv == "INT") fill = fill_view<vxl_uint_32>;
  else if (L.nbpp == 32 && pv == "SI") fill = fill_view<vxl_int_32>;
  else if (L.nbpp == 32 && pv == "R") fill = fill_view<float>;
  else if (L.nbpp == 64 && pv == "R") fill = fill_view<double>;
  if (!fill) return vil_load_fail(path, ("unsupported NITF pixels: " + pv + " of " + std::to_string(L.nbpp) + " bits").c_str());
  if (!vil_load_size_ok(path, L.ncols, L.nrows, L.nbands, L.nbpp == 1 ? 1 : unsigned(L.nbpp / 8)))
    return vil_image_view_base_sptr();

  // Block sizes, checked for overflow: every factor is below 10^5 or bounded
  // by the size check above, so 64 bits hold each product.
  sample_addressing A;
  const unsigned long long px = L.nppbh * L.nppbv;
  if (px > vil_load_max_bytes() * 8ull / L.nbpp) return vil_load_fail(path, "NITF blocks are too large");
  A.block_bits = (px * L.nbpp + 7) / 8 * 8;
  // Modes B and S pad each band's block on its own; P and R pad the block.
  A.unit_bits = mode == 'B' || mode == 'S' ? A.block_bits * L.nbands : (px * L.nbands * L.nbpp + 7) / 8 * 8;
  const unsigned long long nblocks = L.nbpr * L.nbpc;
  const unsigned long long entries = nblocks * (mode == 'S' ? L.nbands : 1);
  unsigned long long needed = 0;  // bytes of all blocks (mode S alike)
  if (__builtin_mul_overflow(nblocks, A.unit_bits / 8, &needed) || needed > 2 * vil_load_max_bytes() + (1u << 20))
    return vil_load_fail(path, "NITF blocks are too large");
  // Uncompressed data is the blocks; a masked image adds its tables.
  const unsigned long long most = L.ic == "NM" ? needed + 8 * entries + 16384 : needed;
  if (data_len < needed && L.ic == "NC") return vil_load_fail(path, "file is truncated");
  if (data_len > most) data_len = most;

  std::vector<unsigned char> data(data_len);
  if (!vil_load_read_exact(f, data.data(), data.size())) return vil_load_fail(path, "file is truncated");

  std::vector<uint64_t> block_start;
  if (L.ic == "NM") {
    // The mask table: where the pixels start, then per block (and band for
    // mode S) its offset from there, 0xffffffff when the block is absent.
    if (data.size() < 10) return vil_load_fail(path, "truncated NITF block mask");
    const uint64_t pixels_at = be(data.data(), 4), bmr_len = be(data.data() + 4, 2);
    const uint64_t pad_bits = be(data.data() + 8, 2);
    std::size_t at = 10 + (pad_bits + 7) / 8;
    if (bmr_len != 0 && bmr_len != 4) return vil_load_fail(path, "bad NITF block mask");
    if (at > data.size() || (bmr_len && entries > (data.size() - at) / 4) || pixels_at > data.size())
      return vil_load_fail(path, "truncated NITF block mask");
    const unsigned long long unit = (mode == 'S' ? A.block_bits : A.unit_bits) / 8;
    for (unsigned long long e = 0; e < entries; ++e, at += 4) {
      // Without a block mask every block is there, one after the other.
      const uint64_t o = bmr_len ? be(data.data() + at, 4) : e * unit;
      if (o == 0xffffffffu) {
        block_start.push_back(UINT64_MAX);
        continue;
      }
      if (o + unit > data.size() - pixels_at) return vil_load_fail(path, "NITF block past the image data");
      block_start.push_back(pixels_at + o);
    }
  }
  return fill(L, A, data, block_start);
}

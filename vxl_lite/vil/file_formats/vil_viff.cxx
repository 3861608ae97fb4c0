#include <vil/file_formats/vil_viff.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>
#include <vil/vil_load_support.h>

namespace
{
const std::size_t header_bytes = 1024;

// Machine dependencies (byte 4) and storage types of the header.
enum { DEP_IEEEORDER = 0x2, DEP_DECORDER = 0x4, DEP_NSORDER = 0x8 };
enum { TYP_BIT = 0, TYP_1_BYTE = 1, TYP_2_BYTE = 2, TYP_4_BYTE = 4, TYP_FLOAT = 5,
       TYP_COMPLEX = 6, TYP_DOUBLE = 9, TYP_DCOMPLEX = 10 };
enum { LOC_EXPLICIT = 2 };

// Bytes of one sample of a storage type; 0 when unknown (or bits).
unsigned type_bytes(uint32_t t)
{
  switch (t) {
    case TYP_1_BYTE: return 1;
    case TYP_2_BYTE: return 2;
    case TYP_4_BYTE:
    case TYP_FLOAT: return 4;
    case TYP_COMPLEX:
    case TYP_DOUBLE: return 8;
    case TYP_DCOMPLEX: return 16;
    default: return 0;
  }
}

struct header_fields
{
  uint32_t ni, nj, location_type, location_dim, images, bands, storage, encoding;
  uint32_t map_scheme, map_storage, map_ni, map_nj;
};

uint32_t get32(const unsigned char* p, bool big)
{
  return big ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3])
             : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[0]);
}

header_fields parse(const unsigned char* h, bool big)
{
  header_fields r;
  r.ni = get32(h + 520, big);
  r.nj = get32(h + 524, big);
  r.location_type = get32(h + 548, big);
  r.location_dim = get32(h + 552, big);
  r.images = get32(h + 556, big);
  r.bands = get32(h + 560, big);
  r.storage = get32(h + 564, big);
  r.encoding = get32(h + 568, big);
  r.map_scheme = get32(h + 572, big);
  r.map_storage = get32(h + 576, big);
  r.map_ni = get32(h + 580, big);
  r.map_nj = get32(h + 584, big);
  return r;
}

// Whether the fields read in one byte order make sense; used to find the
// order when the machine byte does not match the data (as some writers do).
bool plausible(const header_fields& r)
{
  return r.storage <= TYP_DCOMPLEX && r.encoding < 256 && r.bands < 0x10000 && r.images < 0x10000 &&
         r.location_type < 256;
}

// The sample of type T stored at p in the file's byte order.
template <class T>
T sample_at(const unsigned char* p, bool big)
{
  unsigned char b[sizeof(T)];
  std::memcpy(b, p, sizeof(T));
  if (big != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__))
    for (std::size_t k = 0; k < sizeof(T) / 2; ++k) std::swap(b[k], b[sizeof(T) - 1 - k]);
  T v;
  std::memcpy(&v, b, sizeof(T));
  return v;
}

template <class T>
vil_image_view_base_sptr read_bands(const char* path, std::FILE* f, const header_fields& r, bool big)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(r.ni, r.nj, r.bands);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<unsigned char> row(std::size_t(r.ni) * sizeof(T));
  for (uint32_t p = 0; p < r.bands; ++p)
    for (uint32_t j = 0; j < r.nj; ++j) {
      if (!vil_load_read_exact(f, row.data(), row.size())) return vil_load_fail(path, "file is truncated");
      T* d = view.top_left_ptr() + std::size_t(j) * view.jstep() + p;
      for (uint32_t i = 0; i < r.ni; ++i, d += r.bands) *d = sample_at<T>(row.data() + std::size_t(i) * sizeof(T), big);
    }
  return vil_load_result(view);
}

// One band of indices (of index_bytes each) through a colour map of entries
// of type M: map_ni planes of the map's values, an index past the map black.
// f is at the map; data_at is where the indices start, counted from there.
template <class M>
vil_image_view_base_sptr read_mapped(const char* path, std::FILE* f, const header_fields& r, bool big,
                                      unsigned index_bytes, unsigned long long data_at)
{
  if (!vil_load_size_ok(path, r.ni, r.nj, r.map_ni, sizeof(M))) return vil_image_view_base_sptr();
  // The map is stored band after band; keep the entries an index can reach.
  const uint32_t used = std::min<uint32_t>(r.map_nj, index_bytes == 1 ? 256 : 65536);
  std::vector<M> map(std::size_t(used) * r.map_ni);
  std::vector<unsigned char> raw(std::size_t(used) * sizeof(M));
  const long start = std::ftell(f);
  for (uint32_t b = 0; b < r.map_ni; ++b) {
    if (start < 0 || std::fseek(f, start + long(b) * long(r.map_nj) * long(sizeof(M)), SEEK_SET) != 0 ||
        !vil_load_read_exact(f, raw.data(), raw.size()))
      return vil_load_fail(path, "file is truncated");
    for (uint32_t e = 0; e < used; ++e) map[std::size_t(b) * used + e] = sample_at<M>(&raw[e * sizeof(M)], big);
  }
  if (std::fseek(f, start + long(data_at), SEEK_SET) != 0) return vil_load_fail(path, "file is truncated");

  vil_image_view<M> view = vil_load_interleaved_view<M>(r.ni, r.nj, r.map_ni);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<unsigned char> row(std::size_t(r.ni) * index_bytes);
  for (uint32_t j = 0; j < r.nj; ++j) {
    if (!vil_load_read_exact(f, row.data(), row.size())) return vil_load_fail(path, "file is truncated");
    M* d = view.top_left_ptr() + std::size_t(j) * view.jstep();
    for (uint32_t i = 0; i < r.ni; ++i) {
      const unsigned char* s = row.data() + std::size_t(i) * index_bytes;
      const uint32_t idx = index_bytes == 1   ? s[0]
                           : index_bytes == 2 ? sample_at<uint16_t>(s, big)
                                              : sample_at<uint32_t>(s, big);
      for (uint32_t b = 0; b < r.map_ni; ++b, ++d) *d = idx < used ? map[std::size_t(b) * used + idx] : M(0);
    }
  }
  return vil_load_result(view);
}
}  // namespace

bool vil_viff_probe(const unsigned char* h, std::size_t n)
{
  return n >= 2 && h[0] == 0xab && h[1] == 0x01;
}

vil_image_view_base_sptr vil_viff_read(const char* path, std::FILE* f)
{
  unsigned char h[header_bytes];
  if (!vil_load_read_exact(f, h, sizeof h)) return vil_load_fail(path, "truncated VIFF header");
  bool big = h[4] == DEP_IEEEORDER;
  if (!big && h[4] != DEP_DECORDER && h[4] != DEP_NSORDER)
    return vil_load_fail(path, "unsupported VIFF machine dependency (not IEEE byte order)");
  header_fields r = parse(h, big);
  if (!plausible(r) && plausible(parse(h, !big))) {
    big = !big;
    r = parse(h, big);
  }
  if (r.encoding != 0) return vil_load_fail(path, "encoded (compressed) VIFF data is not supported");
  if (r.images == 0 || r.bands == 0) return vil_load_fail(path, "VIFF file holds no image data");
  const unsigned bytes = type_bytes(r.storage);
  if (r.storage == TYP_BIT || r.storage == TYP_COMPLEX || r.storage == TYP_DCOMPLEX || bytes == 0)
    return vil_load_fail(path, "unsupported VIFF data storage type");
  if (!vil_load_size_ok(path, r.ni, r.nj, r.bands, bytes)) return vil_image_view_base_sptr();

  // Skip the colour map and the explicit pixel locations before the data.
  unsigned long long skip = 0;
  if (r.map_scheme != 0) {
    const unsigned mb = type_bytes(r.map_storage);
    if (mb == 0) return vil_load_fail(path, "unsupported VIFF colour map type");
    if (__builtin_mul_overflow((unsigned long long)r.map_ni * r.map_nj, (unsigned long long)mb, &skip))
      return vil_load_fail(path, "file is truncated");
  }
  unsigned long long loc = 0;
  if (r.location_type == LOC_EXPLICIT &&
      __builtin_mul_overflow((unsigned long long)r.ni * r.nj, (unsigned long long)r.location_dim * 4, &loc))
    return vil_load_fail(path, "file is truncated");
  const unsigned long long data = (unsigned long long)r.ni * r.nj * r.bands * bytes;
  const unsigned long long left = vil_load_bytes_left(f);
  if (skip > left || loc > left - skip || data > left - skip - loc)
    return vil_load_fail(path, "file is truncated");

  // VXL hands back the indices of a mapped band; they are shown through the
  // map here.  Maps of several data bands, or of more than 4 values an
  // entry, are skipped.
  if (r.map_scheme != 0 && r.bands == 1 && r.map_ni >= 1 && r.map_ni <= 4 && r.map_nj > 0 &&
      (r.storage == TYP_1_BYTE || r.storage == TYP_2_BYTE || r.storage == TYP_4_BYTE)) {
    switch (r.map_storage) {
      case TYP_1_BYTE: return read_mapped<vxl_byte>(path, f, r, big, bytes, skip + loc);
      case TYP_2_BYTE: return read_mapped<vxl_uint_16>(path, f, r, big, bytes, skip + loc);
      case TYP_4_BYTE: return read_mapped<vxl_uint_32>(path, f, r, big, bytes, skip + loc);
      case TYP_FLOAT: return read_mapped<float>(path, f, r, big, bytes, skip + loc);
      case TYP_DOUBLE: return read_mapped<double>(path, f, r, big, bytes, skip + loc);
      default: break;
    }
  }
  if (std::fseek(f, long(skip + loc), SEEK_CUR) != 0) return vil_load_fail(path, "file is truncated");

  switch (r.storage) {
    case TYP_1_BYTE: return read_bands<vxl_byte>(path, f, r, big);
    case TYP_2_BYTE: return read_bands<vxl_uint_16>(path, f, r, big);
    case TYP_4_BYTE: return read_bands<vxl_uint_32>(path, f, r, big);
    case TYP_FLOAT: return read_bands<float>(path, f, r, big);
    default: return read_bands<double>(path, f, r, big);
  }
}

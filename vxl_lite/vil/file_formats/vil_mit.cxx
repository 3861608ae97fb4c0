#include <vil/file_formats/vil_mit.h>

#include <cstdint>
#include <vector>
#include <vil/vil_load_support.h>

namespace
{
enum { MIT_UNSIGNED = 1, MIT_RGB = 2 };

unsigned le16(const unsigned char* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }
}  // namespace

bool vil_mit_probe(const unsigned char* h, std::size_t n)
{
  if (n < 8) return false;
  const unsigned type = le16(h), bits = le16(h + 2);
  return (type == MIT_UNSIGNED || type == MIT_RGB) && (bits == 8 || bits == 16) && le16(h + 4) > 0 &&
         le16(h + 6) > 0;
}

vil_image_view_base_sptr vil_mit_read(const char* path, std::FILE* f)
{
  unsigned char h[8];
  if (!vil_load_read_exact(f, h, sizeof h) || !vil_mit_probe(h, sizeof h))
    return vil_load_fail(path, "not a MIT image");
  const unsigned ni = le16(h + 4), nj = le16(h + 6), bytes = le16(h + 2) / 8;
  const unsigned np = le16(h) == MIT_RGB ? 3 : 1;
  if (!vil_load_size_ok(path, ni, nj, np, bytes)) return vil_image_view_base_sptr();
  // Without a magic number only the exact length tells a MIT file from others.
  const std::size_t n = std::size_t(ni) * nj * np;
  if (vil_load_bytes_left(f) != n * bytes)
    return vil_load_fail(path, "unknown or unsupported image format (file length does not fit a MIT image)");
  if (bytes == 1) {
    vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(ni, nj, np);
    if (!vil_load_read_exact(f, view.top_left_ptr(), n)) return vil_load_fail(path, "file is truncated");
    return vil_load_result(view);
  }
  vil_image_view<vxl_uint_16> view = vil_load_interleaved_view<vxl_uint_16>(ni, nj, np);
  std::vector<unsigned char> raw(n * 2);
  if (!vil_load_read_exact(f, raw.data(), raw.size())) return vil_load_fail(path, "file is truncated");
  vxl_uint_16* d = view.top_left_ptr();
  for (std::size_t k = 0; k < n; ++k) d[k] = vxl_uint_16(le16(raw.data() + 2 * k));
  return vil_load_result(view);
}

#include <vil/vil_load.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vil/file_formats/vil_bmp.h>
#include <vil/file_formats/vil_j2k.h>
#include <vil/file_formats/vil_jpeg.h>
#include <vil/file_formats/vil_mit.h>
#include <vil/file_formats/vil_nitf.h>
#include <vil/file_formats/vil_png.h>
#include <vil/file_formats/vil_pnm.h>
#include <vil/file_formats/vil_ras.h>
#include <vil/file_formats/vil_sgi.h>
#include <vil/file_formats/vil_tiff.h>
#include <vil/file_formats/vil_viff.h>
#include <vil/vil_load_support.h>

namespace
{
std::atomic<std::size_t> max_bytes{std::size_t(1) << 30};

typedef bool (*probe_fn)(const unsigned char* head, std::size_t n);
typedef vil_image_view_base_sptr (*read_fn)(const char* path, std::FILE* f);

// DICOM is known by its magic bytes but not read; naming it gives a
// clearer refusal than "unknown format".
bool is_dicom(const unsigned char* h, std::size_t n) { return n >= 132 && std::memcmp(h + 128, "DICM", 4) == 0; }

struct file_format
{
  const char* name;
  probe_fn probe;
  read_fn read;  // null: recognised but not supported
};

// Tried in order; the first whose probe accepts the file's first bytes reads it.
const file_format formats[] = {
    {"PNG", vil_png_probe, vil_png_read},
    {"JPEG", vil_jpeg_probe, vil_jpeg_read},
    {"TIFF", vil_tiff_probe, vil_tiff_read},
    {"PNM", vil_pnm_probe, vil_pnm_read},
    {"BMP", vil_bmp_probe, vil_bmp_read},
    {"Sun raster", vil_ras_probe, vil_ras_read},
    {"SGI", vil_sgi_probe, vil_sgi_read},
    {"VIFF", vil_viff_probe, vil_viff_read},
    {"NITF", vil_nitf_probe, vil_nitf_read},
    {"DICOM", is_dicom, nullptr},
    {"JPEG 2000", vil_j2k_probe, vil_j2k_read},
    // No magic number: last, so that it never shadows another format.
    {"MIT", vil_mit_probe, vil_mit_read},
};

struct file_closer
{
  void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

void vil_load_set_max_bytes(std::size_t n) { max_bytes = n; }

std::size_t vil_load_max_bytes() { return max_bytes; }

vil_image_view_base_sptr vil_load(const std::string& path) { return vil_load(path.c_str()); }

vil_image_view_base_sptr vil_load(const char* path, std::string* why)
{
  if (!why) return vil_load(path);
  why->clear();
  std::string* const was = vil_error_redirect(why);
  vil_image_view_base_sptr image = vil_load(path);
  vil_error_redirect(was);
  // A reader that fails says why; this is for one that did not.
  if (!image && why->empty()) *why = "cannot be read";
  return image;
}

vil_image_view_base_sptr vil_load(const char* path)
{
  if (!path || !*path) return vil_load_fail("", "no file name given");
  // Only regular files: a FIFO or a device could block or never end.
  struct stat st;
  if (::stat(path, &st) != 0) return vil_load_fail(path, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return vil_load_fail(path, "not a regular file");
  std::unique_ptr<std::FILE, file_closer> f(std::fopen(path, "rb"));
  if (!f) return vil_load_fail(path, std::strerror(errno));

  unsigned char head[132];
  const std::size_t n = std::fread(head, 1, sizeof head, f.get());
  if (n == 0) return vil_load_fail(path, "empty file");
  for (const file_format& ff : formats) {
    if (!ff.probe(head, n)) continue;
    if (!ff.read) return vil_load_fail(path, (std::string(ff.name) + " files are not supported").c_str());
    if (std::fseek(f.get(), 0, SEEK_SET) != 0) return vil_load_fail(path, std::strerror(errno));
    return ff.read(path, f.get());
  }
  return vil_load_fail(path, "unknown or unsupported image format");
}

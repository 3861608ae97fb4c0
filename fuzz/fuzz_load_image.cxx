// vil_load on the bytes of one image format.  Built once per format
// (FUZZ_FORMAT_PNG, _JPEG, _TIFF, _PNM, _BMP, _RAS, _VIFF, _MIT, _SGI, _NITF,
// _J2K): an input that does not start
// like that format gets its signature put in front, so every run reaches the
// format's reader.  Checked: a refusal is exactly one "vil_load: " line; a
// loaded image has pixels within the size limit, every one of which can be
// read (the sanitizers watch those reads).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
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
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>
#include <vil/vil_load_page.h>
#include "fuzz_support.h"

namespace
{
// Keeps one input's pixel memory small, so that a run is never stopped by
// its memory or time limit on an image the program would have refused.
const std::size_t fuzz_max_bytes = std::size_t(4) << 20;

#if defined(FUZZ_FORMAT_PNG)
bool (*const probe)(const unsigned char*, std::size_t) = vil_png_probe;
const std::string signature("\x89PNG\r\n\x1a\n", 8);
#elif defined(FUZZ_FORMAT_JPEG)
bool (*const probe)(const unsigned char*, std::size_t) = vil_jpeg_probe;
const std::string signature("\xff\xd8\xff", 3);
#elif defined(FUZZ_FORMAT_TIFF)
bool (*const probe)(const unsigned char*, std::size_t) = vil_tiff_probe;
const std::string signature("II*\0", 4);
#elif defined(FUZZ_FORMAT_PNM)
bool (*const probe)(const unsigned char*, std::size_t) = vil_pnm_probe;
const std::string signature("P5\n", 3);
#elif defined(FUZZ_FORMAT_BMP)
bool (*const probe)(const unsigned char*, std::size_t) = vil_bmp_probe;
// "BM", file size, reserved, pixel offset, then a 40-byte header's size field.
const std::string signature("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
#elif defined(FUZZ_FORMAT_RAS)
bool (*const probe)(const unsigned char*, std::size_t) = vil_ras_probe;
const std::string signature("\x59\xa6\x6a\x95", 4);
#elif defined(FUZZ_FORMAT_VIFF)
bool (*const probe)(const unsigned char*, std::size_t) = vil_viff_probe;
const std::string signature("\xab\x01", 2);
#elif defined(FUZZ_FORMAT_MIT)
bool (*const probe)(const unsigned char*, std::size_t) = vil_mit_probe;
const std::string signature("\x01\0\x08\0", 4);  // 8-bit grey; the size follows from the input
#elif defined(FUZZ_FORMAT_SGI)
bool (*const probe)(const unsigned char*, std::size_t) = vil_sgi_probe;
const std::string signature("\x01\xda", 2);
#elif defined(FUZZ_FORMAT_NITF)
bool (*const probe)(const unsigned char*, std::size_t) = vil_nitf_probe;
const std::string signature("NITF02.10", 9);
#elif defined(FUZZ_FORMAT_J2K)
bool (*const probe)(const unsigned char*, std::size_t) = vil_j2k_probe;
const std::string signature("\xff\x4f\xff\x51", 4);
#else
#error "define one FUZZ_FORMAT_*"
#endif

template <class T>
void read_every_pixel(const vil_image_view_base& base)
{
  const vil_image_view<T>& v = static_cast<const vil_image_view<T>&>(base);
  FUZZ_CHECK(v.top_left_ptr() != nullptr, v.is_a());
  double sum = 0;
  for (unsigned p = 0; p < v.nplanes(); ++p)
    for (unsigned j = 0; j < v.nj(); ++j)
      for (unsigned i = 0; i < v.ni(); ++i) sum += double(v(i, j, p));
  // Keeps the loop from being optimised away.
  volatile double sink = sum;
  (void)sink;
}

// A loaded image has pixels within the size limit, every one readable.
void check_loaded(const vil_image_view_base& im, const std::string& err)
{
  FUZZ_CHECK(im.ni() > 0 && im.nj() > 0 && im.nplanes() > 0, err);
  const unsigned bytes_per_sample = vil_pixel_format_sizeof_components(im.pixel_format());
  FUZZ_CHECK(bytes_per_sample > 0, err);
  FUZZ_CHECK((unsigned long long)im.size() * bytes_per_sample <= fuzz_max_bytes, err);
  switch (im.pixel_format()) {
    case VIL_PIXEL_FORMAT_BOOL: read_every_pixel<bool>(im); break;
    case VIL_PIXEL_FORMAT_BYTE: read_every_pixel<vxl_byte>(im); break;
    case VIL_PIXEL_FORMAT_SBYTE: read_every_pixel<vxl_sbyte>(im); break;
    case VIL_PIXEL_FORMAT_UINT_16: read_every_pixel<vxl_uint_16>(im); break;
    case VIL_PIXEL_FORMAT_INT_16: read_every_pixel<vxl_int_16>(im); break;
    case VIL_PIXEL_FORMAT_UINT_32: read_every_pixel<vxl_uint_32>(im); break;
    case VIL_PIXEL_FORMAT_INT_32: read_every_pixel<vxl_int_32>(im); break;
    case VIL_PIXEL_FORMAT_FLOAT: read_every_pixel<float>(im); break;
    case VIL_PIXEL_FORMAT_DOUBLE: read_every_pixel<double>(im); break;
    default: fuzz_fail("unexpected pixel format", im.is_a());
  }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  vil_load_set_max_bytes(fuzz_max_bytes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  std::vector<std::uint8_t> bytes;
  if (!probe(data, size)) bytes.assign(signature.begin(), signature.end());
  bytes.insert(bytes.end(), data, data + size);
  const fuzz_file file(bytes.data(), bytes.size());

  vil_image_view_base_sptr im;
  std::string err;
  {
    fuzz_cerr_capture capture;
    im = vil_load(file.path());
    err = capture.text();
  }
  if (!im) {
    FUZZ_CHECK(fuzz_count_lines(err) == 1 && err.back() == '\n', err);
    FUZZ_CHECK(err.compare(0, 10, "vil_load: ") == 0, err);
    return 0;
  }
  check_loaded(*im, err);
  // What the program does with a file: take it as 8-bit pixels or nothing.
  vil_image_view<vxl_byte> bytes_view;
  {
    fuzz_cerr_capture capture;  // another format gives a warning and an empty view
    bytes_view = im;
  }
  FUZZ_CHECK(bytes_view.size() == 0 || im->pixel_format() == VIL_PIXEL_FORMAT_BYTE, im->is_a());
#if defined(FUZZ_FORMAT_TIFF)
  // The later pages, as a sequence reads them; a refusal says why.
  std::string why;
  const unsigned pages = vil_load_page_count(file.path(), why);
  FUZZ_CHECK(pages > 0 || !why.empty(), "page count");
  for (unsigned page = 1; page < pages && page < 16; ++page) {
    const vil_image_view_base_sptr p = vil_load_page(file.path(), page, why);
    if (p) check_loaded(*p, why);
    else FUZZ_CHECK(!why.empty(), "page refusal");
  }
#endif
  return 0;
}

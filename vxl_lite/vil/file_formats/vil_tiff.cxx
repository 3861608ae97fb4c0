#include <vil/file_formats/vil_tiff.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <tiffio.h>
#include <type_traits>
#include <vector>
#include <vil/file_formats/vil_cmyk_to_rgb.h>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>

namespace
{
// libtiff reports through callbacks and return codes; keep the first error.
struct tiff_errors
{
  std::string first;
};

int on_error(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
  tiff_errors* e = static_cast<tiff_errors*>(user);
  if (e->first.empty()) {
    char buf[256];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    e->first = std::string(module ? module : "libtiff") + ": " + buf;
  }
  return 1;
}

int on_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct tiff_closer
{
  void operator()(TIFF* t) const { TIFFClose(t); }
};

// The layout of the first image and where its samples go.
struct tiff_layout
{
  uint32_t ni, nj;
  uint16_t spp, bps, format, planar;
};

// Copies n pixels of one decoded row (or tile row) into row j of view,
// starting at column i0.  src holds per pixel `count` samples of bps bits
// that go to planes p0 .. p0 + count - 1.
template <class T>
void put_row(vil_image_view<T>& view, const unsigned char* src, unsigned bps, unsigned i0,
             unsigned j, unsigned n, unsigned p0, unsigned count)
{
  T* row = view.top_left_ptr() + std::size_t(j) * view.jstep();
  const unsigned np = view.nplanes();
  if (bps == 1) {
    for (unsigned k = 0; k < n * count; ++k) {
      const unsigned i = i0 + k / count, p = p0 + k % count;
      row[std::size_t(i) * np + p] = T((src[k >> 3] >> (7 - (k & 7))) & 1);
    }
    return;
  }
  const T* s = reinterpret_cast<const T*>(src);
  if (p0 == 0 && count == np) {
    std::memcpy(row + std::size_t(i0) * np, s, std::size_t(n) * np * sizeof(T));
    return;
  }
  for (unsigned k = 0; k < n; ++k)
    for (unsigned c = 0; c < count; ++c) row[std::size_t(i0 + k) * np + p0 + c] = s[k * count + c];
}

template <class T>
vil_image_view_base_sptr read_native(const char* path, TIFF* tif, const tiff_layout& L,
                                     const tiff_errors& errs)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(L.ni, L.nj, L.spp);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  const bool separate = L.planar == PLANARCONFIG_SEPARATE && L.spp > 1;
  const unsigned count = separate ? 1 : L.spp;  // samples per pixel in one decoded unit
  const unsigned passes = separate ? L.spp : 1;
  auto failed = [&](const char* what) {
    return vil_load_fail(path, errs.first.empty() ? what : errs.first.c_str());
  };
  if (TIFFIsTiled(tif)) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    const uint64_t row_bytes = (uint64_t(tw) * count * L.bps + 7) / 8;
    const uint64_t tile_bytes = uint64_t(TIFFTileSize64(tif));
    if (tw == 0 || th == 0 || tile_bytes < row_bytes * th || tile_bytes > vil_load_max_bytes())
      return failed("bad tile size");
    std::vector<unsigned char> buf(tile_bytes);
    for (unsigned s = 0; s < passes; ++s)
      for (uint32_t y = 0; y < L.nj; y += th)
        for (uint32_t x = 0; x < L.ni; x += tw) {
          if (TIFFReadTile(tif, buf.data(), x, y, 0, uint16_t(s)) < 0) return failed("bad tile");
          const unsigned n = std::min<uint32_t>(tw, L.ni - x);
          for (uint32_t r = 0; r < th && y + r < L.nj; ++r)
            put_row(view, buf.data() + r * row_bytes, L.bps, x, y + r, n, separate ? s : 0, count);
        }
  } else {
    const uint64_t row_bytes = (uint64_t(L.ni) * count * L.bps + 7) / 8;
    if (uint64_t(TIFFScanlineSize64(tif)) != row_bytes) return failed("unexpected scanline size");
    std::vector<unsigned char> buf(row_bytes);
    for (unsigned s = 0; s < passes; ++s)
      for (uint32_t j = 0; j < L.nj; ++j) {
        if (TIFFReadScanline(tif, buf.data(), j, uint16_t(s)) < 0) return failed("bad scanline");
        put_row(view, buf.data(), L.bps, 0, j, L.ni, separate ? s : 0, count);
      }
  }
  return vil_load_result(view);
}

// Min-is-white grey turned the right way round: unsigned samples (and
// bits) of the first plane become max - v.
template <class T>
void invert_grey(vil_image_view_base& base)
{
  vil_image_view<T>& v = static_cast<vil_image_view<T>&>(base);
  for (unsigned j = 0; j < v.nj(); ++j)
    for (unsigned i = 0; i < v.ni(); ++i) v(i, j, 0) = T(std::numeric_limits<T>::max() - v(i, j, 0));
}

// CMYK (and any extra samples after it) as RGB (and the extras), in place:
// the view keeps its memory with one plane fewer.
template <class T>
vil_image_view_base_sptr cmyk_as_rgb(const vil_image_view_base_sptr& base)
{
  vil_image_view<T>& v = static_cast<vil_image_view<T>&>(*base);
  const unsigned ni = v.ni(), nj = v.nj(), np = v.nplanes();
  T* data = v.top_left_ptr();  // interleaved rows, as read
  const std::size_t n = std::size_t(ni) * nj;
  for (std::size_t k = 0; k < n; ++k) {
    vil_cmyk_to_rgb(data + k * np, np, data + k * (np - 1), np - 1, 1, false);
    for (unsigned p = 4; p < np; ++p) data[k * (np - 1) + p - 1] = data[k * np + p];
  }
  return vil_load_result(vil_image_view<T>(v.memory_chunk(), data, ni, nj, np - 1, np - 1,
                                           std::ptrdiff_t(ni) * (np - 1), 1));
}

// VXL hands back the stored samples; min-is-white and CMYK files are turned
// into the picture they show.
vil_image_view_base_sptr as_shown(const vil_image_view_base_sptr& im, uint16_t photometric, uint16_t inkset)
{
  const vil_pixel_format f = im->pixel_format();
  if (photometric == PHOTOMETRIC_MINISWHITE) {
    // Signed and real samples have no white to count from; they stay as stored.
    if (f == VIL_PIXEL_FORMAT_BOOL) {
      invert_grey<bool>(*im);
    } else if (f == VIL_PIXEL_FORMAT_BYTE) {
      invert_grey<vxl_byte>(*im);
    } else if (f == VIL_PIXEL_FORMAT_UINT_16) {
      invert_grey<vxl_uint_16>(*im);
    } else if (f == VIL_PIXEL_FORMAT_UINT_32) {
      invert_grey<vxl_uint_32>(*im);
    }
  } else if (photometric == PHOTOMETRIC_SEPARATED && inkset == INKSET_CMYK && im->nplanes() >= 4) {
    if (f == VIL_PIXEL_FORMAT_BYTE) return cmyk_as_rgb<vxl_byte>(im);
    if (f == VIL_PIXEL_FORMAT_UINT_16) return cmyk_as_rgb<vxl_uint_16>(im);
  }
  return im;
}

// Anything libtiff can turn into 8-bit RGBA (palettes, YCbCr, odd depths).
vil_image_view_base_sptr read_rgba(const char* path, TIFF* tif, const tiff_layout& L,
                                   const tiff_errors& errs)
{
  uint16_t extra = 0;
  uint16_t* extra_types = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &extra_types);
  const unsigned np = extra > 0 ? 4 : 3;
  if (!vil_load_size_ok(path, L.ni, L.nj, 4, 1)) return vil_image_view_base_sptr();
  std::vector<uint32_t> raster(std::size_t(L.ni) * L.nj);
  if (!TIFFReadRGBAImageOriented(tif, L.ni, L.nj, raster.data(), ORIENTATION_TOPLEFT, 0))
    return vil_load_fail(path, errs.first.empty() ? "cannot decode TIFF image" : errs.first.c_str());
  vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(L.ni, L.nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  for (uint32_t j = 0; j < L.nj; ++j)
    for (uint32_t i = 0; i < L.ni; ++i) {
      const uint32_t v = raster[std::size_t(j) * L.ni + i];
      vxl_byte* px = view.top_left_ptr() + std::size_t(j) * view.jstep() + std::size_t(i) * np;
      px[0] = vxl_byte(TIFFGetR(v));
      px[1] = vxl_byte(TIFFGetG(v));
      px[2] = vxl_byte(TIFFGetB(v));
      if (np == 4) px[3] = vxl_byte(TIFFGetA(v));
    }
  return vil_load_result(view);
}
}  // namespace

bool vil_tiff_probe(const unsigned char* h, std::size_t n)
{
  if (n < 4) return false;
  const bool ii = h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0;
  const bool mm = h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43);
  return ii || mm;
}

namespace
{
// Opens path for reading, errors to errs, allocations capped as every reader's.
std::unique_ptr<TIFF, tiff_closer> open_tiff(const char* path, tiff_errors& errs)
{
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(opts, on_error, &errs);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, on_warning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(vil_load_max_bytes()));
  // "m": read, not memory-map, so a file cut short meanwhile gives an error, not a signal.
  std::unique_ptr<TIFF, tiff_closer> tif(TIFFOpenExt(path, "rm", opts));
  TIFFOpenOptionsFree(opts);
  return tif;
}

vil_image_view_base_sptr open_failed(const char* path, const tiff_errors& errs)
{
  return vil_load_fail(path, errs.first.empty() ? "cannot open TIFF" : errs.first.c_str());
}

// The image of the directory tif is on.
vil_image_view_base_sptr read_directory(const char* path, const std::unique_ptr<TIFF, tiff_closer>& tif,
                                        const tiff_errors& errs)
{
  tiff_layout L{};
  uint16_t photometric = PHOTOMETRIC_MINISBLACK, compression = COMPRESSION_NONE, inkset = INKSET_CMYK;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &L.ni) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &L.nj))
    return vil_load_fail(path, "TIFF image without width or height");
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &L.spp);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &L.bps);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &L.format);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &L.planar);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_INKSET, &inkset);

  const bool plain_photometric = photometric == PHOTOMETRIC_MINISBLACK ||
                                 photometric == PHOTOMETRIC_MINISWHITE ||
                                 photometric == PHOTOMETRIC_RGB ||
                                 photometric == PHOTOMETRIC_SEPARATED;
  const bool uint = L.format == SAMPLEFORMAT_UINT || L.format == SAMPLEFORMAT_VOID;
  const bool sint = L.format == SAMPLEFORMAT_INT;
  const bool real = L.format == SAMPLEFORMAT_IEEEFP;
  if (plain_photometric && L.spp > 0) {
    const unsigned bytes = L.bps < 8 ? 1 : L.bps / 8;
    typedef vil_image_view_base_sptr (*reader)(const char*, TIFF*, const tiff_layout&,
                                               const tiff_errors&);
    reader r = nullptr;
    if (L.bps == 1 && L.spp == 1) r = read_native<bool>;
    else if (L.bps == 8 && sint) r = read_native<vxl_sbyte>;
    else if (L.bps == 8) r = read_native<vxl_byte>;
    else if (L.bps == 16 && sint) r = read_native<vxl_int_16>;
    else if (L.bps == 16 && uint) r = read_native<vxl_uint_16>;
    else if (L.bps == 32 && sint) r = read_native<vxl_int_32>;
    else if (L.bps == 32 && uint) r = read_native<vxl_uint_32>;
    else if (L.bps == 32 && real) r = read_native<float>;
    else if (L.bps == 64 && real) r = read_native<double>;
    if (r) {
      if (!vil_load_size_ok(path, L.ni, L.nj, L.spp, bytes)) return vil_image_view_base_sptr();
      const vil_image_view_base_sptr im = r(path, tif.get(), L, errs);
      return im ? as_shown(im, photometric, inkset) : im;
    }
  }
  char why[1024] = "";
  if (TIFFRGBAImageOK(tif.get(), why)) return read_rgba(path, tif.get(), L, errs);
  return vil_load_fail(path, (std::string("unsupported TIFF image: ") + why).c_str());
}
}  // namespace

vil_image_view_base_sptr vil_tiff_read(const char* path, std::FILE*)
{
  tiff_errors errs;
  const std::unique_ptr<TIFF, tiff_closer> tif = open_tiff(path, errs);
  return tif ? read_directory(path, tif, errs) : open_failed(path, errs);
}

unsigned vil_tiff_page_count(const char* path, unsigned most, std::string& why)
{
  tiff_errors errs;
  const std::unique_ptr<TIFF, tiff_closer> tif = open_tiff(path, errs);
  if (!tif) {
    why = errs.first.empty() ? "cannot open TIFF" : errs.first;
    return 0;
  }
  // Follows the chain of pages without reading them; libtiff stops a chain
  // that loops.  A link that leads nowhere is an error, not an end.
  const tdir_t n = TIFFNumberOfDirectories(tif.get());
  if (!errs.first.empty()) {
    why = "page " + std::to_string(n + 1) + " cannot be read: " + errs.first;
    return 0;
  }
  if (n > most) {
    why = "more than " + std::to_string(most) + " pages";
    return 0;
  }
  return unsigned(n);
}

vil_image_view_base_sptr vil_tiff_read_page(const char* path, unsigned page)
{
  tiff_errors errs;
  const std::unique_ptr<TIFF, tiff_closer> tif = open_tiff(path, errs);
  if (!tif) return open_failed(path, errs);
  if (page > 0 && !TIFFSetDirectory(tif.get(), tdir_t(page))) {
    const std::string why = "page " + std::to_string(page + 1) + " cannot be read" +
                            (errs.first.empty() ? std::string(": there is no such page") : ": " + errs.first);
    return vil_load_fail(path, why.c_str());
  }
  return read_directory(path, tif, errs);
}

namespace
{
// libtiff writes through these onto the file vil_save opened (and closes).
tmsize_t file_read(thandle_t h, void* buf, tmsize_t n)
{
  return tmsize_t(std::fread(buf, 1, std::size_t(n), static_cast<std::FILE*>(h)));
}
tmsize_t file_write(thandle_t h, void* buf, tmsize_t n)
{
  return tmsize_t(std::fwrite(buf, 1, std::size_t(n), static_cast<std::FILE*>(h)));
}
toff_t file_seek(thandle_t h, toff_t off, int whence)
{
  std::FILE* f = static_cast<std::FILE*>(h);
  if (fseeko(f, off_t(off), whence) != 0) return toff_t(-1);
  return toff_t(ftello(f));
}
int file_close(thandle_t) { return 0; }
toff_t file_size(thandle_t h)
{
  std::FILE* f = static_cast<std::FILE*>(h);
  struct stat st;
  return std::fflush(f) == 0 && fstat(fileno(f), &st) == 0 ? toff_t(st.st_size) : 0;
}
int file_no_map(thandle_t, void**, toff_t*) { return 0; }
void file_no_unmap(thandle_t, void*, toff_t) {}

template <class T>
bool write_rows(TIFF* tif, const vil_image_view_base& view)
{
  const vil_image_view<T>& v = static_cast<const vil_image_view<T>&>(view);
  if constexpr (std::is_same<T, bool>::value) {
    std::vector<unsigned char> row((std::size_t(v.ni()) + 7) / 8);
    for (unsigned j = 0; j < v.nj(); ++j) {
      std::fill(row.begin(), row.end(), 0);
      for (unsigned i = 0; i < v.ni(); ++i)
        if (v(i, j)) row[i >> 3] |= (unsigned char)(0x80 >> (i & 7));
      if (TIFFWriteScanline(tif, row.data(), j, 0) < 0) return false;
    }
  } else {
    std::vector<T> row(std::size_t(v.ni()) * v.nplanes());
    for (unsigned j = 0; j < v.nj(); ++j) {
      vil_save_interleaved_row(v, j, row.data());
      if (TIFFWriteScanline(tif, row.data(), j, 0) < 0) return false;
    }
  }
  return true;
}

// The pixel types the reader gives back, as TIFF stores them.
struct tiff_sample
{
  vil_pixel_format format;
  uint16_t bits, sample_format;
  bool (*write)(TIFF*, const vil_image_view_base&);
};
const tiff_sample tiff_samples[] = {
    {VIL_PIXEL_FORMAT_BOOL, 1, SAMPLEFORMAT_UINT, write_rows<bool>},
    {VIL_PIXEL_FORMAT_BYTE, 8, SAMPLEFORMAT_UINT, write_rows<vxl_byte>},
    {VIL_PIXEL_FORMAT_SBYTE, 8, SAMPLEFORMAT_INT, write_rows<vxl_sbyte>},
    {VIL_PIXEL_FORMAT_UINT_16, 16, SAMPLEFORMAT_UINT, write_rows<vxl_uint_16>},
    {VIL_PIXEL_FORMAT_INT_16, 16, SAMPLEFORMAT_INT, write_rows<vxl_int_16>},
    {VIL_PIXEL_FORMAT_UINT_32, 32, SAMPLEFORMAT_UINT, write_rows<vxl_uint_32>},
    {VIL_PIXEL_FORMAT_INT_32, 32, SAMPLEFORMAT_INT, write_rows<vxl_int_32>},
    {VIL_PIXEL_FORMAT_FLOAT, 32, SAMPLEFORMAT_IEEEFP, write_rows<float>},
    {VIL_PIXEL_FORMAT_DOUBLE, 64, SAMPLEFORMAT_IEEEFP, write_rows<double>},
};
}  // namespace

bool vil_tiff_write(const char* path, std::FILE* f, const vil_image_view_base& view)
{
  const tiff_sample* s = nullptr;
  for (const tiff_sample& t : tiff_samples)
    if (t.format == view.pixel_format()) s = &t;
  const unsigned np = view.nplanes();
  if (!s || view.size() == 0 || np > 65535 || (s->bits == 1 && np != 1))
    return vil_save_refuse(path, view, "TIFF",
                           "bool images of 1 plane, or 8-, 16- and 32-bit integer, float and "
                           "double images");
  tiff_errors errs;
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return vil_save_fail(path, "libtiff could not start");
  TIFFOpenOptionsSetErrorHandlerExtR(opts, on_error, &errs);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, on_warning, nullptr);
  // Classic TIFF addresses 4 GB; larger images go to BigTIFF.
  const unsigned long long bytes = (unsigned long long)(view.size()) * s->bits / 8;
  std::unique_ptr<TIFF, tiff_closer> tif(
      TIFFClientOpenExt(path, bytes > 0xf0000000ull ? "w8" : "w", f, file_read, file_write, file_seek,
                        file_close, file_size, file_no_map, file_no_unmap, opts));
  TIFFOpenOptionsFree(opts);
  if (!tif) return vil_save_fail(path, errs.first.empty() ? "libtiff could not start" : errs.first);

  TIFF* t = tif.get();
  const uint16_t colour = np >= 3 ? 3 : 1, extra = uint16_t(np - colour);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(view.ni()));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(view.nj()));
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(np));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s->bits);
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, s->sample_format);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, colour == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  if (extra) {
    // A fourth plane of colour or a second of grey is alpha, as the readers take it.
    std::vector<uint16_t> kinds(extra, EXTRASAMPLE_UNSPECIFIED);
    if (np == 2 || np == 4) kinds[0] = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, extra, kinds.data());
  }
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  // libtiff reads a short write as a full file; say what happened.
  if (!s->write(t, view) || !TIFFFlush(t) || !errs.first.empty())
    return vil_save_fail(path, errs.first.empty() || std::ferror(f) ? "write failed" : errs.first);
  return true;
}

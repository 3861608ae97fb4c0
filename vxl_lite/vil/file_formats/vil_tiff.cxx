#include <vil/file_formats/vil_tiff.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <tiffio.h>
#include <vector>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>

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

vil_image_view_base_sptr vil_tiff_read(const char* path, std::FILE*)
{
  tiff_errors errs;
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return vil_load_fail(path, "libtiff could not start");
  TIFFOpenOptionsSetErrorHandlerExtR(opts, on_error, &errs);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, on_warning, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(vil_load_max_bytes()));
  // "m": read, not memory-map, so a file cut short meanwhile gives an error, not a signal.
  std::unique_ptr<TIFF, tiff_closer> tif(TIFFOpenExt(path, "rm", opts));
  TIFFOpenOptionsFree(opts);
  if (!tif) return vil_load_fail(path, errs.first.empty() ? "cannot open TIFF" : errs.first.c_str());

  tiff_layout L{};
  uint16_t photometric = PHOTOMETRIC_MINISBLACK, compression = COMPRESSION_NONE;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &L.ni) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &L.nj))
    return vil_load_fail(path, "TIFF image without width or height");
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &L.spp);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &L.bps);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &L.format);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &L.planar);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);

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
      return r(path, tif.get(), L, errs);
    }
  }
  char why[1024] = "";
  if (TIFFRGBAImageOK(tif.get(), why)) return read_rgba(path, tif.get(), L, errs);
  return vil_load_fail(path, (std::string("unsupported TIFF image: ") + why).c_str());
}

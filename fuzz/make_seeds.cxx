// Writes the seed inputs of every fuzz target into <folder>/<target>/:
// small valid files of each kind, made here with the same writers the
// program and the image libraries use, so the fuzzers start from inputs
// that reach deep into each reader.
//   fuzz_make_seeds <folder>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <tiffio.h>
#include <vector>
#include <vil/vil_image_view.h>
#include <vil/vil_save.h>
#include <shape_data/vsml_bezier.h>
#include <shape_data/vsml_part.h>
#include <shape_data/vsml_parts.h>
#include <shape_data/vsml_points_2d.h>
#include <fuzz/image_bombs.h>
#include <vsl/vsl_b_ostream.h>
#include <vsl/vsl_binary_io.h>

namespace
{
std::string root;
int failures = 0;

std::string folder(const std::string& target)
{
  const std::string dir = root + "/" + target;
  ::mkdir(root.c_str(), 0777);
  ::mkdir(dir.c_str(), 0777);
  return dir + "/";
}

void put(const std::string& target, const std::string& name, const std::string& bytes)
{
  std::ofstream out(folder(target) + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "fuzz_make_seeds: cannot write %s/%s\n", target.c_str(), name.c_str());
    ++failures;
  }
}

void put(const std::string& target, const std::string& name, const image_bombs::bytes& bytes)
{
  put(target, name, std::string(bytes.begin(), bytes.end()));
}

void check(bool ok, const char* what)
{
  if (!ok) {
    std::fprintf(stderr, "fuzz_make_seeds: cannot make %s\n", what);
    ++failures;
  }
}

template <class T>
vil_image_view<T> pattern(unsigned ni, unsigned nj, unsigned np, unsigned mul)
{
  vil_image_view<T> v(ni, nj, np);
  for (unsigned p = 0; p < np; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) v(i, j, p) = T((i * 7 + j * 13 + p * 29) * mul);
  return v;
}

void png_and_pnm_seeds()
{
  const std::string png = folder("fuzz_load_png"), pnm = folder("fuzz_load_pnm");
  check(vil_save(pattern<vxl_byte>(7, 5, 1, 1), (png + "grey.png").c_str()), "grey.png");
  check(vil_save(pattern<vxl_byte>(6, 4, 2, 1), (png + "grey_alpha.png").c_str()), "grey_alpha.png");
  check(vil_save(pattern<vxl_byte>(5, 3, 3, 1), (png + "rgb.png").c_str()), "rgb.png");
  check(vil_save(pattern<vxl_byte>(4, 4, 4, 1), (png + "rgba.png").c_str()), "rgba.png");
  check(vil_save(pattern<vxl_uint_16>(5, 3, 1, 301), (png + "grey16.png").c_str()), "grey16.png");
  check(vil_save(pattern<vxl_byte>(7, 5, 1, 1), (pnm + "grey.pgm").c_str()), "grey.pgm");
  check(vil_save(pattern<vxl_byte>(5, 3, 3, 1), (pnm + "rgb.ppm").c_str()), "rgb.ppm");
  check(vil_save(pattern<vxl_uint_16>(5, 3, 3, 301), (pnm + "rgb16.ppm").c_str()), "rgb16.ppm");
  vil_image_view<bool> bits(11, 3);
  for (unsigned j = 0; j < 3; ++j)
    for (unsigned i = 0; i < 11; ++i) bits(i, j) = (i + j) % 3 == 0;
  check(vil_save(bits, (pnm + "bits.pbm").c_str()), "bits.pbm");
  put("fuzz_load_pnm", "plain.pbm", "P1\n# a comment\n5 2\n1 0 1 0 1\n01010\n");
  put("fuzz_load_pnm", "plain.pgm", "P2\n3 2\n65535\n0 1 2\n300 65535 7\n");
  put("fuzz_load_pnm", "plain.ppm", "P3 2 1 255 255 0 0 0 255 0\n");
}

void jpeg_seed(const std::string& name, unsigned ni, unsigned nj, int components, bool progressive)
{
  put("fuzz_load_jpeg", name,
      image_bombs::jpeg(ni, nj, components, [](unsigned k, unsigned j) { return k * 5 + j * 11; }, 80, progressive));
}

// A TIFF through libtiff itself, in whatever layout the tags ask for, of
// one or more pages.
void tiff_seed(const std::string& name, unsigned ni, unsigned nj, uint16_t spp, uint16_t bps,
               uint16_t format, uint16_t compression, uint16_t photometric, uint16_t planar,
               bool tiled, unsigned pages = 1)
{
  const std::string path = folder("fuzz_load_tiff") + name;
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (!t) return check(false, name.c_str());
  bool ok = true;
  for (unsigned page = 0; page < pages; ++page) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, ni);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, nj);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, format);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar);
    if ((spp == 4 && photometric != PHOTOMETRIC_SEPARATED) || spp == 2) {
      const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
      std::vector<uint16_t> r(1u << bps), g(1u << bps), b(1u << bps);
      for (std::size_t k = 0; k < r.size(); ++k) {
        r[k] = uint16_t(k * 4000);
        g[k] = uint16_t(65535 - k * 3000);
        b[k] = uint16_t(k * 1234);
      }
      TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    const unsigned per_unit = planar == PLANARCONFIG_SEPARATE ? 1 : spp;
    const unsigned passes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
    if (tiled) {
      TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
      std::vector<unsigned char> tile(TIFFTileSize(t));
      for (std::size_t k = 0; k < tile.size(); ++k) tile[k] = (unsigned char)(k * 3);
      for (unsigned s = 0; s < passes; ++s)
        for (unsigned y = 0; y < nj; y += 16)
          for (unsigned x = 0; x < ni; x += 16)
            ok = ok && TIFFWriteTile(t, tile.data(), x, y, 0, uint16_t(s)) >= 0;
    } else {
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2);
      std::vector<unsigned char> row((std::size_t(ni) * per_unit * bps + 7) / 8);
      for (unsigned s = 0; s < passes; ++s)
        for (unsigned j = 0; j < nj; ++j) {
          for (std::size_t k = 0; k < row.size(); ++k) row[k] = (unsigned char)(k * 7 + j * 13 + s + page * 29);
          if (format == SAMPLEFORMAT_IEEEFP && bps == 32)
            for (std::size_t k = 0; k + 4 <= row.size(); k += 4) {
              const float f = float(k) * 0.25f - float(j);
              std::memcpy(&row[k], &f, 4);
            }
          ok = ok && TIFFWriteScanline(t, row.data(), j, uint16_t(s)) >= 0;
        }
    }
    if (page + 1 < pages) ok = ok && TIFFWriteDirectory(t);
  }
  TIFFClose(t);
  check(ok, name.c_str());
}

void tiff_seeds()
{
  const uint16_t U = SAMPLEFORMAT_UINT, I = SAMPLEFORMAT_INT, F = SAMPLEFORMAT_IEEEFP;
  const uint16_t C = PLANARCONFIG_CONTIG, S = PLANARCONFIG_SEPARATE;
  const uint16_t grey = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
  tiff_seed("grey8.tif", 9, 5, 1, 8, U, COMPRESSION_NONE, grey, C, false);
  tiff_seed("rgb8_lzw.tif", 9, 5, 3, 8, U, COMPRESSION_LZW, rgb, C, false);
  tiff_seed("rgba8_deflate.tif", 9, 5, 4, 8, U, COMPRESSION_ADOBE_DEFLATE, rgb, C, false);
  tiff_seed("rgb8_packbits_planar.tif", 9, 5, 3, 8, U, COMPRESSION_PACKBITS, rgb, S, false);
  tiff_seed("grey16_tiled.tif", 20, 18, 1, 16, U, COMPRESSION_NONE, grey, C, true);
  tiff_seed("rgb8_tiled_planar.tif", 17, 17, 3, 8, U, COMPRESSION_LZW, rgb, S, true);
  tiff_seed("grey_int16.tif", 5, 3, 1, 16, I, COMPRESSION_NONE, grey, C, false);
  tiff_seed("grey_float.tif", 5, 3, 1, 32, F, COMPRESSION_NONE, grey, C, false);
  tiff_seed("bits.tif", 13, 3, 1, 1, U, COMPRESSION_CCITTRLE, PHOTOMETRIC_MINISWHITE, C, false);
  tiff_seed("palette4.tif", 7, 3, 1, 4, U, COMPRESSION_NONE, PHOTOMETRIC_PALETTE, C, false);
  tiff_seed("grey_alpha.tif", 5, 3, 2, 8, U, COMPRESSION_NONE, grey, C, false);
  tiff_seed("white8.tif", 9, 5, 1, 8, U, COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE, C, false);
  tiff_seed("cmyk8_lzw.tif", 9, 5, 4, 8, U, COMPRESSION_LZW, PHOTOMETRIC_SEPARATED, C, false);
  tiff_seed("cmyk16_planar.tif", 6, 4, 4, 16, U, COMPRESSION_NONE, PHOTOMETRIC_SEPARATED, S, false);
  // Sequences: the fuzz target reads every page.
  tiff_seed("pages_grey8.tif", 9, 5, 1, 8, U, COMPRESSION_NONE, grey, C, false, 3);
  tiff_seed("pages_rgb8_lzw_tiled.tif", 17, 17, 3, 8, U, COMPRESSION_LZW, rgb, C, true, 2);
}

void le(std::string& s, uint32_t v, int bytes)
{
  for (int k = 0; k < bytes; ++k) s += char((v >> (8 * k)) & 255);
}

// A BMP with a 40-byte header (or the 12-byte OS/2 one), the palette or
// masks given, and rows of the pattern.
void bmp_seed(const std::string& name, int ni, int nj, unsigned bitcount, unsigned compression,
              unsigned palette_entries, const std::vector<uint32_t>& masks, bool core = false)
{
  const unsigned dib = core ? 12 : 40;
  const unsigned entry = core ? 3 : 4;
  const unsigned stride = (unsigned(ni) * bitcount + 31) / 32 * 4;
  const unsigned rows = unsigned(nj < 0 ? -nj : nj);
  const unsigned offset = 14 + dib + palette_entries * entry + unsigned(masks.size()) * 4;
  std::string b = "BM";
  le(b, offset + stride * rows, 4);
  le(b, 0, 4);
  le(b, offset, 4);
  le(b, dib, 4);
  if (core) {
    le(b, unsigned(ni), 2);
    le(b, unsigned(nj), 2);
    le(b, 1, 2);
    le(b, bitcount, 2);
  } else {
    le(b, unsigned(ni), 4);
    le(b, unsigned(nj), 4);
    le(b, 1, 2);
    le(b, bitcount, 2);
    le(b, compression, 4);
    le(b, stride * rows, 4);
    le(b, 2835, 4);
    le(b, 2835, 4);
    le(b, palette_entries, 4);
    le(b, 0, 4);
  }
  for (uint32_t m : masks) le(b, m, 4);
  for (unsigned k = 0; k < palette_entries; ++k) {
    b += char(k * 40);
    b += char(255 - k * 30);
    b += char(k * 17);
    if (!core) b += char(0);
  }
  for (unsigned j = 0; j < rows; ++j)
    for (unsigned k = 0; k < stride; ++k) b += char((k * 9 + j * 31) & 255);
  put("fuzz_load_bmp", name, b);
}

void bmp_seeds()
{
  bmp_seed("rgb24.bmp", 5, 3, 24, 0, 0, {});
  bmp_seed("rgb24_top_down.bmp", 5, -3, 24, 0, 0, {});
  bmp_seed("palette8.bmp", 6, 4, 8, 0, 6, {});
  bmp_seed("palette4.bmp", 7, 2, 4, 0, 5, {});
  bmp_seed("palette1.bmp", 17, 2, 1, 0, 2, {});
  bmp_seed("rgb16.bmp", 5, 3, 16, 0, 0, {});
  bmp_seed("rgb565.bmp", 5, 3, 16, 3, 0, {0xf800, 0x07e0, 0x001f});
  bmp_seed("rgba32.bmp", 4, 3, 32, 6, 0, {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000});
  bmp_seed("rgbx32.bmp", 4, 3, 32, 0, 0, {});
  bmp_seed("core24.bmp", 5, 3, 24, 0, 0, {}, true);
  bmp_seed("core1.bmp", 9, 3, 1, 0, 2, {}, true);
  // Run-length streams: runs, literal indices, ends of rows, a skip, the end.
  const image_bombs::bytes rle8 = {4, 1, 0, 3, 2, 3, 4, 0, 2, 7, 0, 0, 9, 5, 0,
                                   0, 0, 2, 3, 1, 0, 4, 1, 2, 3, 4, 3, 6, 0, 1};
  const image_bombs::bytes rle4 = {9, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 4, 0x77, 0, 0, 0, 2, 1, 1, 3, 0x45, 0, 1};
  put("fuzz_load_bmp", "rle8.bmp", image_bombs::rle_bmp(9, 5, 8, 1, rle8));
  put("fuzz_load_bmp", "rle4.bmp", image_bombs::rle_bmp(9, 4, 4, 2, rle4));
}

std::string vsl_bytes(void (*write)(vsl_b_ostream&))
{
  std::ostringstream os;
  {
    vsl_b_ostream bos(&os);
    write(bos);
  }
  return os.str();
}

void shape_seeds()
{
  vsml_part closed, open, set, empty;
  closed.setName("outline");
  closed.setIndices({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  closed.setForm(vsml_part::ClosedBoundary);
  open.setName("left brow");
  open.setIndices({20, 19, 18, 40});
  open.setForm(vsml_part::OpenBoundary);
  open.setSmooth();
  set.setName("spots");
  set.setIndices({-3, 7, 7, 100000});
  set.setForm(vsml_part::SetOfPoints);
  empty.setName("");
  empty.setJagged();
  static vsml_parts parts;
  parts.parts() = {closed, open, set, empty};
  std::ostringstream text;
  parts.print_summary(text);
  put("fuzz_parts_text", "saved.parts", text.str());
  put("fuzz_parts_text", "ranges.parts",
      "part \"face\" {\n    indices(0..5,9,12..10)\n    form closed_boundary\n"
      "    point_density 1\n    smooth\n}\n\npart \"eyes\" {\n    indices()\n"
      "    form open_boundary\n    jagged\n    point_density 3\n}\n");
  put("fuzz_parts_binary", "parts.bvl", vsl_bytes([](vsl_b_ostream& os) { parts.b_write(os); }));
  put("fuzz_parts_binary", "one_to_one.bvl", vsl_bytes([](vsl_b_ostream& os) {
        vsml_parts p;
        p.setOneToOne(7);
        p.b_write(os);
      }));

  put("fuzz_bezier_binary", "triangle.bvl", vsl_bytes([](vsl_b_ostream& os) {
        vsml_bezier b;
        b.set({vgl_point_2d<double>(0, 0), vgl_point_2d<double>(40, 3), vgl_point_2d<double>(10, 25)});
        b.b_write(os);
      }));
  put("fuzz_bezier_binary", "one_node.bvl", vsl_bytes([](vsl_b_ostream& os) {
        vsml_bezier b;
        b.set({vgl_point_2d<double>(5, 5)});
        b.b_write(os);
      }));
  put("fuzz_bezier_binary", "empty.bvl", vsl_bytes([](vsl_b_ostream& os) { vsml_bezier().b_write(os); }));

  put("fuzz_points_binary", "points_2d.bvl", vsl_bytes([](vsl_b_ostream& os) {
        vsml_points_2d p;
        p.setPoints2D({vgl_point_2d<double>(1, 2), vgl_point_2d<double>(-3, 4.5),
                       vgl_point_2d<double>(100, 0)});
        vsl_b_write(os, static_cast<const vsml_points*>(&p));
      }));
  put("fuzz_points_text", "plain.csv", "x,y\n170,70\n230,160\n120,170\n");
  put("fuzz_points_text", "spreadsheet.csv", "\xef\xbb\xbfid;X;Y\r\n1;1.5;-2e3\r\n2;\"3\";4\r\n");
  put("fuzz_points_text", "commented.tsv", "# from a tracker\nY\tx\tname\n\n2\t1\ta\n# gap\n4\t3\tb\n");
  put("fuzz_points_text", "points_2d.bvl", vsl_bytes([](vsl_b_ostream& os) {
        vsml_points_2d p;
        p.setPoints2D({vgl_point_2d<double>(1, 2), vgl_point_2d<double>(-3, 4.5), vgl_point_2d<double>(100, 0)});
        vsl_b_write(os, static_cast<const vsml_points*>(&p));
      }));
  put("fuzz_points_binary", "null.bvl",
      vsl_bytes([](vsl_b_ostream& os) { vsl_b_write(os, static_cast<const vsml_points*>(nullptr)); }));
}
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <folder>\n");
    return 2;
  }
  root = argv[1];
  png_and_pnm_seeds();
  jpeg_seed("grey.jpg", 17, 9, 1, false);
  jpeg_seed("rgb.jpg", 16, 8, 3, false);
  jpeg_seed("rgb_progressive.jpg", 19, 11, 3, true);
  jpeg_seed("adobe_cmyk.jpg", 13, 9, 4, false);
  tiff_seeds();
  bmp_seeds();
  shape_seeds();
  return failures == 0 ? 0 : 1;
}

// The window loads a file of each of the less common formats (Sun raster,
// VIFF, MIT, run-length SGI, NITF, JPEG 2000): the picture shows and the
// cost image follows it.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <openjpeg.h>
#include <app/tessaly.h>
#include <qvwr/qvwr_viewer.h>
#include "support/dialog_closer.h"

namespace
{
typedef std::vector<unsigned char> bytes;
typedef std::function<unsigned(unsigned i, unsigned j, unsigned p)> picture;

const unsigned ni = 320, nj = 200;

// A disc of radius 30 at (200, 90) in `disc` on a ground of 20.
picture disc(std::vector<unsigned> colour)
{
  return [colour](unsigned i, unsigned j, unsigned p) {
    const bool in = (i - 200.0) * (i - 200.0) + (j - 90.0) * (j - 90.0) < 900;
    return in ? colour[p] : 20u;
  };
}

void put_be(bytes& b, uint64_t v, unsigned n)
{
  for (unsigned k = n; k-- > 0;) b.push_back((unsigned char)(v >> (8 * k)));
}

bytes sun_raster(const picture& px)  // 24 bits, blue first
{
  bytes b;
  for (uint32_t v : {0x59a66a95u, ni, nj, 24u, ni * nj * 3, 1u, 0u, 0u}) put_be(b, v, 4);
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p : {2u, 1u, 0u}) b.push_back((unsigned char)px(i, j, p));
  return b;
}

bytes viff(const picture& px)  // bytes, 3 bands, big-endian
{
  bytes b(1024, 0);
  b[0] = 0xab;
  b[1] = 1;
  b[2] = 1;
  b[3] = 3;
  b[4] = 2;
  const auto set = [&](std::size_t at, uint32_t v) {
    for (unsigned k = 0; k < 4; ++k) b[at + k] = (unsigned char)(v >> (8 * (3 - k)));
  };
  set(520, ni);
  set(524, nj);
  set(548, 1);
  set(556, 1);
  set(560, 3);
  set(564, 1);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) b.push_back((unsigned char)px(i, j, p));
  return b;
}

bytes mit(const picture& px)  // 8-bit grey
{
  bytes b = {1, 0, 8, 0, (unsigned char)(ni & 255), (unsigned char)(ni >> 8), (unsigned char)(nj & 255),
             (unsigned char)(nj >> 8)};
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i) b.push_back((unsigned char)px(i, j, 0));
  return b;
}

bytes sgi_rle(const picture& px)  // 8 bits, 3 channels, runs only, rows bottom up
{
  bytes b;
  put_be(b, 474, 2);
  b.push_back(1);
  b.push_back(1);
  for (unsigned v : {3u, ni, nj, 3u}) put_be(b, v, 2);
  b.resize(512, 0);
  std::vector<bytes> lines;
  for (unsigned z = 0; z < 3; ++z)
    for (unsigned y = 0; y < nj; ++y) {
      bytes l;
      for (unsigned i = 0; i < ni;) {
        const unsigned v = px(i, nj - 1 - y, z);
        unsigned n = 1;
        while (i + n < ni && n < 127 && px(i + n, nj - 1 - y, z) == v) ++n;
        l.push_back((unsigned char)n);
        l.push_back((unsigned char)v);
        i += n;
      }
      l.push_back(0);
      lines.push_back(l);
    }
  std::size_t at = 512 + 8 * lines.size();
  for (const bytes& l : lines) {
    put_be(b, at, 4);
    at += l.size();
  }
  for (const bytes& l : lines) put_be(b, l.size(), 4);
  for (const bytes& l : lines) b.insert(b.end(), l.begin(), l.end());
  return b;
}

std::string field(const std::string& s, std::size_t n) { return (s + std::string(n, ' ')).substr(0, n); }
std::string number(unsigned long long v, std::size_t n)
{
  const std::string s = std::to_string(v);
  return std::string(n - s.size(), '0') + s;
}

bytes nitf(const picture& px)  // NITF 2.1, 8-bit RGB, pixel-interleaved, one block
{
  const std::string security = "U" + std::string(166, ' ');
  std::string im = "IM" + field("disc", 10) + "20240101000000" + std::string(17, ' ') + field("", 80) + security +
                   "0" + field("", 42) + number(nj, 8) + number(ni, 8) + "INT" + field("RGB", 8) +
                   field("VIS", 8) + "08" + "R" + " " + "0" + "NC" + "3";
  for (const char* band : {"R ", "G ", "B "}) im += std::string(band) + std::string(6, ' ') + "N   0";
  im += "0P" + number(1, 4) + number(1, 4) + number(ni, 4) + number(nj, 4) + "08" + "001000" + "0000000000" +
        "1.0 " + "00000" + "00000";
  std::string fh = "NITF02.10" + std::string("03") + "BF01" + field("", 10) + "20240101000000" + field("", 80) +
                   security + "00000000000" + std::string(3, '\0') + field("", 24) + std::string(18, ' ');
  const std::size_t hl = fh.size() + 12 + 6 + 3 + 6 + 10 + 15 + 10;
  const std::size_t data = std::size_t(ni) * nj * 3;
  fh += number(hl + im.size() + data, 12) + number(hl, 6) + "001" + number(im.size(), 6) + number(data, 10) +
        std::string(15, '0') + std::string(10, '0');
  bytes b(fh.begin(), fh.end());
  b.insert(b.end(), im.begin(), im.end());
  for (unsigned j = 0; j < nj; ++j)
    for (unsigned i = 0; i < ni; ++i)
      for (unsigned p = 0; p < 3; ++p) b.push_back((unsigned char)px(i, j, p));
  return b;
}

// A lossless JP2 written by libopenjp2 to path.
bool jp2(const picture& px, const std::string& path)
{
  opj_image_cmptparm_t parms[3];
  std::memset(parms, 0, sizeof parms);
  for (opj_image_cmptparm_t& c : parms) {
    c.dx = c.dy = 1;
    c.w = ni;
    c.h = nj;
    c.prec = 8;
  }
  opj_image_t* im = opj_image_create(3, parms, OPJ_CLRSPC_SRGB);
  if (!im) return false;
  im->x1 = ni;
  im->y1 = nj;
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < nj; ++j)
      for (unsigned i = 0; i < ni; ++i) im->comps[p].data[j * ni + i] = OPJ_INT32(px(i, j, p));
  opj_cparameters_t cp;
  opj_set_default_encoder_parameters(&cp);
  cp.tcp_numlayers = 1;
  cp.tcp_rates[0] = 0;
  cp.cp_disto_alloc = 1;
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  opj_stream_t* out = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
  const bool ok = codec && out && opj_setup_encoder(codec, &cp, im) && opj_start_compress(codec, im, out) &&
                  opj_encode(codec, out) && opj_end_compress(codec, out);
  opj_stream_destroy(out);
  opj_destroy_codec(codec);
  opj_image_destroy(im);
  return ok;
}

bool write_file(const std::string& path, const bytes& b)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  return bool(out);
}

}  // namespace

TEST(TessalyMoreFormats, EachFormatShowsAndItsCostImageFollows)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString() + "/";
  const picture red = disc({220, 40, 40}), grey = disc({230});
  struct file
  {
    std::string name;
    unsigned planes;
    QColor shown;
  };
  ASSERT_TRUE(write_file(base + "disc.ras", sun_raster(red)));
  ASSERT_TRUE(write_file(base + "disc.viff", viff(red)));
  ASSERT_TRUE(write_file(base + "disc.mit", mit(grey)));
  ASSERT_TRUE(write_file(base + "disc.rgb", sgi_rle(red)));
  ASSERT_TRUE(write_file(base + "disc.ntf", nitf(red)));
  ASSERT_TRUE(jp2(red, base + "disc.jp2"));
  const file files[] = {{"disc.ras", 3, QColor(220, 40, 40)}, {"disc.viff", 3, QColor(220, 40, 40)},
                        {"disc.mit", 1, QColor(230, 230, 230)}, {"disc.rgb", 3, QColor(220, 40, 40)},
                        {"disc.ntf", 3, QColor(220, 40, 40)}, {"disc.jp2", 3, QColor(220, 40, 40)}};

  tessaly w(nullptr, nullptr);
  w.setGeometry(100, 100, 300, 300);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  dialog_closer closer;
  for (const file& f : files) {
    SCOPED_TRACE(f.name);
    const vxl_byte* before = w.image().image().top_left_ptr();
    w.load_image((base + f.name).c_str());
    QCoreApplication::processEvents();
    EXPECT_TRUE(closer.titles.isEmpty()) << closer.titles.join(", ").toStdString();
    ASSERT_NE(w.image().image().top_left_ptr(), before);
    EXPECT_EQ(w.image().ni(), ni);
    EXPECT_EQ(w.image().nj(), nj);
    EXPECT_EQ(w.image().nplanes(), f.planes);
    // The cost image is this picture's: its size, strong at the disc's edge, flat inside.
    EXPECT_EQ(w.cost_image().ni(), ni);
    EXPECT_EQ(w.cost_image().nj(), nj);
    EXPECT_EQ(w.cost_display().ni(), ni);
    EXPECT_GT(w.cost_image().image()(230, 90), 10 * w.cost_image().image()(200, 90));
    EXPECT_EQ(w.q_viewer()->worldWindow().max_x(), double(ni - 1));
    // The viewer shows the disc in its colour, and the ground outside it.
    const QImage shot = w.q_viewer()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto at = [&](double x, double y) {
      const vgl_point_2d<double> d = w.q_viewer()->worldToDisplay()(vgl_point_2d<double>(x, y));
      return QColor(shot.pixel(int(std::lround(d.x())), int(std::lround(d.y()))));
    };
    EXPECT_EQ(at(200, 90), f.shown);
    EXPECT_EQ(at(40, 150), QColor(20, 20, 20));
  }
}

#include <vil/file_formats/vil_j2k.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <openjpeg.h>
#include <string>
#include <vector>
#include <vil/vil_load_support.h>

namespace
{
// The decoder reports through callbacks; keep the first error.
void on_error(const char* msg, void* user)
{
  std::string* first = static_cast<std::string*>(user);
  if (first->empty()) first->assign(msg ? msg : "");
}

void on_quiet(const char*, void*) {}

// The decoder reads the file through these, so nothing is held in memory
// beyond what it asks for.
OPJ_SIZE_T stream_read(void* buf, OPJ_SIZE_T n, void* user)
{
  const std::size_t got = std::fread(buf, 1, n, static_cast<std::FILE*>(user));
  return got == 0 ? OPJ_SIZE_T(-1) : got;
}

OPJ_OFF_T stream_skip(OPJ_OFF_T n, void* user)
{
  std::FILE* f = static_cast<std::FILE*>(user);
  return std::fseek(f, long(n), SEEK_CUR) == 0 ? n : -1;
}

OPJ_BOOL stream_seek(OPJ_OFF_T to, void* user)
{
  return std::fseek(static_cast<std::FILE*>(user), long(to), SEEK_SET) == 0;
}

struct codec_closer
{
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct stream_closer
{
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct image_closer
{
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

// Sample of component c that covers image pixel (i, j): subsampled
// components are repeated.
int32_t sample_at(const opj_image_comp_t& c, unsigned i, unsigned j, unsigned ni, unsigned nj)
{
  const std::size_t ci = std::min<std::size_t>(c.w - 1, std::size_t(i) * c.w / ni);
  const std::size_t cj = std::min<std::size_t>(c.h - 1, std::size_t(j) * c.h / nj);
  return c.data[cj * c.w + ci];
}

template <class T>
vil_image_view_base_sptr to_view(const opj_image_t& im, unsigned ni, unsigned nj, bool sycc)
{
  const unsigned np = im.numcomps;
  vil_image_view<T> view = vil_load_interleaved_view<T>(ni, nj, np);
  for (unsigned p = 0; p < np; ++p) {
    const opj_image_comp_t& c = im.comps[p];
    // The pixel type suits the widest component; a component of other
    // precision or signedness may hold values it cannot, so clamp to both.
    const int64_t lo = std::max<int64_t>(c.sgnd ? -(int64_t(1) << (c.prec - 1)) : 0, std::numeric_limits<T>::min());
    const int64_t hi = std::min<int64_t>(c.sgnd ? (int64_t(1) << (c.prec - 1)) - 1 : (int64_t(1) << c.prec) - 1,
                                         std::numeric_limits<T>::max());
    for (unsigned j = 0; j < nj; ++j) {
      T* d = view.top_left_ptr() + std::size_t(j) * view.jstep() + p;
      for (unsigned i = 0; i < ni; ++i, d += np) {
        double v = sample_at(c, i, j, ni, nj);
        if (sycc && p < 3) {
          // sYCC to RGB (ITU-R BT.601 full range), chroma centred on half range.
          const double half = double(int64_t(1) << (im.comps[0].prec - 1));
          const double y = sample_at(im.comps[0], i, j, ni, nj);
          const double cb = sample_at(im.comps[1], i, j, ni, nj) - half;
          const double cr = sample_at(im.comps[2], i, j, ni, nj) - half;
          v = p == 0 ? y + 1.402 * cr : p == 1 ? y - 0.344136 * cb - 0.714136 * cr : y + 1.772 * cb;
          v = std::floor(v + 0.5);
        }
        *d = T(std::min<double>(double(hi), std::max<double>(double(lo), v)));
      }
    }
  }
  return vil_load_result(view);
}
}  // namespace

bool vil_j2k_probe(const unsigned char* h, std::size_t n)
{
  static const unsigned char codestream[] = {0xff, 0x4f, 0xff, 0x51};
  static const unsigned char jp2[] = {0, 0, 0, 0x0c, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87, 0x0a};
  return (n >= sizeof codestream && std::memcmp(h, codestream, sizeof codestream) == 0) ||
         (n >= sizeof jp2 && std::memcmp(h, jp2, sizeof jp2) == 0);
}

vil_image_view_base_sptr vil_j2k_read(const char* path, std::FILE* f)
{
  unsigned char head[12] = {0};
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  if (!vil_j2k_probe(head, n) || std::fseek(f, 0, SEEK_SET) != 0)
    return vil_load_fail(path, "not a JPEG 2000 file");
  const unsigned long long size = vil_load_bytes_left(f);
  const bool codestream = head[0] == 0xff;

  std::unique_ptr<opj_codec_t, codec_closer> codec(opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
  std::unique_ptr<opj_stream_t, stream_closer> stream(opj_stream_create(1 << 16, OPJ_TRUE));
  if (!codec || !stream) return vil_load_fail(path, "cannot start the JPEG 2000 decoder");
  std::string error;
  opj_set_error_handler(codec.get(), on_error, &error);
  opj_set_warning_handler(codec.get(), on_quiet, nullptr);
  opj_set_info_handler(codec.get(), on_quiet, nullptr);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(codec.get(), &params)) return vil_load_fail(path, "cannot start the JPEG 2000 decoder");
  opj_stream_set_user_data(stream.get(), f, nullptr);
  opj_stream_set_user_data_length(stream.get(), size);
  opj_stream_set_read_function(stream.get(), stream_read);
  opj_stream_set_skip_function(stream.get(), stream_skip);
  opj_stream_set_seek_function(stream.get(), stream_seek);

  const auto failed = [&](const char* what) {
    return vil_load_fail(path, error.empty() ? what : ("JPEG 2000 decoder: " + error).c_str());
  };
  opj_image_t* raw = nullptr;
  if (!opj_read_header(stream.get(), codec.get(), &raw)) {
    opj_image_destroy(raw);
    return failed("bad JPEG 2000 header");
  }
  std::unique_ptr<opj_image_t, image_closer> im(raw);
  if (im->numcomps < 1 || im->x1 <= im->x0 || im->y1 <= im->y0)
    return vil_load_fail(path, "JPEG 2000 image has no pixels");
  const unsigned ni = im->x1 - im->x0, nj = im->y1 - im->y0, np = im->numcomps;
  unsigned prec = 0;
  bool sgnd = false;
  for (unsigned p = 0; p < np; ++p) {
    const opj_image_comp_t& c = im->comps[p];
    if (c.prec < 1 || c.prec > 31 || c.dx == 0 || c.dy == 0)
      return vil_load_fail(path, "unsupported JPEG 2000 component");
    prec = std::max<unsigned>(prec, c.prec);
    sgnd = sgnd || c.sgnd;
  }
  // The decoder keeps 32 bits per sample while it works.
  if (!vil_load_size_ok(path, ni, nj, np, 4)) return vil_image_view_base_sptr();
  if (!opj_decode(codec.get(), stream.get(), im.get()) || !opj_end_decompress(codec.get(), stream.get()))
    return failed("cannot decode JPEG 2000 image");
  for (unsigned p = 0; p < np; ++p) {
    const opj_image_comp_t& c = im->comps[p];
    if (!c.data || c.w == 0 || c.h == 0) return failed("JPEG 2000 component without samples");
  }
  const bool sycc = im->color_space == OPJ_CLRSPC_SYCC && np >= 3;
  if (prec <= 8) return sgnd ? to_view<vxl_sbyte>(*im, ni, nj, sycc) : to_view<vxl_byte>(*im, ni, nj, sycc);
  if (prec <= 16) return sgnd ? to_view<vxl_int_16>(*im, ni, nj, sycc) : to_view<vxl_uint_16>(*im, ni, nj, sycc);
  return to_view<vxl_int_32>(*im, ni, nj, sycc);
}

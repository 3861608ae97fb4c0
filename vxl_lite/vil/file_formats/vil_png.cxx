#include <vil/file_formats/vil_png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>

// libpng reports errors by longjmp.  Every setjmp below sits in a plain
// function whose frame holds no C++ object, so the jump never skips a
// destructor; the C++ code around them only sees success or failure.
namespace
{
// Compressed image data libpng may be handed from the start of the last row
// on: that row's own data (at most about its size even when stored or coded
// badly) and the end of the zlib stream.  libpng inflates whatever follows
// just to discard it, so a small file of extra data could keep it busy for
// minutes.
unsigned long long idat_after_limit(png_size_t rowbytes)
{
  return 16 * 1024 + 2 * (unsigned long long)(rowbytes + 1);
}

// Largest ancillary chunk libpng may allocate (and inflate a compressed
// one to), and most ancillary chunks of a kind it keeps.
const png_alloc_size_t chunk_malloc_max = 8u << 20;
const png_uint_32 chunk_cache_max = 1000;

// The file as libpng reads it, followed chunk by chunk so that the IDAT data
// read after the last row can be counted.
struct png_source
{
  std::FILE* f = nullptr;
  unsigned long long size = 0;      // of the whole file
  unsigned long long pos = 0;       // bytes handed to libpng so far
  unsigned long long chunk_at = 8;  // start of the next chunk (after the signature)
  unsigned char head[8] = {0};
  unsigned long long data_begin = 0, data_end = 0;
  bool idat = false;
  bool last_row = false;  // the last row (of the last pass) is being read
  unsigned long long idat_after_image = 0, idat_after_image_max = 0;
};

struct png_job
{
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_source src;
  int passes = 1;
  bool extra_data = false;  // libpng found data past the image
  char err[256] = "";
};

void on_error(png_structp png, png_const_charp msg)
{
  png_job* job = static_cast<png_job*>(png_get_error_ptr(png));
  std::snprintf(job->err, sizeof job->err, "%s", msg ? msg : "libpng error");
  png_longjmp(png, 1);
}

// Warnings are ignored, except the ones that say the compressed data holds
// more than the image: such a file is malformed, not merely untidy.
void on_warning(png_structp png, png_const_charp msg)
{
  if (!msg) return;
  if (std::strstr(msg, "Too much image data") || std::strstr(msg, "Extra compressed data") ||
      std::strstr(msg, "Extra compression data"))
    static_cast<png_job*>(png_get_error_ptr(png))->extra_data = true;
}

void on_read(png_structp png, png_bytep out, png_size_t n)
{
  png_source& s = static_cast<png_job*>(png_get_io_ptr(png))->src;
  if (std::fread(out, 1, n, s.f) != n) png_error(png, "file is truncated");
  for (png_size_t k = 0; k < n;) {
    const unsigned long long p = s.pos + k;
    if (p >= s.chunk_at && p < s.chunk_at + 8) {  // a chunk header: length, type
      s.head[p - s.chunk_at] = out[k++];
      if (p == s.chunk_at + 7) {
        const unsigned long long len = (unsigned long long)(s.head[0]) << 24 | s.head[1] << 16 |
                                       s.head[2] << 8 | s.head[3];
        s.idat = std::memcmp(s.head + 4, "IDAT", 4) == 0;
        s.data_begin = s.chunk_at + 8;
        s.data_end = s.data_begin + len;
        s.chunk_at = s.data_end + 4;  // past the CRC
        // libpng allocates a chunk's length before reading it: refuse a
        // length the file cannot hold.
        if (s.chunk_at > s.size) png_error(png, "file is truncated");
      }
      continue;
    }
    const unsigned long long stop = std::min<unsigned long long>(s.pos + n, s.chunk_at);
    if (s.idat && s.last_row) {
      const unsigned long long a = std::max(p, s.data_begin), b = std::min(stop, s.data_end);
      if (b > a) s.idat_after_image += b - a;
    }
    k += png_size_t(stop - p);
  }
  s.pos += n;
  if (s.idat_after_image > s.idat_after_image_max)
    png_error(png, "compressed image data runs on past the image");
}

// Reads the header and sets up the transformations; the image's layout
// after them is in png_get_* of info.
int read_header(png_job* job, std::FILE* f, int* as_bool)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  job->src.f = f;
  job->src.size = vil_load_bytes_left(f);
  png_set_read_fn(job->png, job, on_read);
  // Ancillary chunks are skipped or small; bound what libpng keeps of them.
  png_set_chunk_malloc_max(job->png, chunk_malloc_max);
  png_set_chunk_cache_max(job->png, chunk_cache_max);
  png_read_info(job->png, job->info);
  const int colour = png_get_color_type(job->png, job->info);
  const int depth = png_get_bit_depth(job->png, job->info);
  const int has_trns = png_get_valid(job->png, job->info, PNG_INFO_tRNS);
  *as_bool = colour == PNG_COLOR_TYPE_GRAY && depth == 1 && !has_trns;
  if (*as_bool)
    png_set_packing(job->png);  // one byte of 0 or 1 per pixel
  else {
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job->png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(job->png);
    if (has_trns) png_set_tRNS_to_alpha(job->png);
  }
  if (depth == 16) png_set_swap(job->png);  // host order (little-endian)
  job->passes = png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  job->src.idat_after_image_max = idat_after_limit(png_get_rowbytes(job->png, job->info));
  return 1;
}

int read_pixels(png_job* job, png_bytepp rows)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  // What png_read_image does, with the last row marked.
  const png_uint_32 nj = png_get_image_height(job->png, job->info);
  for (int pass = 0; pass < job->passes; ++pass)
    for (png_uint_32 j = 0; j < nj; ++j) {
      job->src.last_row = pass + 1 == job->passes && j + 1 == nj;
      png_read_row(job->png, rows[j], nullptr);
    }
  png_read_end(job->png, nullptr);
  if (job->extra_data) png_error(job->png, "compressed image data runs on past the image");
  return 1;
}

int write_png(png_job* job, std::FILE* f, unsigned ni, unsigned nj, int depth, int colour,
              png_bytepp rows)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_init_io(job->png, f);
  png_set_IHDR(job->png, job->info, ni, nj, depth, colour, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // zlib's fastest level with one cheap row filter: about six times faster
  // than libpng's defaults for files 10-25 % larger, which counts when
  // overlays and frames are written by the hundred.
  png_set_compression_level(job->png, 1);
  png_set_filter(job->png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(job->png, job->info);
  if (depth == 16) png_set_swap(job->png);
  png_write_image(job->png, rows);
  png_write_end(job->png, nullptr);
  return 1;
}

template <class T>
vil_image_view_base_sptr read_into(const char* path, png_job& job, unsigned ni, unsigned nj,
                                   unsigned np)
{
  vil_image_view<T> view = vil_load_interleaved_view<T>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<png_bytep> rows(nj);
  for (unsigned j = 0; j < nj; ++j)
    rows[j] = reinterpret_cast<png_bytep>(view.top_left_ptr() + std::size_t(j) * view.jstep());
  if (!read_pixels(&job, rows.data())) return vil_load_fail(path, job.err);
  return vil_load_result(view);
}

// Destroys the libpng structures on every way out.
struct png_read_guard
{
  png_job& job;
  ~png_read_guard() { png_destroy_read_struct(&job.png, &job.info, nullptr); }
};
struct png_write_guard
{
  png_job& job;
  ~png_write_guard() { png_destroy_write_struct(&job.png, &job.info); }
};
}  // namespace

bool vil_png_probe(const unsigned char* head, std::size_t n)
{
  return n >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

vil_image_view_base_sptr vil_png_read(const char* path, std::FILE* f)
{
  png_job job;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, on_error, on_warning);
  if (!job.png) return vil_load_fail(path, "libpng could not start");
  png_read_guard guard{job};
  job.info = png_create_info_struct(job.png);
  if (!job.info) return vil_load_fail(path, "libpng could not start");
  int as_bool = 0;
  if (!read_header(&job, f, &as_bool)) return vil_load_fail(path, job.err);
  const png_uint_32 ni = png_get_image_width(job.png, job.info);
  const png_uint_32 nj = png_get_image_height(job.png, job.info);
  const unsigned np = png_get_channels(job.png, job.info);
  const unsigned bytes = png_get_bit_depth(job.png, job.info) == 16 ? 2 : 1;
  if (!vil_load_size_ok(path, ni, nj, np, bytes)) return vil_image_view_base_sptr();
  if (png_get_rowbytes(job.png, job.info) != std::size_t(ni) * np * bytes)
    return vil_load_fail(path, "unexpected PNG row layout");
  if (as_bool) return read_into<bool>(path, job, ni, nj, np);
  if (bytes == 2) return read_into<vxl_uint_16>(path, job, ni, nj, np);
  return read_into<vxl_byte>(path, job, ni, nj, np);
}

namespace
{
template <class T>
bool write_view(const char* path, std::FILE* f, const vil_image_view<T>& v, int depth)
{
  static const int colour_of[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                  PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
  // libpng wants interleaved rows; copy whatever layout the view has.
  const std::size_t row_len = std::size_t(v.ni()) * v.nplanes();
  std::vector<T> pixels(row_len * v.nj());
  std::vector<png_bytep> rows(v.nj());
  for (unsigned j = 0; j < v.nj(); ++j) {
    vil_save_interleaved_row(v, j, pixels.data() + j * row_len);
    rows[j] = reinterpret_cast<png_bytep>(pixels.data() + j * row_len);
  }
  png_job job;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, on_error, on_warning);
  if (!job.png) return vil_save_fail(path, "libpng could not start");
  png_write_guard guard{job};
  job.info = png_create_info_struct(job.png);
  if (!job.info) return vil_save_fail(path, "libpng could not start");
  if (!write_png(&job, f, v.ni(), v.nj(), depth, colour_of[v.nplanes()], rows.data()))
    return vil_save_fail(path, job.err);
  return true;
}
}  // namespace

bool vil_png_write(const char* path, std::FILE* f, const vil_image_view_base& view)
{
  const unsigned np = view.nplanes();
  const vil_pixel_format fmt = view.pixel_format();
  if (view.size() == 0 || np < 1 || np > 4 ||
      (fmt != VIL_PIXEL_FORMAT_BYTE && fmt != VIL_PIXEL_FORMAT_UINT_16))
    return vil_save_refuse(path, view, "PNG", "8- or 16-bit images of 1 to 4 planes");
  if (fmt == VIL_PIXEL_FORMAT_BYTE)
    return write_view(path, f, static_cast<const vil_image_view<vxl_byte>&>(view), 8);
  return write_view(path, f, static_cast<const vil_image_view<vxl_uint_16>&>(view), 16);
}

#include <vil/file_formats/vil_png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <iostream>
#include <png.h>
#include <vector>
#include <vil/vil_load_support.h>

// libpng reports errors by longjmp.  Every setjmp below sits in a plain
// function whose frame holds no C++ object, so the jump never skips a
// destructor; the C++ code around them only sees success or failure.
namespace
{
struct png_job
{
  png_structp png = nullptr;
  png_infop info = nullptr;
  char err[256] = "";
};

void on_error(png_structp png, png_const_charp msg)
{
  png_job* job = static_cast<png_job*>(png_get_error_ptr(png));
  std::snprintf(job->err, sizeof job->err, "%s", msg ? msg : "libpng error");
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Reads the header and sets up the transformations; the image's layout
// after them is in png_get_* of info.
int read_header(png_job* job, std::FILE* f, int* as_bool)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_init_io(job->png, f);
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
  png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  return 1;
}

int read_pixels(png_job* job, png_bytepp rows)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_read_image(job->png, rows);
  png_read_end(job->png, nullptr);
  return 1;
}

int write_png(png_job* job, std::FILE* f, unsigned ni, unsigned nj, int depth, int colour,
              png_bytepp rows)
{
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_init_io(job->png, f);
  png_set_IHDR(job->png, job->info, ni, nj, depth, colour, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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
  const unsigned np = v.nplanes();
  std::vector<T> pixels(std::size_t(v.ni()) * v.nj() * np);
  std::vector<png_bytep> rows(v.nj());
  for (unsigned j = 0; j < v.nj(); ++j) {
    T* row = pixels.data() + std::size_t(j) * v.ni() * np;
    rows[j] = reinterpret_cast<png_bytep>(row);
    for (unsigned i = 0; i < v.ni(); ++i)
      for (unsigned p = 0; p < np; ++p) row[i * np + p] = v(i, j, p);
  }
  png_job job;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, on_error, on_warning);
  if (!job.png) return false;
  png_write_guard guard{job};
  job.info = png_create_info_struct(job.png);
  if (!job.info) return false;
  if (!write_png(&job, f, v.ni(), v.nj(), depth, colour_of[np], rows.data())) {
    std::cerr << "vil_save: " << path << ": " << job.err << '\n';
    return false;
  }
  return true;
}
}  // namespace

bool vil_png_write(const char* path, const vil_image_view_base& view)
{
  const unsigned np = view.nplanes();
  const vil_pixel_format fmt = view.pixel_format();
  if (view.size() == 0 || np < 1 || np > 4 ||
      (fmt != VIL_PIXEL_FORMAT_BYTE && fmt != VIL_PIXEL_FORMAT_UINT_16)) {
    std::cerr << "vil_save: " << path << ": PNG takes 8- or 16-bit images of 1 to 4 planes, not "
              << view.is_a() << " with " << np << " planes\n";
    return false;
  }
  std::FILE* f = std::fopen(path, "wb");
  if (!f) {
    std::cerr << "vil_save: " << path << ": " << std::strerror(errno) << '\n';
    return false;
  }
  bool ok = fmt == VIL_PIXEL_FORMAT_BYTE
                ? write_view(path, f, static_cast<const vil_image_view<vxl_byte>&>(view), 8)
                : write_view(path, f, static_cast<const vil_image_view<vxl_uint_16>&>(view), 16);
  if (std::fclose(f) != 0 && ok) {
    std::cerr << "vil_save: " << path << ": " << std::strerror(errno) << '\n';
    ok = false;
  }
  return ok;
}

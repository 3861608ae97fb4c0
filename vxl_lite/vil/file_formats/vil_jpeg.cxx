#include <vil/file_formats/vil_jpeg.h>

#include <csetjmp>
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>
#include <vector>
#include <vil/file_formats/vil_cmyk_to_rgb.h>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>
#include <vil/vil_save_support.h>

// libjpeg's error_exit must not return; ours longjmps back into the plain
// function that called libjpeg.  No C++ object lives in those frames.
namespace
{
// Where error_exit jumps to, and its message; client_data points here.
struct jpeg_escape
{
  std::jmp_buf jump;
  char err[JMSG_LENGTH_MAX];
};

struct jpeg_job
{
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  jpeg_escape esc;
  bool created;
};

void on_error_exit(j_common_ptr cinfo)
{
  jpeg_escape* esc = static_cast<jpeg_escape*>(cinfo->client_data);
  (*cinfo->err->format_message)(cinfo, esc->err);
  std::longjmp(esc->jump, 1);
}

// Warnings (level -1) mean corrupt or truncated data that libjpeg would
// fill in; treat them as errors.  Trace messages are ignored.
void on_message(j_common_ptr cinfo, int level)
{
  if (level < 0) on_error_exit(cinfo);
}

int read_header(jpeg_job* job, std::FILE* f, unsigned long max_memory)
{
  job->cinfo.err = jpeg_std_error(&job->jerr);
  job->jerr.error_exit = on_error_exit;
  job->jerr.emit_message = on_message;
  job->created = false;
  job->esc.err[0] = 0;
  job->cinfo.client_data = &job->esc;  // kept by jpeg_create_decompress
  if (setjmp(job->esc.jump)) return 0;
  jpeg_create_decompress(&job->cinfo);
  job->created = true;
  // Progressive files keep all coefficients; bound that too.
  job->cinfo.mem->max_memory_to_use = long(max_memory);
  jpeg_stdio_src(&job->cinfo, f);
  jpeg_read_header(&job->cinfo, TRUE);
  if (job->cinfo.jpeg_color_space == JCS_CMYK || job->cinfo.jpeg_color_space == JCS_YCCK)
    job->cinfo.out_color_space = JCS_CMYK;
  else if (job->cinfo.num_components == 1)
    job->cinfo.out_color_space = JCS_GRAYSCALE;
  else
    job->cinfo.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&job->cinfo);
  return 1;
}

// Decodes every row into rows.  CMYK rows are decoded into cmyk_row first
// and come out as RGB; Adobe's files store the inks inverted.
int read_pixels(jpeg_job* job, JSAMPARRAY rows, JSAMPLE* cmyk_row)
{
  if (setjmp(job->esc.jump)) return 0;
  j_decompress_ptr c = &job->cinfo;
  jpeg_start_decompress(c);
  while (c->output_scanline < c->output_height) {
    const JDIMENSION j = c->output_scanline;
    if (!cmyk_row) {
      jpeg_read_scanlines(c, rows + j, c->output_height - j);
    } else if (jpeg_read_scanlines(c, &cmyk_row, 1) == 1) {
      vil_cmyk_to_rgb(cmyk_row, 4, rows[j], 3, c->output_width, c->saw_Adobe_marker);
    }
  }
  jpeg_finish_decompress(c);
  return 1;
}

// Frees libjpeg's state of a reading or writing job on every way out.
template <class Job>
struct jpeg_guard
{
  Job& job;
  ~jpeg_guard()
  {
    if (job.created) jpeg_destroy(reinterpret_cast<j_common_ptr>(&job.cinfo));
  }
};
}  // namespace

bool vil_jpeg_probe(const unsigned char* head, std::size_t n)
{
  return n >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff;
}

vil_image_view_base_sptr vil_jpeg_read(const char* path, std::FILE* f)
{
  jpeg_job job;
  jpeg_guard<jpeg_job> guard{job};
  if (!read_header(&job, f, 3 * (unsigned long)vil_load_max_bytes())) return vil_load_fail(path, job.esc.err);
  const unsigned ni = job.cinfo.output_width, nj = job.cinfo.output_height;
  const bool cmyk = job.cinfo.out_color_space == JCS_CMYK;
  const unsigned np = cmyk ? 3 : unsigned(job.cinfo.output_components);
  if (!vil_load_size_ok(path, ni, nj, np, 1)) return vil_image_view_base_sptr();
  vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<JSAMPROW> rows(nj);
  for (unsigned j = 0; j < nj; ++j) rows[j] = view.top_left_ptr() + std::size_t(j) * view.jstep();
  std::vector<JSAMPLE> cmyk_row(cmyk ? std::size_t(ni) * 4 : 0);
  if (!read_pixels(&job, rows.data(), cmyk ? cmyk_row.data() : nullptr)) return vil_load_fail(path, job.esc.err);
  return vil_load_result(view);
}

namespace
{
struct jpeg_write_job
{
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  jpeg_escape esc;
  bool created;
};

// Writing raises no warnings worth failing for.
void on_write_message(j_common_ptr, int) {}

// Compresses the view row by row; row holds one interleaved row.
int write_jpeg(jpeg_write_job* job, std::FILE* f, const vil_image_view<vxl_byte>& v, JSAMPLE* row)
{
  job->cinfo.err = jpeg_std_error(&job->jerr);
  job->jerr.error_exit = on_error_exit;
  job->jerr.emit_message = on_write_message;
  job->created = false;
  job->esc.err[0] = 0;
  job->cinfo.client_data = &job->esc;
  if (setjmp(job->esc.jump)) return 0;
  jpeg_create_compress(&job->cinfo);
  job->created = true;
  jpeg_stdio_dest(&job->cinfo, f);
  job->cinfo.image_width = v.ni();
  job->cinfo.image_height = v.nj();
  job->cinfo.input_components = int(v.nplanes());
  job->cinfo.in_color_space = v.nplanes() == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&job->cinfo);
  jpeg_set_quality(&job->cinfo, 75, TRUE);
  jpeg_start_compress(&job->cinfo, TRUE);
  while (job->cinfo.next_scanline < job->cinfo.image_height) {
    vil_save_interleaved_row(v, job->cinfo.next_scanline, row);
    jpeg_write_scanlines(&job->cinfo, &row, 1);
  }
  jpeg_finish_compress(&job->cinfo);
  return 1;
}
}  // namespace

bool vil_jpeg_write(const char* path, std::FILE* f, const vil_image_view_base& view)
{
  const unsigned np = view.nplanes();
  if (view.size() == 0 || view.pixel_format() != VIL_PIXEL_FORMAT_BYTE || (np != 1 && np != 3))
    return vil_save_refuse(path, view, "JPEG", "8-bit images of 1 or 3 planes");
  const vil_image_view<vxl_byte>& v = static_cast<const vil_image_view<vxl_byte>&>(view);
  std::vector<JSAMPLE> row(std::size_t(v.ni()) * np);
  jpeg_write_job job;
  jpeg_guard<jpeg_write_job> guard{job};
  if (!write_jpeg(&job, f, v, row.data())) return vil_save_fail(path, job.esc.err);
  return true;
}

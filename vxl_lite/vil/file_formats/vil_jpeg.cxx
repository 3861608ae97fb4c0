#include <vil/file_formats/vil_jpeg.h>

#include <csetjmp>
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>
#include <vector>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>

// libjpeg's error_exit must not return; ours longjmps back into the plain
// function that called libjpeg.  No C++ object lives in those frames.
namespace
{
struct jpeg_job
{
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  std::jmp_buf jump;
  char err[JMSG_LENGTH_MAX];
  bool created;
};

void on_error_exit(j_common_ptr cinfo)
{
  jpeg_job* job = reinterpret_cast<jpeg_job*>(cinfo->client_data);
  (*cinfo->err->format_message)(cinfo, job->err);
  std::longjmp(job->jump, 1);
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
  job->err[0] = 0;
  job->cinfo.client_data = job;  // kept by jpeg_create_decompress
  if (setjmp(job->jump)) return 0;
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

int read_pixels(jpeg_job* job, JSAMPARRAY rows)
{
  if (setjmp(job->jump)) return 0;
  jpeg_start_decompress(&job->cinfo);
  while (job->cinfo.output_scanline < job->cinfo.output_height)
    jpeg_read_scanlines(&job->cinfo, rows + job->cinfo.output_scanline,
                        job->cinfo.output_height - job->cinfo.output_scanline);
  jpeg_finish_decompress(&job->cinfo);
  return 1;
}

struct jpeg_guard
{
  jpeg_job& job;
  ~jpeg_guard()
  {
    if (job.created) jpeg_destroy_decompress(&job.cinfo);
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
  jpeg_guard guard{job};
  if (!read_header(&job, f, 3 * (unsigned long)vil_load_max_bytes())) return vil_load_fail(path, job.err);
  const unsigned ni = job.cinfo.output_width, nj = job.cinfo.output_height;
  const unsigned np = unsigned(job.cinfo.output_components);
  if (!vil_load_size_ok(path, ni, nj, np, 1)) return vil_image_view_base_sptr();
  vil_image_view<vxl_byte> view = vil_load_interleaved_view<vxl_byte>(ni, nj, np);
  if (view.size() == 0) return vil_load_fail(path, "out of memory");
  std::vector<JSAMPROW> rows(nj);
  for (unsigned j = 0; j < nj; ++j) rows[j] = view.top_left_ptr() + std::size_t(j) * view.jstep();
  if (!read_pixels(&job, rows.data())) return vil_load_fail(path, job.err);
  return vil_load_result(view);
}

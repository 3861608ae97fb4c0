#include <vil/vil_load_page.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vil/file_formats/vil_tiff.h>
#include <vil/vil_load.h>
#include <vil/vil_load_support.h>

namespace
{
// 1 for a TIFF, 0 for another regular file, -1 (with why) for no regular file.
int is_tiff(const std::string& path, std::string& why)
{
  // Only regular files, as vil_load: a FIFO could block.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "not a regular file";
    return -1;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    why = std::strerror(errno);
    return -1;
  }
  unsigned char head[4];
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return vil_tiff_probe(head, n) ? 1 : 0;
}
}  // namespace

unsigned vil_load_page_count(const std::string& path, std::string& why)
{
  why.clear();
  const int tiff = is_tiff(path, why);
  if (tiff <= 0) return tiff == 0 ? 1 : 0;
  return vil_tiff_page_count(path.c_str(), vil_load_most_pages, why);
}

vil_image_view_base_sptr vil_load_page(const std::string& path, unsigned page, std::string& why)
{
  if (page == 0) return vil_load(path.c_str(), &why);
  why.clear();
  const int tiff = is_tiff(path, why);
  if (tiff <= 0) {
    if (tiff == 0) why = "holds one image only, not page " + std::to_string(page + 1);
    return nullptr;
  }
  std::string* const was = vil_error_redirect(&why);
  vil_image_view_base_sptr image = vil_tiff_read_page(path.c_str(), page);
  vil_error_redirect(was);
  if (!image && why.empty()) why = "cannot be read";
  return image;
}

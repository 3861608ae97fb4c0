#include <app/snake_image_file.h>

#include <cstring>
#include <vil/algo/vil_stretch_percentiles.h>
#include <vil/vil_load_page.h>
#include <vil/vil_pixel_format.h>

namespace
{
// "16-bit", "1-bit", "32-bit floating-point": what a user recognises.
std::string pixel_words(vil_pixel_format f)
{
  switch (f) {
    case VIL_PIXEL_FORMAT_BOOL: return "1-bit";
    case VIL_PIXEL_FORMAT_SBYTE: return "signed 8-bit";
    case VIL_PIXEL_FORMAT_FLOAT: return "32-bit floating-point";
    case VIL_PIXEL_FORMAT_DOUBLE: return "64-bit floating-point";
    default: return std::to_string(8 * vil_pixel_format_sizeof_components(f)) + "-bit";
  }
}

// The loader's reasons, said as a user would: a file cut short is the
// commonest, and an unknown format means it is no image tessaly reads.
std::string plain_words(const std::string& reason)
{
  const char* const ends_early[] = {"truncated", "Premature end", "ends early", "Unexpected end"};
  for (const char* s : ends_early)
    if (reason.find(s) != std::string::npos) return "the file ends early";
  if (reason.rfind("unknown or unsupported image format", 0) == 0 || reason == "empty file")
    return "not an image file tessaly can read";
  if (reason == "not a regular file") return "not a file (a folder or a device)";
  if (reason == "out of memory") return "not enough memory to load it";
  return reason;
}
}  // namespace

namespace
{
bool load(const std::string& path, vil_image_view<vxl_byte>& image, snake_stretch* stretch, std::string& why,
          unsigned page)
{
  const vil_image_view_base_sptr loaded = vil_load_page(path, page, why);
  if (!loaded) {
    why = plain_words(why);
    return false;
  }
  const unsigned np = loaded->nplanes();
  if (np < 1 || np > 4) {
    why = std::to_string(np) + " planes: tessaly works on grey or colour images (1 to 4 planes)";
    return false;
  }
  if (loaded->pixel_format() == VIL_PIXEL_FORMAT_BYTE) {
    image = vil_image_view<vxl_byte>(loaded);
    if (stretch) *stretch = snake_stretch();
    return true;
  }
  const std::string pixels = pixel_words(loaded->pixel_format()) + " pixels";
  if (!stretch) {
    why = pixels + ": the window works on 8-bit images; tessaly-snake maps 16-bit, 32-bit and "
                   "floating-point images to 8 bits for a run";
    return false;
  }
  snake_stretch s;
  if (!vil_stretch_percentiles(*loaded, snake_stretch_lo_fraction, snake_stretch_hi_fraction, image, s.lo, s.hi)) {
    why = pixels + " and not one a finite number";
    return false;
  }
  s.applied = true;
  *stretch = s;
  return true;
}
}  // namespace

bool snake_load_image(const std::string& path, vil_image_view<vxl_byte>& image, std::string& why,
                      unsigned page)
{
  return load(path, image, nullptr, why, page);
}

bool snake_load_image(const std::string& path, vil_image_view<vxl_byte>& image, snake_stretch& stretch,
                      std::string& why, unsigned page)
{
  return load(path, image, &stretch, why, page);
}

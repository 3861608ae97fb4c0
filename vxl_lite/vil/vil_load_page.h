#ifndef vil_load_page_h_
#define vil_load_page_h_
// (Not part of VXL.)  Files that hold several images, one after another:
// the pages of a TIFF, such as a time-lapse's frames.
#include <string>
#include <vil/vil_image_view_base.h>

// Most pages a file may have; a chain longer than this is refused.
const unsigned vil_load_most_pages = 100000;

// How many images the file at path holds: a TIFF's pages, 1 for any other
// file (whether vil_load can read it is found when it does).  0, with the
// reason in why, when it is missing or no regular file, or a TIFF whose
// chain of pages is broken or longer than vil_load_most_pages.
unsigned vil_load_page_count(const std::string& path, std::string& why);

// Image `page` (from 0) of the file at path, read as vil_load reads the
// first, within the same size limit and size check; page 0 is what vil_load
// gives.  Null, with the reason in why, on failure.
vil_image_view_base_sptr vil_load_page(const std::string& path, unsigned page, std::string& why);

#endif

#ifndef vil_copy_streamed_h_
#define vil_copy_streamed_h_
// A copy whose stores go past the caches, for rows of images far larger
// than the caches that are written once and read only later: the cache
// lines are not fetched before they are overwritten, and the data the
// caller still works on is not evicted.
#include <cstddef>

// Images of more bytes than this are taken to be larger than the caches:
// their rows are worth streaming.
const std::size_t vil_copy_streamed_above = std::size_t(16) << 20;

// Copies n_bytes from src to dest, which do not overlap.  The stores are
// ordered before the return, as those of a plain copy.
void vil_copy_streamed(const void* src, void* dest, std::size_t n_bytes);

#endif

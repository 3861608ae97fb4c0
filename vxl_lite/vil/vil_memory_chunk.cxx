#include <vil/vil_memory_chunk.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

void vil_memory_chunk::free_aligned::operator()(void* p) const { std::free(p); }

namespace
{
// Zeroed, 64-byte aligned memory of at least n bytes; null if none.  Large
// images go on 2 MB boundaries and ask for huge pages where the system gives
// them on request: sweeps over them then take far fewer page faults and
// address-translation misses.
void* allocate(std::size_t n)
{
  const std::size_t huge = std::size_t(2) << 20;
  const std::size_t align = n >= 2 * huge ? huge : 64;
  if (n > std::size_t(-1) - align) return nullptr;  // rounding up would wrap
  const std::size_t rounded = ((n ? n : 1) + align - 1) / align * align;
  void* p = std::aligned_alloc(align, rounded);
  if (!p) return nullptr;
  if (align == huge) madvise(p, rounded, MADV_HUGEPAGE);  // only a hint
  std::memset(p, 0, rounded);
  return p;
}
}  // namespace

vil_memory_chunk::vil_memory_chunk(std::size_t n, vil_pixel_format format, no_abort)
  : data_(allocate(n)), size_(n), format_(format)
{
}

vil_memory_chunk::vil_memory_chunk(std::size_t n, vil_pixel_format format)
  : vil_memory_chunk(n, format, no_abort())
{
  if (!data_) throw std::bad_alloc();
}

std::shared_ptr<vil_memory_chunk> vil_memory_chunk::try_create(std::size_t n,
                                                               vil_pixel_format format)
{
  std::shared_ptr<vil_memory_chunk> chunk(new vil_memory_chunk(n, format, no_abort()));
  if (!chunk->data_) return nullptr;
  return chunk;
}

#include <vil/vil_memory_chunk.h>

#include <cstdlib>
#include <cstring>
#include <new>

void vil_memory_chunk::free_aligned::operator()(void* p) const { std::free(p); }

vil_memory_chunk::vil_memory_chunk(std::size_t n, vil_pixel_format format)
  : size_(n), format_(format)
{
  const std::size_t align = 64;
  const std::size_t rounded = ((n ? n : 1) + align - 1) / align * align;
  void* p = std::aligned_alloc(align, rounded);
  if (!p) throw std::bad_alloc();
  std::memset(p, 0, rounded);
  data_.reset(p);
}

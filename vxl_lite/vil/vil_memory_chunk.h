#ifndef vil_memory_chunk_h_
#define vil_memory_chunk_h_
// A block of pixel memory shared by every image view that looks into it.
#include <cstddef>
#include <memory>
#include <vil/vil_pixel_format.h>

class vil_memory_chunk
{
 public:
  // n bytes, zero-initialised, 64-byte aligned for the row loops.  When
  // the memory cannot be had, throws std::bad_alloc, as VXL's does, so that
  // a program working on many images can fail one and go on.
  vil_memory_chunk(std::size_t n, vil_pixel_format format);

  // As above, but a null pointer when the memory cannot be had, for callers
  // that can refuse the work instead (the file readers).
  static std::shared_ptr<vil_memory_chunk> try_create(std::size_t n, vil_pixel_format format);
  vil_memory_chunk(const vil_memory_chunk&) = delete;
  vil_memory_chunk& operator=(const vil_memory_chunk&) = delete;

  void* data() { return data_.get(); }
  const void* const_data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  vil_pixel_format pixel_format() const { return format_; }

 private:
  struct no_abort {};
  vil_memory_chunk(std::size_t n, vil_pixel_format format, no_abort);
  struct free_aligned { void operator()(void* p) const; };
  std::unique_ptr<void, free_aligned> data_;
  std::size_t size_;
  vil_pixel_format format_;
};

typedef std::shared_ptr<vil_memory_chunk> vil_memory_chunk_sptr;

#endif

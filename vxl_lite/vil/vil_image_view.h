#ifndef vil_image_view_h_
#define vil_image_view_h_
// A view of an image: ni columns, nj rows and nplanes planes of pixels of
// type T, addressed through three steps into a reference-counted memory
// chunk.  Copying or assigning a view shares the pixels; deep_copy copies them.
#include <cassert>
#include <cstddef>
#include <iostream>
#include <string>
#include <utility>
#include <vil/vil_image_view_base.h>
#include <vil/vil_memory_chunk.h>
#include <vil/vil_pixel_format.h>

template <class T>
class vil_image_view : public vil_image_view_base
{
 public:
  typedef T pixel_type;

  vil_image_view() = default;

  vil_image_view(unsigned ni, unsigned nj, unsigned nplanes = 1) { set_size(ni, nj, nplanes); }

  // A view into existing memory with the given layout.
  vil_image_view(const vil_memory_chunk_sptr& mem, T* top_left, unsigned ni, unsigned nj,
                 unsigned nplanes, std::ptrdiff_t istep, std::ptrdiff_t jstep,
                 std::ptrdiff_t planestep)
    : vil_image_view_base(ni, nj, nplanes), top_left_(top_left), istep_(istep), jstep_(jstep),
      planestep_(planestep), ptr_(mem)
  {
  }

  // Shares the pixels of a view of another static type when they are of
  // type T; otherwise the view is empty (e.g. 16-bit pixels for a byte view).
  vil_image_view(const vil_image_view_base& that) { assign_from(that); }
  vil_image_view(const vil_image_view_base_sptr& that) { *this = that; }

  vil_image_view(const vil_image_view&) = default;
  vil_image_view& operator=(const vil_image_view&) = default;

  vil_image_view& operator=(const vil_image_view_base& that)
  {
    assign_from(that);
    return *this;
  }
  vil_image_view& operator=(const vil_image_view_base_sptr& that)
  {
    if (!that)
      clear();
    else
      assign_from(*that);
    return *this;
  }

  std::ptrdiff_t istep() const { return istep_; }
  std::ptrdiff_t jstep() const { return jstep_; }
  std::ptrdiff_t planestep() const { return planestep_; }

  T* top_left_ptr() { return top_left_; }
  const T* top_left_ptr() const { return top_left_; }
  const vil_memory_chunk_sptr& memory_chunk() const { return ptr_; }

  // Checked element access.
  T& operator()(unsigned i, unsigned j, unsigned p = 0)
  {
    assert(i < ni_ && j < nj_ && p < nplanes_);
    return top_left_[i * istep_ + j * jstep_ + p * planestep_];
  }
  const T& operator()(unsigned i, unsigned j, unsigned p = 0) const
  {
    assert(i < ni_ && j < nj_ && p < nplanes_);
    return top_left_[i * istep_ + j * jstep_ + p * planestep_];
  }

  // Gives the view ni x nj x nplanes pixels in fresh memory, planes one
  // after the other.  A view that already has that size keeps its memory.
  void set_size(unsigned ni, unsigned nj, unsigned nplanes = 1)
  {
    if (ni == ni_ && nj == nj_ && nplanes == nplanes_ && ptr_) return;
    std::size_t n = 0;
    if (__builtin_mul_overflow(std::size_t(ni), std::size_t(nj), &n) ||
        __builtin_mul_overflow(n, std::size_t(nplanes), &n) ||
        __builtin_mul_overflow(n, sizeof(T), &n)) {
      std::cerr << "vil_image_view::set_size: " << ni << 'x' << nj << 'x' << nplanes
                << " pixels do not fit in memory\n";
      clear();
      return;
    }
    ptr_ = std::make_shared<vil_memory_chunk>(n, vil_pixel_format_of<T>::value);
    top_left_ = static_cast<T*>(ptr_->data());
    ni_ = ni;
    nj_ = nj;
    nplanes_ = nplanes;
    istep_ = 1;
    jstep_ = std::ptrdiff_t(ni);
    planestep_ = std::ptrdiff_t(ni) * nj;
  }

  // Releases the pixels: the view becomes empty.
  void clear() { *this = vil_image_view(); }

  void fill(T value)
  {
    for (unsigned p = 0; p < nplanes_; ++p)
      for (unsigned j = 0; j < nj_; ++j) {
        T* row = top_left_ + p * planestep_ + j * jstep_;
        for (unsigned i = 0; i < ni_; ++i) row[i * istep_] = value;
      }
  }

  // Copies the pixels of src into memory of this view's own.
  void deep_copy(const vil_image_view& src)
  {
    vil_image_view copy(src.ni(), src.nj(), src.nplanes());
    for (unsigned p = 0; p < src.nplanes(); ++p)
      for (unsigned j = 0; j < src.nj(); ++j)
        for (unsigned i = 0; i < src.ni(); ++i) copy(i, j, p) = src(i, j, p);
    *this = std::move(copy);
  }

  // True when the pixels fill one block of memory without gaps.
  bool is_contiguous() const
  {
    std::pair<std::ptrdiff_t, std::ptrdiff_t> s[3] = {
        {istep_, ni_}, {jstep_, nj_}, {planestep_, nplanes_}};
    for (int a = 0; a < 3; ++a)
      for (int b = a + 1; b < 3; ++b)
        if (s[b].first < s[a].first) std::swap(s[a], s[b]);
    return s[0].first == 1 && s[1].first == s[0].second && s[2].first == s[0].second * s[1].second;
  }

  // Same pixels, same layout (not a comparison of pixel values).
  bool operator==(const vil_image_view& v) const
  {
    return top_left_ == v.top_left_ && ni_ == v.ni_ && nj_ == v.nj_ && nplanes_ == v.nplanes_ &&
           istep_ == v.istep_ && jstep_ == v.jstep_ && planestep_ == v.planestep_;
  }
  bool operator!=(const vil_image_view& v) const { return !(*this == v); }

  vil_pixel_format pixel_format() const override { return vil_pixel_format_of<T>::value; }
  std::string is_a() const override
  {
    return std::string("vil_image_view<") + vil_pixel_format_name(pixel_format()) + ">";
  }

 private:
  void assign_from(const vil_image_view_base& that)
  {
    if (&that == this) return;
    if (that.pixel_format() != pixel_format()) {
      if (that.size() != 0)
        std::cerr << "vil_image_view::operator =: Pixel formats incompatible\n";
      clear();
      return;
    }
    *this = static_cast<const vil_image_view&>(that);
  }

  T* top_left_{nullptr};
  std::ptrdiff_t istep_{0};
  std::ptrdiff_t jstep_{0};
  std::ptrdiff_t planestep_{0};
  vil_memory_chunk_sptr ptr_;
};

#endif

#ifndef vnl_vector_h_
#define vnl_vector_h_
// A numeric vector of fixed (but settable) length; copies are deep.
#include <cstddef>
#include <ostream>
#include <vector>

template <class T>
class vnl_vector
{
 public:
  typedef T element_type;
  typedef T* iterator;
  typedef const T* const_iterator;

  vnl_vector() = default;
  explicit vnl_vector(std::size_t n) : data_(n, T(0)) {}
  vnl_vector(std::size_t n, const T& value) : data_(n, value) {}
  vnl_vector(const T* block, std::size_t n) : data_(block, block + n) {}

  std::size_t size() const { return data_.size(); }
  bool empty() const { return data_.empty(); }

  // Resizes to n elements; returns true if the size changed.  New elements are 0.
  bool set_size(std::size_t n)
  {
    if (n == data_.size()) return false;
    data_.assign(n, T(0));
    return true;
  }
  void clear() { data_.clear(); }
  vnl_vector& fill(const T& v) { for (T& x : data_) x = v; return *this; }

  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& operator()(std::size_t i) { return data_[i]; }
  const T& operator()(std::size_t i) const { return data_[i]; }
  T get(std::size_t i) const { return data_[i]; }
  void put(std::size_t i, const T& v) { data_[i] = v; }

  T* data_block() { return data_.data(); }
  const T* data_block() const { return data_.data(); }
  iterator begin() { return data_.data(); }
  iterator end() { return data_.data() + data_.size(); }
  const_iterator begin() const { return data_.data(); }
  const_iterator end() const { return data_.data() + data_.size(); }

  bool operator==(const vnl_vector& v) const { return data_ == v.data_; }
  bool operator!=(const vnl_vector& v) const { return data_ != v.data_; }

 private:
  std::vector<T> data_;
};

template <class T>
std::ostream& operator<<(std::ostream& s, const vnl_vector<T>& v)
{
  for (std::size_t i = 0; i < v.size(); ++i) s << (i ? " " : "") << v[i];
  return s;
}

#endif

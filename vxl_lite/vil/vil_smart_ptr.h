#ifndef vil_smart_ptr_h_
#define vil_smart_ptr_h_
// Reference-counted pointer with VXL's spelling (ptr(), as_pointer()).
#include <memory>

template <class T>
class vil_smart_ptr
{
 public:
  vil_smart_ptr() = default;
  vil_smart_ptr(std::nullptr_t) {}
  explicit vil_smart_ptr(T* p) : p_(p) {}
  template <class U>
  vil_smart_ptr(const vil_smart_ptr<U>& o) : p_(o.shared()) {}
  template <class U>
  explicit vil_smart_ptr(std::shared_ptr<U> p) : p_(std::move(p)) {}

  T* ptr() const { return p_.get(); }
  T* as_pointer() const { return p_.get(); }
  T* operator->() const { return p_.get(); }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  bool operator!() const { return p_ == nullptr; }
  bool operator==(const vil_smart_ptr& o) const { return p_ == o.p_; }
  bool operator!=(const vil_smart_ptr& o) const { return p_ != o.p_; }

  const std::shared_ptr<T>& shared() const { return p_; }

 private:
  std::shared_ptr<T> p_;
};

#endif

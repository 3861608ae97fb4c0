#ifndef vsl_binary_loader_h_
#define vsl_binary_loader_h_
// Reads objects of classes derived from BaseClass through a BaseClass
// pointer.  The stream holds the class name (is_a()) followed by the
// object's own record, or the name "VSL_NULL_PTR" alone for a null pointer.
// Each class that can be read is registered by a prototype (add()), which is
// cloned to make the object to read into.
//
// BaseClass needs: virtual std::string is_a() const, virtual BaseClass*
// clone() const, virtual void b_read(vsl_b_istream&), virtual destructor.
#include <string>
#include <vector>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_binary_loader_base.h>

template <class BaseClass>
class vsl_binary_loader : public vsl_binary_loader_base
{
 public:
  // The one loader for BaseClass, created and registered on first use.
  static vsl_binary_loader<BaseClass>& instance();

  ~vsl_binary_loader() override;

  // Registers a clone of b as the prototype for b.is_a(); the loader owns it.
  void add(const BaseClass& b) { object_.push_back(b.clone()); }

  // The prototypes in registration order.
  const std::vector<BaseClass*>& object() const { return object_; }

  // Deletes b, then reads a class name and the record into a new object,
  // or sets b null for "VSL_NULL_PTR".  An unknown name is reported, leaves
  // b null and puts the stream into its bad state.  A stream that is already
  // bad leaves b as it was.
  void load_object(vsl_b_istream& is, BaseClass*& b);

  std::string is_a() const { return "vsl_binary_loader<" + type_name(typeid(BaseClass)) + ">"; }

 private:
  vsl_binary_loader() = default;

  std::vector<BaseClass*> object_;
  static vsl_binary_loader<BaseClass>* instance_;
};

template <class BaseClass>
vsl_binary_loader<BaseClass>* vsl_binary_loader<BaseClass>::instance_ = nullptr;

template <class BaseClass>
vsl_binary_loader<BaseClass>& vsl_binary_loader<BaseClass>::instance()
{
  if (instance_ == nullptr) {
    instance_ = new vsl_binary_loader<BaseClass>;
    instance_->register_this();
  }
  return *instance_;
}

template <class BaseClass>
vsl_binary_loader<BaseClass>::~vsl_binary_loader()
{
  for (BaseClass* p : object_) delete p;
  if (instance_ == this) instance_ = nullptr;
}

template <class BaseClass>
void vsl_binary_loader<BaseClass>::load_object(vsl_b_istream& is, BaseClass*& b)
{
  if (!is) return;
  delete b;
  b = nullptr;
  std::string name;
  vsl_b_read(is, name);
  if (!is || name == "VSL_NULL_PTR") return;
  for (const BaseClass* proto : object_) {
    if (proto->is_a() == name) {
      b = proto->clone();
      b->b_read(is);
      return;
    }
  }
  std::string known;
  for (const BaseClass* proto : object_) known += (known.empty() ? "" : ", ") + proto->is_a();
  is.report_error(is_a() + "::load_object()", "Unknown class name \"" + name + "\"; registered: " +
                                                  (known.empty() ? std::string("none") : known));
}

// Reads a polymorphic object through the loader for BaseClass.
template <class BaseClass>
void vsl_b_read(vsl_b_istream& is, BaseClass*& b)
{
  vsl_binary_loader<BaseClass>::instance().load_object(is, b);
}

#endif

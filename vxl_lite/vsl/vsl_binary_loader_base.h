#ifndef vsl_binary_loader_base_h_
#define vsl_binary_loader_base_h_
// Common base of the polymorphic loaders.  Each loader registers itself when
// it is created, so that vsl_delete_all_loaders() (also run at program exit)
// can free every loader and the prototypes it holds.
#include <string>
#include <typeinfo>

class vsl_binary_loader_base
{
 public:
  vsl_binary_loader_base() = default;
  virtual ~vsl_binary_loader_base();
  vsl_binary_loader_base(const vsl_binary_loader_base&) = delete;
  vsl_binary_loader_base& operator=(const vsl_binary_loader_base&) = delete;

  // Adds this loader to the registry, which then owns it.
  void register_this();

 protected:
  // Readable name of a type, for messages.
  static std::string type_name(const std::type_info& t);
};

// Deletes every registered loader; a loader used afterwards is created anew.
void vsl_delete_all_loaders();

#endif

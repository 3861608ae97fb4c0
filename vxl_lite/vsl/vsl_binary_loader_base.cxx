#include <vsl/vsl_binary_loader_base.h>
#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <vector>

namespace
{
struct loader_registry
{
  std::vector<vsl_binary_loader_base*> loaders;
  ~loader_registry() { delete_all(); }
  void delete_all()
  {
    // Taken out first: each destructor unregisters itself from this list.
    std::vector<vsl_binary_loader_base*> doomed;
    doomed.swap(loaders);
    for (vsl_binary_loader_base* l : doomed) delete l;
  }
};

loader_registry& registry()
{
  static loader_registry r;
  return r;
}
} // namespace

vsl_binary_loader_base::~vsl_binary_loader_base()
{
  auto& v = registry().loaders;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void vsl_binary_loader_base::register_this()
{
  auto& v = registry().loaders;
  if (std::find(v.begin(), v.end(), this) == v.end()) v.push_back(this);
}

std::string vsl_binary_loader_base::type_name(const std::type_info& t)
{
  int status = 0;
  char* s = abi::__cxa_demangle(t.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && s) ? s : t.name();
  std::free(s);
  return name;
}

void vsl_delete_all_loaders() { registry().delete_all(); }

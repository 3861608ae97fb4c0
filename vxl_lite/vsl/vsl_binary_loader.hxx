#ifndef vsl_binary_loader_hxx_
#define vsl_binary_loader_hxx_
// Explicit instantiation of the loader for one base class, for the one
// source file that owns it.  The templates are all in the header, so this is
// optional.
#include <vsl/vsl_binary_loader.h>

#define VSL_BINARY_LOADER_INSTANTIATE(T)         \
  template class vsl_binary_loader<T>;           \
  template void vsl_b_read(vsl_b_istream&, T*&)

#endif

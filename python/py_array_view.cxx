#include <python/py_array_view.h>

#include <climits>
#include <cstdint>
#include <memory>

namespace py = pybind11;

namespace
{
template <class T> const char* dtype_name();
template <> const char* dtype_name<vxl_byte>() { return "uint8"; }
template <> const char* dtype_name<float>() { return "float32"; }

// True when every stride is a whole number of elements and the first pixel
// is aligned for T, so that the pixels can be addressed as T in place.
template <class T>
bool steps_allowed(const py::array& a)
{
  if (reinterpret_cast<std::uintptr_t>(a.data()) % alignof(T) != 0) return false;
  for (py::ssize_t d = 0; d < a.ndim(); ++d)
    if (a.strides(d) % py::ssize_t(sizeof(T)) != 0) return false;
  return true;
}
}  // namespace

std::string py_describe(const py::handle& obj)
{
  if (!py::isinstance<py::array>(obj)) return std::string(py::str(py::type::handle_of(obj).attr("__name__")));
  const py::array a = py::reinterpret_borrow<py::array>(obj);
  std::string shape = "(";
  for (py::ssize_t d = 0; d < a.ndim(); ++d)
    shape += (d ? ", " : "") + std::to_string(a.shape(d)) + (a.ndim() == 1 ? "," : "");
  return std::string(py::str(a.dtype())) + " array of shape " + shape + ")";
}

template <class T>
vil_image_view<T> py_image_view(py::object& obj, const char* what, bool planes_allowed)
{
  if (!py::isinstance<py::array>(obj) || !py::reinterpret_borrow<py::array>(obj).dtype().is(py::dtype::of<T>()))
    throw py::type_error(std::string(what) + " must be a " + dtype_name<T>() + " array, not " +
                         py_describe(obj));
  py::array array = py::reinterpret_borrow<py::array>(obj);
  const py::ssize_t nd = array.ndim();
  if (nd != 2 && !(planes_allowed && nd == 3))
    throw py::value_error(std::string(what) + " must have shape " +
                          (planes_allowed ? "(H, W) or (H, W, C)" : "(H, W)") + ", not " +
                          std::to_string(nd) + " dimensions: " + py_describe(array));
  for (py::ssize_t d = 0; d < nd; ++d)
    if (array.shape(d) == 0 || array.shape(d) > py::ssize_t(UINT_MAX))
      throw py::value_error(std::string(what) + " has no pixels or too many: " + py_describe(array));
  // Strides that are not whole elements (a field of a record array, say)
  // are read from an aligned copy instead.
  if (!steps_allowed<T>(array)) {
    array = py::array_t<T, py::array::c_style>::ensure(array);
    if (!array) throw py::error_already_set();
    obj = array;
  }

  const py::ssize_t size = sizeof(T);
  const unsigned np = nd == 3 ? unsigned(array.shape(2)) : 1u;
  // The view only reads: a read-only array's memory is never written.
  T* top_left = static_cast<T*>(const_cast<void*>(array.data()));
  return vil_image_view<T>(vil_memory_chunk_sptr(), top_left, unsigned(array.shape(1)),
                           unsigned(array.shape(0)), np, array.strides(1) / size,
                           array.strides(0) / size, nd == 3 ? array.strides(2) / size : 0);
}

template <class T>
py::array py_array_of(const vil_image_view<T>& view)
{
  const py::ssize_t size = sizeof(T);
  std::vector<py::ssize_t> shape = {py::ssize_t(view.nj()), py::ssize_t(view.ni())};
  std::vector<py::ssize_t> strides = {view.jstep() * size, view.istep() * size};
  if (view.nplanes() != 1) {
    shape.push_back(py::ssize_t(view.nplanes()));
    strides.push_back(view.planestep() * size);
  }
  // The capsule holds a share of the pixels for as long as the array lives.
  auto* share = new vil_memory_chunk_sptr(view.memory_chunk());
  py::capsule owner(share, [](void* p) { delete static_cast<vil_memory_chunk_sptr*>(p); });
  return py::array(py::dtype::of<T>(), shape, strides, view.top_left_ptr(), owner);
}

template vil_image_view<vxl_byte> py_image_view<vxl_byte>(py::object&, const char*, bool);
template vil_image_view<float> py_image_view<float>(py::object&, const char*, bool);
template py::array py_array_of<vxl_byte>(const vil_image_view<vxl_byte>&);
template py::array py_array_of<float>(const vil_image_view<float>&);

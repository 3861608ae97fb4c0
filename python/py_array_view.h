#ifndef py_array_view_h_
#define py_array_view_h_
// NumPy arrays as vil image views over the same memory, and back.  An array
// of shape (H, W) or (H, W, C) is a view of W columns (i), H rows (j) and C
// planes; NumPy's byte strides, of any sign, become the view's steps, so
// C-ordered, Fortran-ordered and sliced arrays are all read in place.
#include <string>
#include <pybind11/numpy.h>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// A view of the pixels of the array `obj`; `what` names the argument in the
// messages.  Raises TypeError unless it is an array of T's dtype (uint8 or float32; nothing is
// converted) and ValueError unless the array has 2 dimensions (3 when
// planes_allowed) and pixels.  Strides that are not whole elements make
// `obj` an aligned copy.  The view does not own the memory: the caller
// keeps `obj` alive, and its pixels unchanged, while using the view.
template <class T>
vil_image_view<T> py_image_view(pybind11::object& obj, const char* what, bool planes_allowed);

// An array over view's pixels, sharing them: (nj, ni) for one plane, else
// (nj, ni, nplanes).  The array keeps the view's memory alive.
template <class T>
pybind11::array py_array_of(const vil_image_view<T>& view);

// "float64 array of shape (3, 4)": how an argument is named in messages.
std::string py_describe(const pybind11::handle& obj);

#endif

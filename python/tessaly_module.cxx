// The Python module `tessaly`: the snake and its cost image on NumPy arrays,
// the same run to the last bit as the window's "Run Snake" and tessaly-snake.
// The GIL is released while the cost pipeline and the run work; a run takes
// it back once per step, for Ctrl-C and the callback.
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <app/snake_image_file.h>
#include <app/snake_run.h>
#include <app/tessaly_snake.h>
#include <cli/cli_options.h>
#include <python/py_array_view.h>

namespace py = pybind11;

namespace
{
typedef vgl_point_2d<double> point;

// The run's settings from the arguments, refused as tessaly-snake refuses
// the same options.
snake_run_settings run_settings(int weight, int passes, int steps, double spacing, long max_segments,
                                int pressure)
{
  auto slider = [](const char* name, long v, long lo, long hi) {
    if (v < lo || v > hi)
      throw py::value_error(std::string(name) + " must be " + std::to_string(lo) + " .. " +
                            std::to_string(hi) + ", not " + std::to_string(v));
  };
  slider("weight", weight, 0, snake_slider_max);
  slider("pressure", pressure, -snake_pressure_slider_max, snake_pressure_slider_max);
  slider("passes", passes, 0, cli_most_steps);
  slider("steps", steps, 0, cli_most_steps);
  slider("max_segments", max_segments, 1, cli_most_segments);
  if ((long long)passes * steps > cli_most_steps)
    throw py::value_error("at most " + std::to_string(cli_most_steps) +
                          " steps in all (passes times steps)");
  if (!(spacing > 0) || !std::isfinite(spacing))
    throw py::value_error("spacing must be a positive number of pixels, not " + std::to_string(spacing));
  snake_run_settings s;
  s.weight = snake_weight_from_slider(weight);
  s.pressure = snake_pressure_from_slider(pressure);
  s.passes = passes;
  s.steps = steps;
  s.spacing = spacing;
  s.max_segments = unsigned(max_segments);
  return s;
}

// The smoothing factor from the slider's position or a width in pixels,
// as tessaly-snake takes --smooth or --smooth-px.
double smooth_k(const std::optional<int>& smooth, const std::optional<double>& smooth_px)
{
  if (smooth && smooth_px) throw py::value_error("give smooth or smooth_px, not both");
  if (smooth_px) {
    if (!(*smooth_px >= 0 && *smooth_px <= snake_most_smooth_px))
      throw py::value_error("smooth_px must be a width of 0 .. " + std::to_string(int(snake_most_smooth_px)) +
                            " pixels, not " + std::to_string(*smooth_px));
    return snake_smooth_k_from_px(*smooth_px);
  }
  if (!smooth) return snake_start_smooth_k;
  if (*smooth < 0 || *smooth > snake_slider_max)
    throw py::value_error("smooth must be 0 .. " + std::to_string(snake_slider_max) + " or None, not " +
                          std::to_string(*smooth));
  return snake_smooth_k_from_slider(*smooth);
}

// The start points: an (M, 2) array of x, y with M >= 3, every one finite
// and within snake_most_sizes_outside image sizes of the ni x nj image.
std::vector<point> start_points(const py::object& points, unsigned ni, unsigned nj)
{
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(points);
  if (!a) {
    PyErr_Clear();
    throw py::type_error("points must be an (M, 2) array of numbers, not " + py_describe(points));
  }
  if (a.ndim() != 2 || a.shape(1) != 2)
    throw py::value_error("points must have shape (M, 2), x and y a row, not " + py_describe(a));
  if (a.shape(0) < py::ssize_t(snake_min_start_points))
    throw py::value_error("points must hold at least 3 points, not " + std::to_string(a.shape(0)));
  std::vector<point> pts;
  pts.reserve(std::size_t(a.shape(0)));
  for (py::ssize_t k = 0; k < a.shape(0); ++k) {
    const point p(a.at(k, 0), a.at(k, 1));
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
      throw py::value_error("point " + std::to_string(k) + " is not finite");
    if (snake_point_far_outside(p, ni, nj))
      throw py::value_error("point " + std::to_string(k) + " lies more than 10 image sizes outside this " +
                            std::to_string(ni) + " x " + std::to_string(nj) + " image");
    pts.push_back(p);
  }
  return pts;
}

// The points as a fresh (N, 2) float64 array.
py::array_t<double> points_array(const std::vector<point>& pts, bool writeable)
{
  py::array_t<double> a({py::ssize_t(pts.size()), py::ssize_t(2)});
  auto out = a.mutable_unchecked<2>();
  for (std::size_t k = 0; k < pts.size(); ++k) {
    out(py::ssize_t(k), 0) = pts[k].x();
    out(py::ssize_t(k), 1) = pts[k].y();
  }
  if (!writeable) py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return a;
}

// The run itself, with the GIL released.  It is taken back after every
// step for the callback, and without one every 20 ms, for Ctrl-C: a busy
// Python thread may hold it for milliseconds each time.  A false value
// (other than None) from the callback ends the run where it is.
py::array_t<double> run(const vimt_image_2d_of<float>& cost, float max_cost, std::vector<point> start,
                        const snake_run_settings& settings, const py::object& callback)
{
  if (!callback.is_none() && !PyCallable_Check(callback.ptr()))
    throw py::type_error("callback must be callable or None, not " + py_describe(callback));
  const bool has_callback = !callback.is_none();
  snake_run r(std::move(start), cost, max_cost, settings);
  {
    py::gil_scoped_release nogil;
    auto checked = std::chrono::steady_clock::now();
    while (!r.done()) {
      r.advance();
      if (r.step() == 0) continue;  // the pass's resampling
      if (!has_callback && std::chrono::steady_clock::now() - checked < std::chrono::milliseconds(20)) continue;
      py::gil_scoped_acquire gil;
      checked = std::chrono::steady_clock::now();
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (!has_callback) continue;
      const py::object said = callback(r.pass(), r.step() - 1, points_array(r.points(), false));
      if (said.is_none()) continue;
      const int go_on = PyObject_IsTrue(said.ptr());
      if (go_on < 0) throw py::error_already_set();
      if (go_on == 0) break;
    }
  }
  return points_array(r.points(), true);
}

const char* const load_doc = R"doc(load(path) -> numpy.ndarray

Reads an image file as tessaly does (PNG, JPEG, TIFF, BMP, PNM, ...).

path: str, bytes or os.PathLike, the file's name.

Returns the pixels as uint8: shape (H, W) for grey, (H, W, C) with C = 2, 3
or 4 for grey and alpha, colour, colour and alpha; H rows, W columns.
Raises OSError naming the file and the reason when it cannot be read or its
pixels are not 8-bit.
)doc";

const char* const cost_doc = R"doc(cost_image(image, smooth=None, smooth_px=None) -> numpy.ndarray

The cost image the snake is drawn to: the gradient magnitude (3 x 3 Sobel,
root mean square over the planes), smoothed twice by the exponential filter,
as the window shows it under "Cost Image" (before stretching to bytes).

image: uint8 array of shape (H, W) or (H, W, C), in any memory order or a
    strided view such as img[::2, ::-1]; read in place, never converted.
smooth: the smoothing slider's position, 0 .. 100 (filter factor
    0.5 + smooth / 201), or None for the window's start, factor 0.75, which
    tessaly-snake uses without --smooth.
smooth_px: instead of smooth, the smoothing's width (standard deviation)
    in pixels, 0 .. 1000, as tessaly-snake --smooth-px.

Returns a float32 array of shape (H, W), in gradient units (grey levels per
pixel).  Raises TypeError for another dtype, ValueError for another shape or
an empty image.
)doc";

const char* const snake_doc = R"doc(snake(image, points, weight=50, smooth=None, passes=10, steps=10, spacing=5.0, max_segments=50, callback=None, pressure=0, smooth_px=None) -> numpy.ndarray

Runs the snake on image from points, as the window's "Run Snake" and
tessaly-snake do: each pass resamples the closed curve to even spacing,
then takes `steps` snake steps on the image's cost image.  The result is bit
for bit what tessaly-snake writes for the same image, points and settings.

image: uint8 array of shape (H, W) or (H, W, C), any memory order or strides.
points: (M, 2) array of x, y start points, M >= 3, in image pixel
    coordinates: x the column, y the row, (0, 0) the centre of the top-left
    pixel; a closed curve (the last point joins the first).  Each within 10
    image sizes of the image.
weight: the weight slider, 0 (all internal: the curve only shrinks and
    smooths) .. 100 (all external: only the image's edges count).
smooth: the smoothing slider, 0 .. 100, or None for the window's start
    (see cost_image).
passes: resamplings of the curve, 0 .. 1000000.
steps: snake steps per pass, 0 .. 1000000; passes * steps <= 1000000.
spacing: target distance between points and the length unit of the
    internal term, in pixels (> 0).
max_segments: most points of the resampled curve, 1 .. 100000; the spacing
    widens to keep to it.
callback: None, or callback(pass_index, step_index, points) called after
    every step (pass_index from 0, step_index from 0 within the pass) with
    that step's points as a read-only (N, 2) float64 array of its own.
    Returning False (or another false value but None) stops the run and the
    points reached so far are returned; an exception it raises, or Ctrl-C,
    ends the run with that exception.
pressure: the pressure slider, -100 (shrink) .. 100 (grow): a push along
    the curve's outward normal, at 100 worth as much as the internal term's
    pull over one spacing (tessaly-snake --pressure).
smooth_px: instead of smooth, the smoothing's width in pixels (see
    cost_image).

Returns the final points, an (N, 2) float64 array of x, y in pixels.  The
GIL is released while the run works, so Python threads run images in
parallel.  Raises TypeError or ValueError for bad arguments, naming them.
)doc";

const char* const on_cost_doc = R"doc(snake_on_cost(cost, points, weight=50, passes=10, steps=10, spacing=5.0, max_segments=50, callback=None, pressure=0) -> numpy.ndarray

Runs the snake as snake() does on a cost image already computed, such as
cost_image()'s, so that many starts or weights share one cost image.  The
external term is normalised by the largest value of cost.

cost: float32 array of shape (H, W), finite, any memory order or strides;
    snake(image, ...) equals snake_on_cost(cost_image(image, smooth), ...).
The other arguments and the result are snake()'s.
)doc";
}  // namespace

PYBIND11_MODULE(tessaly, m)
{
  // The docstrings start with their own signatures, in Python terms.
  py::options options;
  options.disable_function_signatures();
  m.doc() = "tessaly's active contour (snake) and cost image on NumPy arrays.\n\n"
            "Coordinates are image pixels: x the column, y the row, (0, 0) the\n"
            "centre of the top-left pixel.";

  m.def(
    "load",
    [](const py::object& path) {
      // str, bytes or os.PathLike, encoded as the file system wants it.
      const std::string name = py::bytes(py::module_::import("os").attr("fsencode")(path));
      if (name.find('\0') != std::string::npos) throw py::value_error("path holds a NUL character");
      vil_image_view<vxl_byte> image;
      std::string why;
      bool ok = false;
      {
        py::gil_scoped_release nogil;
        ok = snake_load_image(name, image, why);
      }
      if (!ok) {
        PyErr_SetObject(PyExc_OSError, py::str(name + ": " + why).ptr());
        throw py::error_already_set();
      }
      return py_array_of(image);
    },
    py::arg("path"), load_doc);

  m.def(
    "cost_image",
    [](py::object image, std::optional<int> smooth, std::optional<double> smooth_px) {
      const vil_image_view<vxl_byte> view = py_image_view<vxl_byte>(image, "image", true);
      const double k = smooth_k(smooth, smooth_px);
      vil_image_view<float> cost, scratch;
      float lo = 0, hi = 0;
      {
        py::gil_scoped_release nogil;
        snake_cost_image(view, k, cost, scratch, lo, hi);
      }
      return py_array_of(cost);
    },
    py::arg("image"), py::arg("smooth") = py::none(), py::arg("smooth_px") = py::none(), cost_doc);

  m.def(
    "snake",
    [](py::object image, const py::object& points, int weight, std::optional<int> smooth, int passes,
       int steps, double spacing, long max_segments, const py::object& callback, int pressure,
       std::optional<double> smooth_px) {
      const vil_image_view<vxl_byte> view = py_image_view<vxl_byte>(image, "image", true);
      const snake_run_settings s = run_settings(weight, passes, steps, spacing, max_segments, pressure);
      const double k = smooth_k(smooth, smooth_px);
      std::vector<point> start = start_points(points, view.ni(), view.nj());
      vimt_image_2d_of<float> cost;
      vil_image_view<float> scratch;
      float lo = 0, hi = 0;
      {
        py::gil_scoped_release nogil;
        snake_cost_image(view, k, cost.image(), scratch, lo, hi);
        scratch.clear();
      }
      return run(cost, hi, std::move(start), s, callback);
    },
    py::arg("image"), py::arg("points"), py::arg("weight") = 50, py::arg("smooth") = py::none(),
    py::arg("passes") = 10, py::arg("steps") = 10, py::arg("spacing") = 5.0, py::arg("max_segments") = 50,
    py::arg("callback") = py::none(), py::arg("pressure") = 0, py::arg("smooth_px") = py::none(), snake_doc);

  m.def(
    "snake_on_cost",
    [](py::object cost_array, const py::object& points, int weight, int passes, int steps, double spacing,
       long max_segments, const py::object& callback, int pressure) {
      vimt_image_2d_of<float> cost;
      cost.image() = py_image_view<float>(cost_array, "cost", false);
      const snake_run_settings s = run_settings(weight, passes, steps, spacing, max_segments, pressure);
      const vil_image_view<float>& v = cost.image();
      std::vector<point> start = start_points(points, v.ni(), v.nj());
      float hi = 0;
      bool finite = true;
      {
        py::gil_scoped_release nogil;
        for (unsigned j = 0; j < v.nj(); ++j)
          for (unsigned i = 0; i < v.ni(); ++i) {
            const float c = v(i, j);
            finite = finite && std::isfinite(c);
            if (c > hi || (i == 0 && j == 0)) hi = c;
          }
      }
      if (!finite) throw py::value_error("cost holds a value that is not finite");
      return run(cost, hi, std::move(start), s, callback);
    },
    py::arg("cost"), py::arg("points"), py::arg("weight") = 50, py::arg("passes") = 10,
    py::arg("steps") = 10, py::arg("spacing") = 5.0, py::arg("max_segments") = 50,
    py::arg("callback") = py::none(), py::arg("pressure") = 0, on_cost_doc);
}

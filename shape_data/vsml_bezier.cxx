#include <shape_data/vsml_bezier.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <vsl/vsl_binary_io.h>
#include <vgl/io/vgl_io_point_2d.h>

namespace
{
typedef vgl_point_2d<double> point;
typedef vgl_vector_2d<double> vec;

// Subdivision stops at this depth below an original segment whatever the
// tolerance: 2^16 chords per segment already give a relative straightness far
// below any useful tolerance, and a zero tolerance or a curve at the limits
// of double precision would otherwise split (almost) forever.
const int max_flatten_depth = 16;

point lerp(const point& a, const point& b, double t) { return a + t * (b - a); }

// The point at fraction f of the way from a to b, written as a weighted sum.
point blend(const point& a, const point& b, double wa, double wb)
{
  return point(wa * a.x() + wb * b.x(), wa * a.y() + wb * b.y());
}

bool is_finite(const point& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// Segment P0, C1, C2, P3 lies within tol of its chord.
bool straight(const point& p0, const point& c1, const point& c2, const point& p3, double tol)
{
  if (p0 == p3) return true;
  const vec d = p3 - p0;
  const double l2 = d.sqr_length();
  for (const point* c : {&c1, &c2}) {
    const vec cp = *c - p0;
    const double s = dot_product(cp, d) / l2;
    if (!(s >= 0.0 && s <= 1.0)) return false;
    // Rounding can make the squared distance of a point on the line slightly
    // negative; its square root would be NaN and never pass.
    const double dist = std::sqrt(std::max(0.0, cp.sqr_length() - s * s * l2));
    if (!(dist <= tol)) return false;
  }
  return true;
}

// Calls visit(a, b) for each chord of segment P0..P3 flattened by halving.
template <class Visitor>
void flatten_segment(const point& p0, const point& c1, const point& c2, const point& p3,
                     double tol, int depth, Visitor& visit)
{
  // A non-finite control point never becomes straight and the segment has no
  // length; it is passed on as one chord marked as such.
  if (!(is_finite(p0) && is_finite(c1) && is_finite(c2) && is_finite(p3))) {
    visit(p0, p3, false);
    return;
  }
  const double c = (p3 - p0).length();
  if (depth >= max_flatten_depth || straight(p0, c1, c2, p3, tol * c)) {
    visit(p0, p3, true);
    return;
  }
  const point r0 = lerp(p0, c1, 0.5), q = lerp(c1, c2, 0.5), s = lerp(c2, p3, 0.5);
  const point r1 = lerp(r0, q, 0.5), u = lerp(q, s, 0.5), x = lerp(r1, u, 0.5);
  flatten_segment(p0, r0, r1, x, tol, depth + 1, visit);
  flatten_segment(x, u, s, p3, tol, depth + 1, visit);
}

struct chord_sum
{
  double length = 0.0;
  void operator()(const point& a, const point& b, bool finite)
  {
    length += finite ? (b - a).length() : std::numeric_limits<double>::quiet_NaN();
  }
};

// Walks the chords placing m points, the first already placed, at arc-length
// steps of `step`.
struct chord_walk
{
  std::vector<point>& out;
  std::size_t m;
  double step;
  double a = 0.0;  // length carried over from earlier chords
  point last;

  void operator()(const point& p0, const point& p3, bool /*finite*/)
  {
    last = p3;
    if (out.size() >= m) return;
    const vec d = p3 - p0;
    const double c = d.length();
    double s = 0.0;
    while (out.size() < m && !((1.0 - s) * c + a < step)) {
      s += (step - a) / c;
      out.push_back(p0 + s * d);
      a = 0.0;
    }
    if (out.size() < m) a += (1.0 - s) * c;
  }
};
}  // namespace

int vsml_bezier::wrap(int i) const
{
  const int n = int(nodes_.size());
  const int r = i % n;
  return r < 0 ? r + n : r;
}

void vsml_bezier::checkbounds(int i) const
{
  if (i < 0 || i >= int(nodes_.size())) {
    std::cerr << "vsml_bezier::checkbounds() : attempt to access node " << i
              << " when range is 0 to " << int(nodes_.size()) - 1 << '\n';
    std::abort();
  }
}

void vsml_bezier::checkbounds(int i, double t) const
{
  checkbounds(i);
  if (!(t >= 0.0 && t <= 1.0)) {
    std::cerr << "vsml_bezier::checkbounds() : _Bezier parameter t = " << t
              << " is outside legal range ( 0 <= t <= 1 )\n";
    std::abort();
  }
}

const vsml_bezier_node& vsml_bezier::node(int i) const
{
  checkbounds(i);
  return nodes_[i];
}

vsml_bezier_node& vsml_bezier::node(int i)
{
  checkbounds(i);
  return nodes_[i];
}

void vsml_bezier::set(const std::vector<vgl_point_2d<double>>& pts)
{
  nodes_.clear();
  nodes_.reserve(pts.size());
  for (const point& p : pts) nodes_.push_back(vsml_bezier_node(p));
  smooth();
}

void vsml_bezier::smooth()
{
  const int n = int(nodes_.size());
  if (n < 2) return;

  // Second derivatives M of the spline with M[0] = M[n-1] = 0, from the
  // tridiagonal system 0.5 M[j-1] + 2 M[j] + 0.5 M[j+1] = 3 (P[j-1] - 2 P[j] + P[j+1]).
  std::vector<double> e(n, 0.0);
  std::vector<vec> d(n), m(n);
  for (int j = 1; j <= n - 2; ++j) {
    const double q = 2.0 + 0.5 * e[j - 1];
    e[j] = -0.5 / q;
    const point& a = nodes_[j - 1].point();
    const point& b = nodes_[j].point();
    const point& c = nodes_[j + 1].point();
    const vec rhs(3.0 * (a.x() - 2.0 * b.x() + c.x()), 3.0 * (a.y() - 2.0 * b.y() + c.y()));
    d[j] = (rhs - 0.5 * d[j - 1]) / q;
  }
  for (int j = n - 2; j >= 1; --j) m[j] = e[j] * m[j + 1] + d[j];

  for (int j = 0; j <= n - 2; ++j) {
    const point& p = nodes_[j].point();
    const point& p1 = nodes_[j + 1].point();
    const point c1 = blend(p, p1, 2.0 / 3.0, 1.0 / 3.0) - m[j] / 9.0 - m[j + 1] / 18.0;
    const point c2 = blend(p, p1, 1.0 / 3.0, 2.0 / 3.0) - m[j] / 18.0 - m[j + 1] / 9.0;
    nodes_[j].set_c1(c1);
    nodes_[j].set_c2(c2);
  }

  // The closing segment mirrors the neighbouring handles at both its ends.
  const point& pl = nodes_[n - 1].point();
  const point& p0 = nodes_[0].point();
  nodes_[n - 1].set_c1(pl + (pl - nodes_[n - 2].c2()));
  nodes_[n - 1].set_c2(p0 + (p0 - nodes_[0].c1()));
}

void vsml_bezier::smooth(int k)
{
  checkbounds(k);
  vsml_bezier_node& nk = nodes_[k];
  vsml_bezier_node& np = nodes_[previous(k)];
  const double a = (nk.c1() - nk.point()).length();
  const double b = (np.c2() - nk.point()).length();
  // Both handles are laid along v's direction at their old lengths.  When the
  // two control points coincide there is no direction to align to.
  const vec v = nk.c1() - np.c2();
  const double lv = v.length();
  if (!(lv > 0.0)) return;
  const point p = nk.point();
  nk.set_c1(p + v * (a / lv));
  np.set_c2(p - v * (b / lv));
}

void vsml_bezier::constrain1(int k)
{
  checkbounds(k);
  vsml_bezier_node& nk = nodes_[k];
  vsml_bezier_node& np = nodes_[previous(k)];
  const double a = (nk.c1() - nk.point()).length();
  const double b = (np.c2() - nk.point()).length();
  if (!(b > 0.0)) return;
  nk.set_c1(nk.point() - (np.c2() - nk.point()) * (a / b));
}

void vsml_bezier::constrain2(int k)
{
  checkbounds(k);
  vsml_bezier_node& nk = nodes_[k];
  vsml_bezier_node& np = nodes_[previous(k)];
  const double a = (nk.c1() - nk.point()).length();
  const double b = (np.c2() - nk.point()).length();
  if (!(a > 0.0)) return;
  np.set_c2(nk.point() - (nk.c1() - nk.point()) * (b / a));
}

vgl_point_2d<double> vsml_bezier::value(int i, double t) const
{
  checkbounds(i, t);
  const vsml_bezier_node& n = nodes_[i];
  const point& p3 = nodes_[next(i)].point();
  const double u = 1.0 - t;
  const double w0 = u * u * u, w1 = 3.0 * t * u * u, w2 = 3.0 * t * t * u, w3 = t * t * t;
  return point(w0 * n.point().x() + w1 * n.c1().x() + w2 * n.c2().x() + w3 * p3.x(),
               w0 * n.point().y() + w1 * n.c1().y() + w2 * n.c2().y() + w3 * p3.y());
}

vgl_vector_2d<double> vsml_bezier::tangent(int i, double t) const
{
  checkbounds(i, t);
  const vsml_bezier_node& n = nodes_[i];
  const point& p3 = nodes_[next(i)].point();
  const double u = 1.0 - t;
  const double w0 = -u * u, w1 = u * u - 2.0 * t * u, w2 = 2.0 * t * u - t * t, w3 = t * t;
  return vec(3.0 * (w0 * n.point().x() + w1 * n.c1().x() + w2 * n.c2().x() + w3 * p3.x()),
             3.0 * (w0 * n.point().y() + w1 * n.c1().y() + w2 * n.c2().y() + w3 * p3.y()));
}

vgl_vector_2d<double> vsml_bezier::normal(int i, double t) const
{
  const vec tg = tangent(i, t);
  return vec(tg.y(), -tg.x());
}

vgl_box_2d<double> vsml_bezier::surround(int i) const
{
  checkbounds(i);
  vgl_box_2d<double> box;
  box.add(nodes_[i].point());
  box.add(nodes_[i].c1());
  box.add(nodes_[i].c2());
  box.add(nodes_[next(i)].point());
  return box;
}

void vsml_bezier::new_point(int i, double t)
{
  if (i < 0 || i >= int(nodes_.size()) || !(t > 0.0 && t < 1.0)) return;
  const point p0 = nodes_[i].point(), p1 = nodes_[i].c1(), p2 = nodes_[i].c2();
  const point p3 = nodes_[next(i)].point();
  const point r0 = lerp(p0, p1, t), q = lerp(p1, p2, t), s = lerp(p2, p3, t);
  const point r1 = lerp(r0, q, t), u = lerp(q, s, t), x = lerp(r1, u, t);
  nodes_[i].set_c1(r0);
  nodes_[i].set_c2(r1);
  nodes_.insert(nodes_.begin() + i + 1, vsml_bezier_node(x, u, s));
}

void vsml_bezier::new_point(int i, const vgl_point_2d<double>& p)
{
  checkbounds(i);
  const vec w = (nodes_[i].c2() - nodes_[i].c1()) / 4.0;
  const vsml_bezier_node added(p, p + w, nodes_[i].c2());
  nodes_[i].set_c2(p - w);
  nodes_.insert(nodes_.begin() + i + 1, added);
}

void vsml_bezier::append(const vgl_point_2d<double>& at)
{
  // at may be one of our own nodes, which push_back can move away.
  const point p = at;
  nodes_.push_back(vsml_bezier_node(p));
  const int n = int(nodes_.size());
  if (n == 2) {
    const point& p0 = nodes_[0].point();
    nodes_[0].set_c1(blend(p0, p, 2.0 / 3.0, 1.0 / 3.0));
    nodes_[0].set_c2(blend(p0, p, 1.0 / 3.0, 2.0 / 3.0));
  } else if (n >= 3) {
    const int m = n - 2;
    const point& pm = nodes_[m].point();
    nodes_[m].set_c1(pm + (pm - nodes_[m - 1].c2()));
    nodes_[m].set_c2(midpoint(nodes_[m].c1(), p));
  }
}

void vsml_bezier::prepend(const vsml_bezier_node& node)
{
  nodes_.insert(nodes_.begin(), node);
}

void vsml_bezier::prepend(const vgl_point_2d<double>& p)
{
  vsml_bezier_node added(p);
  if (!nodes_.empty()) {
    const point& p0 = nodes_[0].point();
    const point c2 = p0 + (p0 - nodes_[0].c1());
    added.set_c2(c2);
    added.set_c1(midpoint(p, c2));
  }
  nodes_.insert(nodes_.begin(), added);
}

void vsml_bezier::remove(int k)
{
  checkbounds(k);
  const int prev = previous(k);
  if (prev != k) {
    const point& pk = nodes_[k].point();
    const double in = (pk - nodes_[prev].c2()).length();
    const double out = (pk - nodes_[k].c1()).length();
    // A zero-length handle gives no ratio to undo; keep the neighbour's handles.
    if (in > 0.0 && out > 0.0) {
      const double r = in / out;
      const point& pp = nodes_[prev].point();
      const point& pn = nodes_[next(k)].point();
      const point c1 = nodes_[prev].c1() + (nodes_[prev].c1() - pp) / r;
      const point c2 = nodes_[k].c2() + (nodes_[k].c2() - pn) * r;
      nodes_[prev].set_c1(c1);
      nodes_[prev].set_c2(c2);
    }
  }
  nodes_.erase(nodes_.begin() + k);
}

bool vsml_bezier::is_straight(int i, double tol) const
{
  checkbounds(i);
  const int j = next(i);
  if (j == i) return true;
  return straight(nodes_[i].point(), nodes_[i].c1(), nodes_[i].c2(), nodes_[j].point(), tol);
}

vsml_bezier vsml_bezier::sub_bezier(int i, int j) const
{
  vsml_bezier sub;
  if (nodes_.empty()) return sub;
  const int n = int(nodes_.size());
  const int a = wrap(i);
  int b = wrap(j);
  if (b < a) b += n;
  for (int g = a; g <= b; ++g) sub.nodes_.push_back(nodes_[g % n]);
  return sub;
}

template <class Visitor>
void vsml_bezier::flatten(int i, int j, double tol, Visitor& visit) const
{
  const int n = int(nodes_.size());
  const int a = wrap(i);
  int b = wrap(j);
  if (b <= a) b += n;
  for (int g = a; g < b; ++g) {
    const vsml_bezier_node& nd = nodes_[g % n];
    flatten_segment(nd.point(), nd.c1(), nd.c2(), nodes_[(g + 1) % n].point(), tol, 0, visit);
  }
}

double vsml_bezier::integrate(int i, int j, double tol) const
{
  if (nodes_.empty()) return 0.0;
  chord_sum sum;
  flatten(i, j, tol, sum);
  return sum.length;
}

std::vector<vgl_point_2d<double>> vsml_bezier::equal_space(int m, int i, int j, double tol) const
{
  std::vector<point> out;
  if (m <= 0 || nodes_.empty()) return out;
  out.reserve(std::size_t(m));
  const point start = nodes_[wrap(i)].point();
  out.push_back(start);
  if (m == 1) return out;

  chord_sum sum;
  flatten(i, j, tol, sum);
  if (sum.length == 0.0) {
    out.assign(std::size_t(m), start);
    return out;
  }
  chord_walk walk{out, std::size_t(m), sum.length / m, 0.0, start};
  flatten(i, j, tol, walk);
  // Rounding may leave the last step just short of the end.
  while (out.size() < std::size_t(m)) out.push_back(walk.last);
  return out;
}

void vsml_bezier::pass_through(int i, double t, const vgl_point_2d<double>& p)
{
  checkbounds(i, t);
  // Moving both control points by v moves B(t) by v times their weights.
  const double w = 3.0 * t * (1.0 - t);
  if (w == 0.0) return;
  const vec offset = (p - value(i, t)) / w;
  nodes_[i].set_c1(nodes_[i].c1() + offset);
  nodes_[i].set_c2(nodes_[i].c2() + offset);
}

void vsml_bezier::b_write(vsl_b_ostream& os) const
{
  vsl_b_write(os, unsigned(nodes_.size()));
  for (const vsml_bezier_node& nd : nodes_) {
    vsl_b_write(os, nd.point());
    vsl_b_write(os, nd.c1());
    vsl_b_write(os, nd.c2());
  }
}

void vsml_bezier::b_read(vsl_b_istream& is)
{
  if (!is) return;
  unsigned n = 0;
  vsl_b_read(is, n);
  if (!is) return;
  // Each node takes three points of a version byte and two doubles.
  const std::uint64_t node_bytes = 3 * (1 + 2 * sizeof(double));
  if (!is.may_hold(std::uint64_t(n) * node_bytes)) {
    is.report_error("vsml_bezier::b_read()", "node count " + std::to_string(n) +
                                                 " is more than the stream holds");
    return;
  }
  std::vector<vsml_bezier_node> nodes;
  // Unknown stream length: grow only as nodes actually arrive.
  if (is.size_known()) nodes.reserve(n);
  for (unsigned i = 0; i < n; ++i) {
    vsml_bezier_node nd;
    vsl_b_read(is, nd.point());
    vsl_b_read(is, nd.c1());
    vsl_b_read(is, nd.c2());
    if (!is) return;
    nodes.push_back(nd);
  }
  nodes_.swap(nodes);
}

void vsml_bezier::print_summary(std::ostream& os) const
{
  os << " length: " << nodes_.size() << '\n';
  for (std::size_t i = 0; i < nodes_.size(); ++i)
    os << "  _Node " << i << ":\n   " << nodes_[i] << '\n';
}

vsml_bezier operator+(const vsml_bezier& a, const vsml_bezier& b)
{
  if (a.nodes_.empty()) return b;
  if (b.nodes_.empty()) return a;
  vsml_bezier r;
  r.nodes_ = a.nodes_;
  r.nodes_.insert(r.nodes_.end(), b.nodes_.begin(), b.nodes_.end());
  std::vector<vsml_bezier_node>& nd = r.nodes_;
  const std::size_t m = a.nodes_.size() - 1;
  const point& pm = nd[m].point();
  if (m >= 1) {
    nd[m].set_c1(pm + (pm - nd[m - 1].c2()));
    const point& pn = nd[m + 1].point();
    nd[m].set_c2(pn + (pn - nd[m + 1].c1()));
  } else {
    nd[0].set_c1(blend(pm, nd[1].point(), 2.0 / 3.0, 1.0 / 3.0));
    nd[0].set_c2(blend(pm, nd[1].point(), 1.0 / 3.0, 2.0 / 3.0));
  }
  nd.back().set_c2(a.nodes_.back().c2());
  return r;
}

void vsl_b_write(vsl_b_ostream& os, const vsml_bezier& b)
{
  b.b_write(os);
}

void vsl_b_read(vsl_b_istream& is, vsml_bezier& b)
{
  b.b_read(is);
}

void vsl_print_summary(std::ostream& os, const vsml_bezier& b)
{
  b.print_summary(os);
}

std::ostream& operator<<(std::ostream& os, const vsml_bezier& b)
{
  b.print_summary(os);
  return os;
}

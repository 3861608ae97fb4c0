#ifndef vsml_bezier_h_
#define vsml_bezier_h_
// A closed piecewise cubic Bezier curve through an ordered list of nodes.
// Segment i runs from node i's point through its two control points to the
// next node's point; segment n-1 closes the curve back to node 0.
//   B(t) = (1-t)^3 P[i] + 3t(1-t)^2 C1[i] + 3t^2(1-t) C2[i] + t^3 P[i+1]
// Node indices of the checked operations must lie in 0..n-1 and parameters
// in [0, 1]; a violation prints a message and aborts.
#include <ostream>
#include <string>
#include <vector>
#include <vgl/vgl_box_2d.h>
#include <vgl/vgl_point_2d.h>
#include <vgl/vgl_vector_2d.h>
#include <shape_data/vsml_bezier_node.h>

class vsl_b_ostream;
class vsl_b_istream;

class vsml_bezier
{
 public:
  vsml_bezier() = default;
  virtual ~vsml_bezier() = default;

  // One node per point, then a spline through all of them (smooth()).
  void set(const std::vector<vgl_point_2d<double>>& pts);

  // Recomputes every control point: an interpolating cubic spline with
  // uniform parameter spacing and free ends, closed by mirrored handles.
  void smooth();
  // Makes the curve tangent-continuous at node k, keeping both handle lengths.
  void smooth(int k);
  // Turns the outgoing handle at node k straight away from the incoming one.
  void constrain1(int k);
  // Turns the incoming handle at node k straight away from the outgoing one.
  void constrain2(int k);

  vgl_point_2d<double> value(int i, double t) const;
  // dB/dt of segment i (not normalised).
  vgl_vector_2d<double> tangent(int i, double t) const;
  // The tangent (tx, ty) turned to (ty, -tx); not normalised.
  vgl_vector_2d<double> normal(int i, double t) const;
  // Bounding box of segment i's control polygon, which holds the segment.
  vgl_box_2d<double> surround(int i) const;

  // Splits segment i at t without changing the curve; the new node is i+1.
  // A bad index or t outside (0, 1) is ignored.
  void new_point(int i, double t);
  // Inserts a node at p after node i, its tangent parallel to segment i's
  // old control-point direction.
  void new_point(int i, const vgl_point_2d<double>& p);
  void append(const vgl_point_2d<double>& p);
  void prepend(const vsml_bezier_node& node);
  void prepend(const vgl_point_2d<double>& p);
  // Removes node k, merging its two segments (undoes new_point(i, t)).
  void remove(int k);

  // True if segment i's control points lie within tol of its chord.
  bool is_straight(int i, double tol) const;
  // Copies of nodes i..j, indices wrapped; sub_bezier(i, i) is one node.
  vsml_bezier sub_bezier(int i, int j) const;
  // Arc length from node i to node j (indices wrapped; i == j is the whole
  // closed curve) by flattening to chords within tol times their length.
  double integrate(int i, int j, double tol) const;
  // m points at equal arc-length steps L/m from node i towards node j,
  // starting at node i; the end node itself is not produced.
  std::vector<vgl_point_2d<double>> equal_space(int m, int i, int j, double tol) const;
  // Moves both control points of segment i by one offset so that the
  // segment passes through p at t.  At t = 0 or 1 nothing can move the
  // curve there, so nothing changes.
  void pass_through(int i, double t, const vgl_point_2d<double>& p);

  unsigned size() const { return unsigned(nodes_.size()); }
  bool empty() const { return nodes_.empty(); }
  const vsml_bezier_node& node(int i) const;
  vsml_bezier_node& node(int i);
  const std::vector<vsml_bezier_node>& nodes() const { return nodes_; }

  bool operator==(const vsml_bezier& b) const { return nodes_ == b.nodes_; }
  bool operator!=(const vsml_bezier& b) const { return !(*this == b); }

  std::string is_a() const { return "vsml_bezier"; }

  // The record: the node count, then each node's point, C1 and C2.
  virtual void b_write(vsl_b_ostream& os) const;
  // Reads a whole record or, on any error, leaves the curve as it was.
  virtual void b_read(vsl_b_istream& is);
  // " length: n" then one block per node.
  virtual void print_summary(std::ostream& os) const;

  friend vsml_bezier operator+(const vsml_bezier& a, const vsml_bezier& b);

 private:
  int next(int i) const { return (i + 1) % int(nodes_.size()); }
  int previous(int i) const { return (int(nodes_.size()) - 1 + i) % int(nodes_.size()); }
  // Index in 0..n-1 for any integer; n must be positive.
  int wrap(int i) const;
  void checkbounds(int i) const;
  void checkbounds(int i, double t) const;

  // Calls visit(a, b) for every chord of the flattened curve from node i
  // to node j, in order (see integrate()).
  template <class Visitor>
  void flatten(int i, int j, double tol, Visitor& visit) const;

  std::vector<vsml_bezier_node> nodes_;
};

// a's nodes followed by b's, the join continuing the neighbouring handles.
vsml_bezier operator+(const vsml_bezier& a, const vsml_bezier& b);

void vsl_b_write(vsl_b_ostream& os, const vsml_bezier& b);
void vsl_b_read(vsl_b_istream& is, vsml_bezier& b);
void vsl_print_summary(std::ostream& os, const vsml_bezier& b);
std::ostream& operator<<(std::ostream& os, const vsml_bezier& b);

#endif

#ifndef vsml_points_h_
#define vsml_points_h_
// A set of points stored as one flat vector of coordinates.  The layout and
// the dimension belong to the derived class; the generic centre, scale and
// transformation operations work through getPoints/setPoints.
#include <ostream>
#include <string>
#include <vector>
#include <vnl/vnl_vector.h>
#include <shape_data/vsml_g_point.h>

class vsl_b_ostream;
class vsl_b_istream;

class vsml_points
{
 public:
  vsml_points() = default;
  virtual ~vsml_points() = default;

  // Takes v as the coordinate vector in the derived class's layout.
  virtual void set(const vnl_vector<double>& v) = 0;
  // Number of points.
  virtual unsigned size() const = 0;
  // Coordinates per point.
  virtual unsigned n_dims() const = 0;
  virtual void getPoints(std::vector<vsml_g_point>& pts) const = 0;
  virtual void setPoints(const std::vector<vsml_g_point>& pts) = 0;

  // Root-mean-square distance of the points from their centre (x, y, z).
  virtual double scale() const;
  // Mean of each of the four coordinates; all zero for no points.
  virtual vsml_g_point cog() const;
  // Multiplies every coordinate by s.
  virtual void scaleBy(double s);
  // Adds t to every point.
  virtual void translateBy(const vsml_g_point& t);
  virtual void bounds(vsml_g_point& lo, vsml_g_point& hi) const = 0;

  // "vsml_points"; every derived class gives its own name.
  virtual std::string is_a() const = 0;
  // A copy of the dynamic class, owned by the caller.
  virtual vsml_points* clone() const = 0;
  virtual void print_summary(std::ostream& os) const = 0;
  // The record: a version short, then the coordinate vector.
  virtual void b_write(vsl_b_ostream& os) const = 0;
  virtual void b_read(vsl_b_istream& is) = 0;

  short version_no() const { return 1; }
  const vnl_vector<double>& vector() const { return v_; }
  vnl_vector<double>& vector() { return v_; }

 protected:
  vsml_points(const vsml_points&) = default;
  vsml_points& operator=(const vsml_points&) = default;

  vnl_vector<double> v_;
};

void vsl_b_write(vsl_b_ostream& os, const vsml_points& p);
void vsl_b_read(vsl_b_istream& is, vsml_points& p);
// The polymorphic record: the class name, then the object's own record, or
// "VSL_NULL_PTR" alone for a null pointer.  Read it back with
// vsl_binary_loader<vsml_points>::instance().load_object().
void vsl_b_write(vsl_b_ostream& os, const vsml_points* p);
// Registers a copy of p as a prototype for reading through a pointer.
void vsl_add_to_binary_loader(const vsml_points& p);

void vsl_print_summary(std::ostream& os, const vsml_points& p);
// "is_a(): " then the summary, one indentation level deeper.
std::ostream& operator<<(std::ostream& os, const vsml_points& p);
std::ostream& operator<<(std::ostream& os, const vsml_points* p);

#endif

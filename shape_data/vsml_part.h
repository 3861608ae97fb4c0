#ifndef vsml_part_h_
#define vsml_part_h_
// One part of a shape: an ordered list of point indices drawn as an open
// curve, a closed curve or a loose set of points.
#include <iosfwd>
#include <string>
#include <vector>

class vsl_b_istream;
class vsl_b_ostream;

class vsml_part
{
 public:
  // Stored and serialised as a 32-bit int; values outside the three
  // enumerators can arrive from a binary record and are kept as they are.
  enum CurveForm : int
  {
    OpenBoundary = 0,
    ClosedBoundary = 1,
    SetOfPoints = 2
  };

  vsml_part();
  virtual ~vsml_part();

  const std::vector<int>& indices() const { return index_; }
  const std::string& name() const { return name_; }
  void setName(const std::string& name) { name_ = name; }
  CurveForm form() const { return form_; }
  void setForm(CurveForm form) { form_ = form; }
  bool isSmooth() const { return jagged_ == 0; }
  void setSmooth() { jagged_ = 0; }
  void setJagged() { jagged_ = 1; }

  // Copies the list and recomputes the cached largest index.
  void setIndices(const std::vector<int>& indices);
  // Largest index: 0 for an empty list, else the maximum entry.
  void calcMaxIndex();
  // Indices 0..n-1, closed and jagged; the name is kept.  A negative n is
  // refused with a message on std::cerr and changes nothing.
  void setOneToOne(int n);

  // i-th index; 0 <= i < nPoints() is the caller's duty (asserted).
  int index(int i) const;
  int nPoints() const { return static_cast<int>(index_.size()); }
  // The cached largest index, not recomputed.
  int maxIndex() const { return max_index_; }

  // Compares everything but the cached largest index.
  bool operator==(const vsml_part& p) const;
  bool operator!=(const vsml_part& p) const { return !(*this == p); }

  short version_no() const { return 1; }
  virtual std::string is_a() const;
  // The text layout that is also the layout of a .parts file.
  virtual void print_summary(std::ostream& os) const;
  virtual void b_write(vsl_b_ostream& bfs) const;
  // An unknown version or a malformed field is reported, puts bfs into its
  // bad state and leaves the part as it was.
  virtual void b_read(vsl_b_istream& bfs);

 private:
  std::vector<int> index_;
  int max_index_;
  int jagged_;
  CurveForm form_;
  std::string name_;
};

void vsl_b_write(vsl_b_ostream& bfs, const vsml_part& p);
void vsl_b_read(vsl_b_istream& bfs, vsml_part& p);
std::ostream& operator<<(std::ostream& os, const vsml_part& p);
void vsl_print_summary(std::ostream& os, const vsml_part& p);

#endif

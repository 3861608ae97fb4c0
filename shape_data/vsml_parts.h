#ifndef vsml_parts_h_
#define vsml_parts_h_
// How the points of a shape are grouped for drawing: an ordered collection
// of parts, each an open curve, a closed curve or a set of points.
#include <iosfwd>
#include <string>
#include <vector>
#include <shape_data/vsml_part.h>

class vsml_parts
{
 public:
  vsml_parts();
  virtual ~vsml_parts();

  int nParts() const { return static_cast<int>(parts_.size()); }
  const std::vector<vsml_part>& parts() const { return parts_; }
  std::vector<vsml_part>& parts() { return parts_; }
  // i-th part; 0 <= i < nParts() is the caller's duty (asserted).
  const vsml_part& operator()(int i) const;
  vsml_part& operator()(int i);

  // Largest cached index over the parts, never below 0.
  int maxIndex() const;
  // One closed jagged part over points 0..n-1 (the first part is kept and
  // reused).  A negative n is refused with a message and changes nothing.
  void setOneToOne(int n);
  // Renumbers all indices densely in order of first appearance.
  virtual void reindex_for_subset();
  // The non-negative indices used, each once, in order of first appearance.
  virtual void get_subset_indices(std::vector<unsigned>& v) const;

  bool operator==(const vsml_parts& p) const { return parts_ == p.parts_; }
  bool operator!=(const vsml_parts& p) const { return !(*this == p); }

  short version_no() const { return 1; }
  virtual std::string is_a() const;
  // Every part's text layout followed by an empty line.
  virtual void print_summary(std::ostream& os) const;
  virtual void b_write(vsl_b_ostream& bfs) const;
  // An unknown version or a malformed part is reported, puts bfs into its
  // bad state and leaves the collection as it was.
  virtual void b_read(vsl_b_istream& bfs);

  // Writes the text layout to path (replacing the file).  False, with a
  // message on std::cerr, when the file cannot be opened or written, or
  // when a name holds a double quote (which could not be read back).
  bool saveFile(const char* path) const;
  // Reads a .parts text file; false when it cannot be opened or a block in
  // it is malformed (the blocks before the bad one are kept).
  bool loadFile(const char* path);

 private:
  std::vector<vsml_part> parts_;
};

void vsl_b_write(vsl_b_ostream& bfs, const vsml_parts& p);
void vsl_b_read(vsl_b_istream& bfs, vsml_parts& p);
// The class name, then the parts with the vsl indentation raised by one.
std::ostream& operator<<(std::ostream& os, const vsml_parts& p);
void vsl_print_summary(std::ostream& os, const vsml_parts& p);

#endif

#include <shape_data/vsml_part.h>

#include <algorithm>
#include <cassert>
#include <iostream>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_vector_io.h>

vsml_part::vsml_part()
  : max_index_(-1), jagged_(1), form_(OpenBoundary), name_("Part0")
{
}

vsml_part::~vsml_part() = default;

void vsml_part::setIndices(const std::vector<int>& indices)
{
  index_ = indices;
  calcMaxIndex();
}

void vsml_part::calcMaxIndex()
{
  max_index_ = index_.empty() ? 0 : *std::max_element(index_.begin(), index_.end());
}

void vsml_part::setOneToOne(int n)
{
  if (n < 0)
  {
    std::cerr << "vsml_part::setOneToOne() Negative number of points: " << n << '\n';
    return;
  }
  index_.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    index_[static_cast<std::size_t>(i)] = i;
  max_index_ = n - 1;
  form_ = ClosedBoundary;
  jagged_ = 1;
}

int vsml_part::index(int i) const
{
  assert(i >= 0 && i < nPoints());
  return index_[static_cast<std::size_t>(i)];
}

bool vsml_part::operator==(const vsml_part& p) const
{
  return jagged_ == p.jagged_ && form_ == p.form_ && name_ == p.name_ && index_ == p.index_;
}

std::string vsml_part::is_a() const
{
  return "vsml_part";
}

void vsml_part::print_summary(std::ostream& os) const
{
  os << "part \"" << name_ << "\" {\n";
  os << "    indices(";
  for (std::size_t i = 0; i < index_.size(); ++i)
  {
    if (i > 0)
      os << ',';
    os << index_[i];
  }
  os << ")\n";
  switch (form_)
  {
    case OpenBoundary:
      os << "    form open_boundary\n    point_density 1\n";
      break;
    case ClosedBoundary:
      os << "    form closed_boundary\n    point_density 1\n";
      break;
    case SetOfPoints:
      os << "    form set_of_points\n";
      break;
    default:
      break;
  }
  // A set of points is never joined, so smoothness means nothing there.
  if (form_ != SetOfPoints)
    os << (jagged_ != 0 ? "    jagged\n" : "    smooth\n");
  os << "}\n\n";
}

void vsml_part::b_write(vsl_b_ostream& bfs) const
{
  vsl_b_write(bfs, version_no());
  vsl_b_write(bfs, index_);
  vsl_b_write(bfs, max_index_);
  vsl_b_write(bfs, jagged_);
  vsl_b_write(bfs, static_cast<int>(form_));
  vsl_b_write(bfs, name_);
}

void vsml_part::b_read(vsl_b_istream& bfs)
{
  if (!bfs)
    return;
  short version;
  vsl_b_read(bfs, version);
  if (!bfs)
    return;
  if (version != 1)
  {
    std::cerr << "vsml_part::b_read() Unexpected version number " << version << '\n';
    bfs.is().setstate(std::ios::badbit);
    return;
  }
  // Read into locals so that a record broken half way changes nothing.
  std::vector<int> index;
  int max_index = 0, jagged = 0, form = 0;
  std::string name;
  vsl_b_read(bfs, index);
  vsl_b_read(bfs, max_index);
  vsl_b_read(bfs, jagged);
  vsl_b_read(bfs, form);
  vsl_b_read(bfs, name);
  if (!bfs)
    return;
  index_.swap(index);
  max_index_ = max_index;
  jagged_ = jagged;
  form_ = static_cast<CurveForm>(form);
  name_.swap(name);
}

void vsl_b_write(vsl_b_ostream& bfs, const vsml_part& p)
{
  p.b_write(bfs);
}

void vsl_b_read(vsl_b_istream& bfs, vsml_part& p)
{
  p.b_read(bfs);
}

std::ostream& operator<<(std::ostream& os, const vsml_part& p)
{
  p.print_summary(os);
  return os;
}

void vsl_print_summary(std::ostream& os, const vsml_part& p)
{
  p.print_summary(os);
}

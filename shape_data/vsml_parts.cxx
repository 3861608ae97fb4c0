#include <shape_data/vsml_parts.h>

#include <algorithm>
#include <cassert>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <shape_data/vsml_parts_reader.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_indent.h>
#include <vsl/vsl_vector_io.h>

vsml_parts::vsml_parts() = default;

vsml_parts::~vsml_parts() = default;

const vsml_part& vsml_parts::operator()(int i) const
{
  assert(i >= 0 && i < nParts());
  return parts_[static_cast<std::size_t>(i)];
}

vsml_part& vsml_parts::operator()(int i)
{
  assert(i >= 0 && i < nParts());
  return parts_[static_cast<std::size_t>(i)];
}

int vsml_parts::maxIndex() const
{
  int m = 0;
  for (const vsml_part& p : parts_)
    m = std::max(m, p.maxIndex());
  return m;
}

void vsml_parts::setOneToOne(int n)
{
  if (n < 0)
  {
    std::cerr << "vsml_parts::setOneToOne() Negative number of points: " << n << '\n';
    return;
  }
  if (parts_.empty())
    parts_.emplace_back();
  else
    parts_.erase(parts_.begin() + 1, parts_.end());
  parts_[0].setOneToOne(n);
}

void vsml_parts::reindex_for_subset()
{
  std::map<int, int> new_index;
  int next = 0;
  for (vsml_part& p : parts_)
  {
    std::vector<int> idx = p.indices();
    for (int& i : idx)
    {
      const auto it = new_index.find(i);
      if (it != new_index.end())
        i = it->second;
      else
      {
        new_index.emplace(i, next);
        i = next++;
      }
    }
    p.setIndices(idx);
  }
}

void vsml_parts::get_subset_indices(std::vector<unsigned>& v) const
{
  v.clear();
  std::size_t total = 0;
  for (const vsml_part& p : parts_)
    total += p.indices().size();
  if (v.capacity() < total)
    v.reserve(total);

  std::set<int> seen;
  for (const vsml_part& p : parts_)
    for (int i : p.indices())
      if (i >= 0 && seen.insert(i).second)
        v.push_back(static_cast<unsigned>(i));

  // Repeated indices can leave much unused room; give it back.
  if (v.capacity() - v.size() > 100)
    std::vector<unsigned>(v.begin(), v.end()).swap(v);
}

std::string vsml_parts::is_a() const
{
  return "vsml_parts";
}

void vsml_parts::print_summary(std::ostream& os) const
{
  for (const vsml_part& p : parts_)
  {
    p.print_summary(os);
    os << '\n';
  }
}

void vsml_parts::b_write(vsl_b_ostream& bfs) const
{
  vsl_b_write(bfs, version_no());
  vsl_b_write(bfs, parts_);
}

void vsml_parts::b_read(vsl_b_istream& bfs)
{
  if (!bfs)
    return;
  short version;
  vsl_b_read(bfs, version);
  if (!bfs)
    return;
  if (version != 1)
  {
    std::cerr << "vsml_parts::b_read() Unexpected version number " << version << '\n';
    bfs.is().setstate(std::ios::badbit);
    return;
  }
  std::vector<vsml_part> parts;
  vsl_b_read(bfs, parts);
  if (!bfs)
    return;
  parts_.swap(parts);
}

bool vsml_parts::saveFile(const char* path) const
{
  assert(path != nullptr);
  // The layout has no escape for a double quote: such a name would cut the
  // file short when it is read back, so nothing is written.
  for (const vsml_part& p : parts_)
    if (p.name().find('"') != std::string::npos)
    {
      std::cerr << "Unable to save " << path << ": the part name " << p.name()
                << " holds a double quote.\n";
      return false;
    }
  std::ofstream ofs(path);
  if (!ofs.is_open())
  {
    std::cerr << "Unable to open " << path << " for output.\n";
    return false;
  }
  print_summary(ofs);
  ofs.close();
  // A full disk shows only here; saying "saved" then would lose the parts.
  if (ofs.fail())
  {
    std::cerr << "Unable to write " << path << ".\n";
    return false;
  }
  return true;
}

bool vsml_parts::loadFile(const char* path)
{
  return RD_ReadParts(path, *this);
}

std::ostream& operator<<(std::ostream& os, const vsml_parts& p)
{
  os << p.is_a() << ": \n";
  vsl_indent_inc(os);
  p.print_summary(os);
  vsl_indent_dec(os);
  return os;
}

void vsl_b_write(vsl_b_ostream& bfs, const vsml_parts& p)
{
  p.b_write(bfs);
}

void vsl_b_read(vsl_b_istream& bfs, vsml_parts& p)
{
  p.b_read(bfs);
}

void vsl_print_summary(std::ostream& os, const vsml_parts& p)
{
  os << p;
}

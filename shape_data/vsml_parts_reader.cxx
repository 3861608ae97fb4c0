#include <shape_data/vsml_parts_reader.h>

#include <atomic>
#include <cassert>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>
#include <vul/vul_file.h>

namespace
{
std::atomic<int> index_limit{vsml_parts_reader_max_indices};

// Text naming the next character, or the end of the input, for messages.
std::string next_char_text(std::istream& is)
{
  is.clear(is.rdstate() & ~std::ios::failbit);
  char c;
  if (is >> c)
    return std::string(1, c);
  return "end of input";
}

// Reads an integer; on failure writes "RD_ReadPart: <what>, got <next>".
bool read_int(std::istream& is, int& n, const char* what)
{
  if (is >> n)
    return true;
  std::cerr << "RD_ReadPart: " << what << ", got " << next_char_text(is) << '\n';
  return false;
}

// Appends a..b (counting down when a > b), refusing lists that grow past
// what any shape has: at most `budget` indices, which is
// the index limit less what earlier parts of the file took.
bool append_range(std::vector<int>& list, int a, int b, std::int64_t budget)
{
  const std::int64_t count = (a <= b ? std::int64_t(b) - a : std::int64_t(a) - b) + 1;
  if (count + std::int64_t(list.size()) > budget)
  {
    std::cerr << "RD_ReadPart: Too many indices in range " << a << ".." << b << " (at most "
              << vsml_parts_reader_index_limit() << " a part or a file)\n";
    return false;
  }
  const int step = a <= b ? 1 : -1;
  for (std::int64_t i = 0; i < count; ++i)
    list.push_back(static_cast<int>(a + step * i));
  return true;
}

// The index list after its "(", up to and including the ")".
bool read_index_list(std::istream& is, std::vector<int>& list, std::int64_t budget)
{
  // The writer gives "()" for a part without indices.
  is >> std::ws;
  if (is.peek() == ')')
  {
    is.get();
    return true;
  }
  while (true)
  {
    int n;
    if (!read_int(is, n, "Expected an index"))
      return false;
    char c;
    if (!(is >> c) || c == ')')
      return append_range(list, n, n, budget);
    if (c == '.')
    {
      if (!(is >> c) || c != '.')
      {
        std::cerr << "RD_ReadPart: Expected '..', got '." << (is ? std::string(1, c) : std::string()) << "'\n";
        return false;
      }
      int m;
      if (!read_int(is, m, "Expected the end of a range"))
        return false;
      if (!append_range(list, n, m, budget))
        return false;
      if (!(is >> c) || c == ')')
        return true;
      // Otherwise c was the separator before the next item.
    }
    else if (!append_range(list, n, n, budget))
      return false;
  }
}
}  // namespace

namespace
{
bool read_part(std::istream& is, vsml_part& part, std::int64_t budget)
{
  std::string word;
  is >> word;
  if (word != "part")
  {
    std::cerr << "RD_ReadPart: Expected `part' got " << word << '\n';
    return false;
  }

  // Anything before the opening quote is ignored; the name runs to the
  // next quote, blanks and line breaks included.
  char c;
  while (is.get(c) && c != '"')
  {
  }
  if (!is)
  {
    std::cerr << "RD_ReadPart: Expected '\"' before the name, got end of input\n";
    return false;
  }
  std::string name;
  while (is.get(c) && c != '"')
    name += c;
  if (!is)
  {
    std::cerr << "RD_ReadPart: Expected '\"' after the name, got end of input\n";
    return false;
  }
  part.setName(name);

  if (!(is >> c) || c != '{')
  {
    std::cerr << "RD_ReadPart: Expected {, got " << (is ? std::string(1, c) : std::string("end of input"))
              << '\n';
    return false;
  }

  while ((is >> c) && c != '(')
  {
  }
  if (!is)
  {
    std::cerr << "RD_ReadPart: Expected to find a '(' but failed.\n";
    return false;
  }

  std::vector<int> list;
  if (!read_index_list(is, list, budget))
    return false;
  part.setIndices(list);

  word.clear();
  is >> word;
  if (word != "form")
  {
    std::cerr << "RD_ReadPart: Expected `form', got: " << word << '\n';
    return false;
  }
  word.clear();
  is >> word;
  if (word == "closed_boundary")
    part.setForm(vsml_part::ClosedBoundary);
  else if (word == "open_boundary")
    part.setForm(vsml_part::OpenBoundary);
  else if (word == "set_of_points")
    part.setForm(vsml_part::SetOfPoints);
  else
  {
    std::cerr << "RD_ReadPart: Unexpected form : " << word << '\n';
    return false;
  }

  if (part.form() != vsml_part::SetOfPoints)
  {
    // "point_density n" may stand before or after the smoothness word.
    int density;
    word.clear();
    is >> word;
    const bool density_first = word == "point_density";
    if (density_first)
    {
      if (!read_int(is, density, "Expected the point_density value"))
        return false;
      word.clear();
      is >> word;
    }
    if (word == "smooth")
      part.setSmooth();
    else if (word == "jagged")
      part.setJagged();
    else
    {
      std::cerr << "RD_ReadPart: Unexpected curve type: " << word << '\n';
      return false;
    }
    if (!density_first)
    {
      word.clear();
      is >> word;
      if (word != "point_density")
      {
        std::cerr << "RD_ReadPart: Expected point_density, got " << word << '\n';
        return false;
      }
      if (!read_int(is, density, "Expected the point_density value"))
        return false;
    }
  }

  if ((is >> c) && c == '}')
    return true;
  std::cerr << "vsml_part: Expected }, got " << (is ? std::string(1, c) : std::string("end of input")) << '\n';
  if (part.form() == vsml_part::SetOfPoints)
    std::cerr << "set_of_points has no point_density or smooth/jagged\n";
  return false;
}
}  // namespace

void vsml_parts_reader_set_index_limit(int n) { index_limit = n; }

int vsml_parts_reader_index_limit() { return index_limit; }

bool RD_ReadPart(std::istream& is, vsml_part& part)
{
  return read_part(is, part, vsml_parts_reader_index_limit());
}

bool RD_ReadParts(const char* path, vsml_parts& parts)
{
  assert(path != nullptr);
  // A directory opens as a file on some systems but cannot be read.
  if (vul_file::is_directory(path))
    return false;
  std::ifstream ifs(path);
  if (!ifs.is_open())
    return false;

  // One record is reused, so a set_of_points block keeps the smoothness of
  // the block before it.
  vsml_part part;
  std::vector<vsml_part> list;
  // The index limit holds for the whole file too: many small blocks of
  // huge ranges would otherwise take memory without bound.
  std::int64_t budget = vsml_parts_reader_index_limit();
  bool ok = true;
  while (true)
  {
    ifs >> std::ws;
    if (ifs.eof() || !ifs)
      break;
    if (!read_part(ifs, part, budget))
    {
      ok = false;
      break;
    }
    budget -= part.nPoints();
    list.push_back(part);
  }
  if (ifs.bad())
  {
    std::cerr << "RD_ReadParts: Error reading " << path << '\n';
    ok = false;
  }
  parts.parts() = list;
  return ok;
}

#include <vsl/vsl_indent.h>
#include <atomic>

// The settings live in the stream's own iword slots, so they die with the
// stream and a new stream never inherits a dead one's indentation.
namespace
{
const int default_tab = 2;

struct slots
{
  int level = std::ios_base::xalloc();
  int tab = std::ios_base::xalloc();
  int generation = std::ios_base::xalloc();
};

const slots& ids()
{
  static const slots s;
  return s;
}

// Bumped by vsl_indent_clear_all_data(); a stream whose settings carry an
// older generation reads as freshly cleared.
std::atomic<long> generation{1};

void refresh(std::ostream& os)
{
  const long g = generation.load();
  if (os.iword(ids().generation) != g) {
    os.iword(ids().generation) = g;
    os.iword(ids().level) = 0;
    os.iword(ids().tab) = default_tab;
  }
}
} // namespace

std::ostream& operator<<(std::ostream& os, const vsl_indent&)
{
  refresh(os);
  const long n = os.iword(ids().level) * os.iword(ids().tab);
  for (long i = 0; i < n; ++i) os << ' ';
  return os;
}

void vsl_indent_inc(std::ostream& os)
{
  refresh(os);
  ++os.iword(ids().level);
}

void vsl_indent_dec(std::ostream& os)
{
  refresh(os);
  if (os.iword(ids().level) > 0) --os.iword(ids().level);
}

void vsl_indent_set_tab(std::ostream& os, int tab)
{
  refresh(os);
  os.iword(ids().tab) = tab < 0 ? 0 : tab;
}

int vsl_indent_tab(std::ostream& os)
{
  refresh(os);
  return static_cast<int>(os.iword(ids().tab));
}

void vsl_indent_clear(std::ostream& os)
{
  refresh(os);
  os.iword(ids().level) = 0;
  os.iword(ids().tab) = default_tab;
}

void vsl_indent_clear_all_data() { ++generation; }

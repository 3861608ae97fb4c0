#include <vsl/vsl_b_ostream.h>
#include <cassert>

namespace
{
void write_u16(std::ostream& os, unsigned short v)
{
  const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
  os.write(b, 2);
}
} // namespace

vsl_b_ostream::vsl_b_ostream(std::ostream* os) { attach(os); }

void vsl_b_ostream::attach(std::ostream* os)
{
  assert(os != nullptr);
  os_ = os;
  write_u16(*os_, version_no_);
  write_u16(*os_, magic_1_);
  write_u16(*os_, magic_2_);
}

std::ostream& vsl_b_ostream::os() const
{
  assert(os_ != nullptr);
  return *os_;
}

bool vsl_b_ostream::operator!() const { return os_ == nullptr || !*os_; }

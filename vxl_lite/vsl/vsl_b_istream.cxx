#include <vsl/vsl_b_istream.h>
#include <cassert>
#include <iostream>
#include <vsl/vsl_b_ostream.h>

namespace
{
const char* const ctor_name = "vsl_b_istream::vsl_b_istream()";

unsigned short u16(const unsigned char* b) { return static_cast<unsigned short>(b[0] | (b[1] << 8)); }
} // namespace

vsl_b_istream::vsl_b_istream(std::istream* is) { attach(is); }

void vsl_b_istream::attach(std::istream* is)
{
  assert(is != nullptr);
  is_ = is;
  if (!*is_) return;  // e.g. a file that did not open; the caller checks operator!
  measure_end();
  unsigned char h[6];
  if (!read_bytes(h, 6, ctor_name)) return;
  if (u16(h + 2) != vsl_b_ostream::magic_1_ || u16(h + 4) != vsl_b_ostream::magic_2_) {
    report_error(ctor_name, "The input stream does not appear to be a binary VXL stream: "
                            "magic number not found");
    return;
  }
  if (u16(h) != vsl_b_ostream::version_no_) {
    report_error(ctor_name, "Unsupported stream format version " + std::to_string(u16(h)));
    return;
  }
  version_no_ = u16(h);
}

std::istream& vsl_b_istream::is() const
{
  assert(is_ != nullptr);
  return *is_;
}

bool vsl_b_istream::operator!() const { return is_ == nullptr || !*is_; }

void vsl_b_istream::report_error(const std::string& reader, const std::string& what)
{
  std::cerr << "I/O ERROR: " << reader << ": " << what << '\n';
  if (is_) is_->setstate(std::ios::badbit);
}

// All access goes through the std::istream members, never straight to the
// stream buffer: a file buffer reports read errors (such as reading a
// directory) by throwing, and only the istream members turn that into badbit.

bool vsl_b_istream::measure_end()
{
  const std::ios::iostate state = is_->rdstate();
  const std::streampos here = is_->tellg();
  if (here == std::streampos(-1)) {
    is_->clear(state);
    end_ = -1;
    return false;
  }
  is_->seekg(0, std::ios::end);
  const std::streampos end = is_->tellg();
  is_->clear(state);
  is_->seekg(here);
  if (end == std::streampos(-1) || end < here || !*is_) {
    is_->clear(state);
    end_ = -1;
    return false;
  }
  end_ = static_cast<std::int64_t>(end);
  return true;
}

bool vsl_b_istream::may_hold(std::uint64_t n)
{
  if (end_ < 0 || !*is_) return true;
  const std::streampos here = is_->tellg();
  if (here == std::streampos(-1)) return true;
  const auto left = [&] { return end_ - static_cast<std::int64_t>(here); };
  if (left() >= 0 && static_cast<std::uint64_t>(left()) >= n) return true;
  // The stream may have grown since it was measured (a string stream written
  // to after this object was made); look again before refusing.
  if (!measure_end()) return true;
  return left() >= 0 && static_cast<std::uint64_t>(left()) >= n;
}

bool vsl_b_istream::read_bytes(void* dst, std::size_t n, const char* reader)
{
  if (!*is_) return false;
  is_->read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  if (!*is_ || is_->gcount() != static_cast<std::streamsize>(n)) {
    report_error(reader, is_->bad() ? "Read error" : "Unexpected end of stream");
    return false;
  }
  return true;
}

bool vsl_b_istream::read_byte(unsigned char& b, const char* reader)
{
  if (!*is_) return false;
  const int c = is_->get();
  if (c == std::char_traits<char>::eof()) {
    report_error(reader, is_->bad() ? "Read error" : "Unexpected end of stream");
    return false;
  }
  b = static_cast<unsigned char>(c);
  return true;
}

bool vsl_b_istream_test(std::istream& is)
{
  if (!is) return false;
  const std::ios::iostate state = is.rdstate();
  const std::streampos start = is.tellg();
  unsigned char h[6];
  is.read(reinterpret_cast<char*>(h), 6);
  const bool whole = is.gcount() == 6;
  if (start != std::streampos(-1)) {
    is.clear(state);
    is.seekg(start);
  }
  return whole && u16(h) == vsl_b_ostream::version_no_ && u16(h + 2) == vsl_b_ostream::magic_1_ &&
         u16(h + 4) == vsl_b_ostream::magic_2_;
}

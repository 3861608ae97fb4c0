#ifndef vsl_b_ostream_h_
#define vsl_b_ostream_h_
// A binary output stream in vsl's portable format, wrapping a std::ostream.
// Construction writes the 6-byte stream header (version 1 and two magic numbers).
#include <ostream>

class vsl_b_ostream
{
 public:
  // os must outlive this object; it should be opened in binary mode.
  explicit vsl_b_ostream(std::ostream* os);
  virtual ~vsl_b_ostream() = default;
  vsl_b_ostream(const vsl_b_ostream&) = delete;
  vsl_b_ostream& operator=(const vsl_b_ostream&) = delete;

  // The wrapped stream.
  std::ostream& os() const;
  // Version of the stream format written in the header.
  unsigned short version_no() const { return version_no_; }
  // True once a write failed.
  bool operator!() const;

  static const unsigned short version_no_ = 1;
  static const unsigned short magic_1_ = 0x2c4e;
  static const unsigned short magic_2_ = 0x472b;

 protected:
  // For file variants that open their stream before attaching it.
  vsl_b_ostream() = default;
  void attach(std::ostream* os);

 private:
  std::ostream* os_ = nullptr;
};

#endif

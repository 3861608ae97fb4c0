#ifndef vsl_b_istream_h_
#define vsl_b_istream_h_
// A binary input stream in vsl's portable format, wrapping a std::istream.
// Construction reads and checks the 6-byte stream header.
//
// Any failed read puts the wrapped stream into its bad state (operator! turns
// true) and every later read through this object leaves its target alone;
// is().clear() recovers.  Besides VXL's interface it offers the few helpers
// the readers need to refuse hostile data before allocating for it.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

class vsl_b_istream
{
 public:
  // is must outlive this object; it should be opened in binary mode.
  explicit vsl_b_istream(std::istream* is);
  virtual ~vsl_b_istream() = default;
  vsl_b_istream(const vsl_b_istream&) = delete;
  vsl_b_istream& operator=(const vsl_b_istream&) = delete;

  // The wrapped stream.
  std::istream& is() const;
  // Format version read from the header (0 if it could not be read).
  unsigned short version_no() const { return version_no_; }
  // True once a read failed.
  bool operator!() const;

  // Writes "I/O ERROR: <reader>: <what>" as one line to std::cerr and puts
  // the wrapped stream into its bad state.
  void report_error(const std::string& reader, const std::string& what);

  // False only when the stream is known to hold fewer than n more bytes.
  // For a stream that cannot seek the answer is always true, and readers
  // must grow their storage only as the data actually arrives.
  bool may_hold(std::uint64_t n);
  // True when the number of bytes left is known (the stream can seek).
  bool size_known() const { return end_ >= 0; }

  // Reads exactly n raw bytes; a short read is reported against reader.
  bool read_bytes(void* dst, std::size_t n, const char* reader);
  // Reads one raw byte; false (and reported) at the end of the stream.
  bool read_byte(unsigned char& b, const char* reader);

 protected:
  // For file variants that open their stream before attaching it.
  vsl_b_istream() = default;
  void attach(std::istream* is);

 private:
  bool measure_end();

  std::istream* is_ = nullptr;
  unsigned short version_no_ = 0;
  // Absolute position of the end of the stream, or -1 when unknown.
  std::int64_t end_ = -1;
};

// True if is starts with a vsl stream header.  The position is restored
// when the stream can seek.
bool vsl_b_istream_test(std::istream& is);

#endif

// Truncated, mutated and random streams fed to every reader: the stream may
// go bad, but nothing crashes, nothing reads outside a buffer and no large
// block is allocated.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <vgl/io/vgl_io_point_2d.h>
#include <vnl/io/vnl_io_vector.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_binary_loader.h>
#include <vsl/vsl_block_binary_rle.h>
#include <vsl/vsl_vector_io.h>

#if defined(__SANITIZE_ADDRESS__)
#define VSL_FUZZ_TRACK_ALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VSL_FUZZ_TRACK_ALLOC 0
#endif
#endif
#ifndef VSL_FUZZ_TRACK_ALLOC
#define VSL_FUZZ_TRACK_ALLOC 1
#endif

namespace
{
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largest{0};
} // namespace

#if VSL_FUZZ_TRACK_ALLOC
// Records the largest single request while tracking is on.
void* operator new(std::size_t n)
{
  if (tracking.load(std::memory_order_relaxed) && n > largest.load(std::memory_order_relaxed)) largest = n;
  void* p = std::malloc(n ? n : 1);
  if (!p) std::abort();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
// Kept out of line so the compiler does not pair the free() with a new-expression.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace
{
const std::string header("\x01\x00\x4e\x2c\x2b\x47", 6);

// A stream buffer that cannot seek, like a pipe.
class pipe_buf : public std::streambuf
{
 public:
  explicit pipe_buf(const std::string& d) : data_(d)
  {
    char* b = data_.empty() ? nullptr : &data_[0];
    setg(b, b, b + data_.size());
  }

 private:
  std::string data_;
};

struct poly
{
  virtual ~poly() = default;
  virtual std::string is_a() const { return "poly"; }
  virtual poly* clone() const { return new poly(*this); }
  virtual void b_read(vsl_b_istream& is) { vsl_b_read(is, v); }
  std::vector<int> v;
};

struct reader
{
  const char* name;
  std::string sample;  // a valid record, after the header
  std::function<void(vsl_b_istream&)> read;
};

template <class T>
reader make(const char* name, const T& value)
{
  std::ostringstream ss(std::ios::binary);
  {
    vsl_b_ostream os(&ss);
    vsl_b_write(os, value);
  }
  return {name, ss.str().substr(6), [](vsl_b_istream& is) {
            T t{};
            vsl_b_read(is, t);
          }};
}

std::vector<reader> all_readers()
{
  std::vector<reader> r;
  r.push_back(make("bool", true));
  r.push_back(make("char", 'c'));
  r.push_back(make("short", static_cast<short>(-300)));
  r.push_back(make("unsigned short", static_cast<unsigned short>(65535)));
  r.push_back(make("int", -2147483647 - 1));
  r.push_back(make("unsigned", 4294967295u));
  r.push_back(make("long", -12345678L));
  r.push_back(make("unsigned long long", ~0ull));
  r.push_back(make("float", 1.7f));
  r.push_back(make("double", 3.4));
  r.push_back(make("string", std::string("Hello World!")));
  r.push_back(make("vector<int>", std::vector<int>{5, -9, 1000000, 0}));
  r.push_back(make("vector<long long>", std::vector<long long>{-1, 1LL << 62}));
  r.push_back(make("vector<double>", std::vector<double>{1.5, -2}));
  r.push_back(make("vector<unsigned char>", std::vector<unsigned char>{1, 2, 3}));
  r.push_back(make("vector<bool>", std::vector<bool>{true, false, true}));
  r.push_back(make("vector<string>", std::vector<std::string>{"a", "", "bc"}));
  r.push_back(make("vector<vector<int>>", std::vector<std::vector<int>>{{1}, {}, {2, 3}}));
  r.push_back(make("vector<point>", std::vector<vgl_point_2d<double>>{{1, 2}, {3, 4}}));
  const double e[] = {1, 3, 5, 2, 4, 6};
  r.push_back(make("vnl_vector", vnl_vector<double>(e, 6)));
  r.push_back(make("point", vgl_point_2d<double>(1, 2)));
  {
    const int a[8] = {1, 1, 1, 2, 2, 3, 3, 3};
    std::ostringstream ss(std::ios::binary);
    {
      vsl_b_ostream os(&ss);
      vsl_block_binary_rle_write(os, a, 8);
    }
    r.push_back({"rle<int>", ss.str().substr(6), [](vsl_b_istream& is) {
                   int t[8];
                   vsl_block_binary_rle_read(is, t, 8);
                 }});
  }
  {
    std::ostringstream ss(std::ios::binary);
    {
      vsl_b_ostream os(&ss);
      vsl_b_write(os, std::string("poly"));
      vsl_b_write(os, std::vector<int>{4, 5});
    }
    r.push_back({"loader", ss.str().substr(6), [](vsl_b_istream& is) {
                   poly* p = nullptr;
                   vsl_b_read(is, p);
                   delete p;
                 }});
  }
  r.push_back({"c string", std::string("abc\0", 4), [](vsl_b_istream& is) {
                 char buf[8];
                 vsl_b_read(is, buf);
               }});
  return r;
}

// Runs rd on header + bytes through a seekable or a pipe-like stream;
// returns whether the stream stayed good and the largest allocation made.
bool run(const reader& rd, const std::string& bytes, bool seekable, std::size_t& biggest)
{
  const std::string data = header + bytes;
  std::istringstream ss(data, std::ios::binary);
  pipe_buf pb(data);
  std::istream pipe(&pb);
  vsl_b_istream is(seekable ? static_cast<std::istream*>(&ss) : &pipe);
  largest = 0;
  tracking = true;
  rd.read(is);
  tracking = false;
  biggest = largest;
  return !!is;
}

// Bounds on one allocation: a small multiple of the input when the stream's
// size is known, a fixed chunk when it is not.
std::size_t limit(bool seekable, const std::string& bytes)
{
  return seekable ? 4096 + 64 * bytes.size() : 256 * 1024;
}
} // namespace

TEST(VslFuzz, TruncatedStreamsGoBad)
{
  vsl_binary_loader<poly>::instance().add(poly());
  testing::internal::CaptureStderr();
  for (const reader& rd : all_readers()) {
    for (bool seekable : {true, false}) {
      std::size_t big = 0;
      EXPECT_TRUE(run(rd, rd.sample, seekable, big)) << rd.name;
      for (std::size_t len = 0; len < rd.sample.size(); ++len) {
        EXPECT_FALSE(run(rd, rd.sample.substr(0, len), seekable, big)) << rd.name << " cut to " << len;
        EXPECT_LE(big, limit(seekable, rd.sample)) << rd.name;
      }
    }
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Unexpected end of stream"), std::string::npos);
  vsl_delete_all_loaders();
}

TEST(VslFuzz, MutatedAndRandomStreams)
{
  vsl_binary_loader<poly>::instance().add(poly());
  std::mt19937 rng(20261207);
  const std::vector<reader> readers = all_readers();
  std::size_t bad = 0, runs = 0;
  testing::internal::CaptureStderr();
  for (const reader& rd : readers) {
    for (int trial = 0; trial < 300; ++trial) {
      std::string bytes;
      if (trial % 3 == 0) {
        // Random bytes, short or long.
        const std::size_t n = rng() % (trial % 2 ? 16 : 200);
        for (std::size_t i = 0; i < n; ++i) bytes += static_cast<char>(rng());
      } else {
        // The valid record with a few bytes changed, maybe with junk after.
        bytes = rd.sample;
        for (int k = 0; k < 1 + trial % 4 && !bytes.empty(); ++k)
          bytes[rng() % bytes.size()] = static_cast<char>(rng());
        if (trial % 5 == 0) bytes += std::string(rng() % 8, '\xff');
      }
      for (bool seekable : {true, false}) {
        std::size_t big = 0;
        bad += !run(rd, bytes, seekable, big);
        ++runs;
        EXPECT_LE(big, limit(seekable, bytes)) << rd.name;
      }
    }
  }
  testing::internal::GetCapturedStderr();
  EXPECT_GT(bad, runs / 4);  // the inputs really were hostile
  vsl_delete_all_loaders();
}

TEST(VslFuzz, LyingCountsAllocateLittle)
{
  // Counts near the top of the range, with a few bytes of data behind them.
  const std::string huge_count = "\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x81";
  const std::string cases[] = {
    "\x82" + huge_count + "\xff" + std::string(40, '\x81'),                // vector<int>
    "\x82\x00\x00\x00\x00\x81\xff" + std::string(40, '\x81'),              // 2^28 elements
    "\x82\x00\x00\x00\x00\x81\xff\x00\x00\x00\x00\x81" + std::string(40, '\x81'),  // byte count 2^28
    "\x82" + huge_count + "\x00" + std::string(40, '\x81'),                // class elements
  };
  const std::vector<reader> readers = all_readers();
#if VSL_FUZZ_TRACK_ALLOC
  // The tracker itself sees a large block.
  largest = 0;
  tracking = true;
  { std::vector<char> probe(300000); }
  tracking = false;
  EXPECT_GE(largest.load(), 300000u);
#endif
  testing::internal::CaptureStderr();
  for (const std::string& c : cases) {
    for (const reader& rd : readers) {
      for (bool seekable : {true, false}) {
        std::size_t big = 0;
        run(rd, c, seekable, big);
        EXPECT_LE(big, limit(seekable, c)) << rd.name;
      }
    }
  }
  // A string claiming 2^28 characters.
  for (bool seekable : {true, false}) {
    std::size_t big = 0;
    EXPECT_FALSE(run(readers[10], "\x00\x00\x00\x00\x81" + std::string(100, 'x'), seekable, big));
    EXPECT_LE(big, limit(seekable, std::string(105, 'x')));
  }
  testing::internal::GetCapturedStderr();
}

TEST(VslFuzz, PipeStreamsReadLargeData)
{
  // Chunked reading from a stream of unknown size still reads real data whole.
  std::vector<double> vd(50000);
  std::vector<int> vi(70000);
  std::string s(100000, 'q');
  for (std::size_t i = 0; i < vd.size(); ++i) vd[i] = 0.5 * static_cast<double>(i);
  for (std::size_t i = 0; i < vi.size(); ++i) vi[i] = static_cast<int>(i * 7919) - 300000;
  std::ostringstream out(std::ios::binary);
  {
    vsl_b_ostream os(&out);
    vsl_b_write(os, vd);
    vsl_b_write(os, vi);
    vsl_b_write(os, s);
  }
  pipe_buf pb(out.str());
  std::istream pipe(&pb);
  vsl_b_istream is(&pipe);
  EXPECT_FALSE(is.size_known());
  std::vector<double> vd2;
  std::vector<int> vi2;
  std::string s2;
  vsl_b_read(is, vd2);
  vsl_b_read(is, vi2);
  vsl_b_read(is, s2);
  EXPECT_FALSE(!is);
  EXPECT_EQ(vd, vd2);
  EXPECT_EQ(vi, vi2);
  EXPECT_EQ(s, s2);
}

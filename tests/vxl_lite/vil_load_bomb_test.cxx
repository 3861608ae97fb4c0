// Decompression bombs: files whose headers claim 100,000 x 100,000 pixels
// (65,500 x 65,500 for JPEG), a PNG whose data expands far past its header
// and one with a chunk that claims 1.8 GB.  Each is refused with one line, and the peak resident memory
// while loading grows by less than 64 MiB.  (Their time is measured in
// bench/bench_image_bombs.cxx.)
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <gtest/gtest.h>
#include <vil/vil_load.h>
#include "../../fuzz/image_bombs.h"

namespace
{
// A field of /proc/self/status in KiB, or -1.
long status_kib(const char* field)
{
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

// Starts a new peak-memory measurement; false where the kernel does not
// let a process reset its peak.
bool reset_peak()
{
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.close();
  return bool(out) && status_kib("VmHWM") >= 0;
}
}  // namespace

TEST(VilLoadBombs, RefusedWithoutAllocatingForTheClaim)
{
  struct bomb
  {
    const char* name;
    image_bombs::bytes data;
  };
  const bomb bombs[] = {{"huge.png", image_bombs::huge_png()},
                        {"huge.jpg", image_bombs::huge_jpeg()},
                        {"huge.tif", image_bombs::huge_tiff()},
                        {"overflowing.png", image_bombs::overflowing_png()},
                        {"lying_chunk.png", image_bombs::lying_chunk_png()}};
  for (const bomb& b : bombs) {
    SCOPED_TRACE(b.name);
    const std::string path = ::testing::TempDir() + "vil_load_bomb_" + b.name;
    ASSERT_TRUE(image_bombs::write_file(path, b.data));
    // The files are small; the claims are not.
    EXPECT_LT(b.data.size(), 1u << 20);
    const bool measured = reset_peak();
    const long before = status_kib("VmRSS");
    ::testing::internal::CaptureStderr();
    const vil_image_view_base_sptr im = vil_load(path);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const long peak = status_kib("VmHWM");
    EXPECT_FALSE(im);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(path), std::string::npos) << err;
    if (measured) {
      EXPECT_LT(peak - before, 64 * 1024) << "KiB more at the peak";
    }
    std::remove(path.c_str());
  }
}

// The headers alone are sound: the same files with sizes that fit load.
TEST(VilLoadBombs, TheSameFilesWithHonestSizesLoad)
{
  const std::string path = ::testing::TempDir() + "vil_load_bomb_honest.png";
  // 16 x 16 grey: 16 rows of a filter byte and 16 samples.
  ASSERT_TRUE(image_bombs::write_file(path, image_bombs::png(16, 16, 16 * 17)));
  const vil_image_view_base_sptr im = vil_load(path);
  ASSERT_TRUE(im);
  EXPECT_EQ(im->ni(), 16u);
  EXPECT_EQ(im->nj(), 16u);
  // Only a little too much data is refused too.
  ASSERT_TRUE(image_bombs::write_file(path, image_bombs::png(16, 16, 16 * 17 + 100)));
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(vil_load(path));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("runs on past the image"), std::string::npos);
  std::remove(path.c_str());
}

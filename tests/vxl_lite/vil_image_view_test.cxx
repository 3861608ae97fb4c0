#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vil/vil_copy.h>
#include <vil/vil_image_view.h>
#include <vimt/vimt_image_2d_of.h>

TEST(VilImageView, LayoutAndSharing)
{
  vil_image_view<vxl_byte> a(4, 3, 2);
  EXPECT_EQ(a.ni(), 4u);
  EXPECT_EQ(a.nj(), 3u);
  EXPECT_EQ(a.nplanes(), 2u);
  EXPECT_EQ(a.istep(), 1);
  EXPECT_EQ(a.jstep(), 4);
  EXPECT_EQ(a.planestep(), 12);
  EXPECT_TRUE(a.is_contiguous());
  a.fill(7);
  vil_image_view<vxl_byte> b = a;  // shares
  b(1, 2, 1) = 99;
  EXPECT_EQ(a(1, 2, 1), 99);
  const vil_image_view<vxl_byte> c = vil_copy_deep(a);
  b(1, 2, 1) = 5;
  EXPECT_EQ(c(1, 2, 1), 99);
  EXPECT_EQ(c(0, 0, 0), 7);
}

TEST(VilImageView, SetSizeKeepsMemoryOfSameSize)
{
  vil_image_view<float> a(10, 10);
  const float* before = a.top_left_ptr();
  a.set_size(10, 10);
  EXPECT_EQ(a.top_left_ptr(), before);
  a.set_size(11, 10);
  EXPECT_NE(a.top_left_ptr(), nullptr);
  EXPECT_EQ(a.ni(), 11u);
}

// Pixels start zeroed on a cache line, and a large image on a 2 MB
// boundary, where huge pages can back it.
TEST(VilImageView, NewPixelsAreZeroedAndAligned)
{
  for (unsigned ni : {3u, 100u, 2100u}) {
    vil_image_view<float> im(ni, 1000);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(im.top_left_ptr()) % 64, 0u) << ni;
    if (ni == 2100u) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(im.top_left_ptr()) % (2 << 20), 0u);
    }
    float biggest = 0;
    for (unsigned j = 0; j < im.nj(); j += 7)
      for (unsigned i = 0; i < ni; ++i) biggest = std::max(biggest, std::abs(im(i, j)));
    EXPECT_EQ(biggest, 0.0f) << ni;
  }
}

TEST(VilImageView, AssignmentFromBaseChecksPixelFormat)
{
  vil_image_view_base_sptr sixteen(new vil_image_view<vxl_uint_16>(3, 2));
  vil_image_view<vxl_byte> v = sixteen;
  EXPECT_EQ(v.size(), 0u);
  vil_image_view_base_sptr bytes(new vil_image_view<vxl_byte>(3, 2, 3));
  v = bytes;
  EXPECT_EQ(v.nplanes(), 3u);
  EXPECT_EQ(v.top_left_ptr(), static_cast<vil_image_view<vxl_byte>&>(*bytes).top_left_ptr());
  v = vil_image_view_base_sptr();
  EXPECT_EQ(v.size(), 0u);
}

TEST(VilImageView, InterleavedViewIsContiguous)
{
  vil_image_view<vxl_byte> base(12, 1);
  vil_image_view<vxl_byte> rgb(base.memory_chunk(), base.top_left_ptr(), 2, 2, 3, 3, 6, 1);
  EXPECT_TRUE(rgb.is_contiguous());
  vil_image_view<vxl_byte> gappy(base.memory_chunk(), base.top_left_ptr(), 2, 2, 1, 1, 4, 4);
  EXPECT_FALSE(gappy.is_contiguous());
}

TEST(VimtImage2dOf, CopyKeepsTransformAndSharesPixels)
{
  vimt_image_2d_of<vxl_byte> im(5, 5);
  vimt_transform_2d t;
  t.set_translation(2, 3);
  im.set_world2im(t);
  vimt_image_2d_of<vxl_byte> other = im;
  other.image()(0, 0) = 42;
  EXPECT_EQ(im.image()(0, 0), 42);
  EXPECT_EQ(other.world2im(), t);
}

// Memory that cannot be had: the plain constructor throws std::bad_alloc,
// try_create gives a null pointer, and a size whose rounding would wrap
// around is not mistaken for a small one.
TEST(VilMemoryChunk, OutOfMemory)
{
  EXPECT_FALSE(vil_memory_chunk::try_create(std::size_t(-1) - 10, VIL_PIXEL_FORMAT_BYTE));
  const vil_memory_chunk_sptr small = vil_memory_chunk::try_create(100, VIL_PIXEL_FORMAT_BYTE);
  ASSERT_TRUE(small);
  EXPECT_EQ(static_cast<unsigned char*>(small->data())[99], 0);
  EXPECT_THROW(vil_memory_chunk(std::size_t(-1) - 10, VIL_PIXEL_FORMAT_BYTE), std::bad_alloc);
}

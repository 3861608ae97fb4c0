#include <cmath>
#include <gtest/gtest.h>
#include <vimt/vimt_transform_2d.h>

TEST(VimtTransform2d, FormsAndMapping)
{
  vimt_transform_2d t;
  EXPECT_EQ(t.form(), vimt_transform_2d::Identity);
  EXPECT_EQ(t(3, 4), vgl_point_2d<double>(3, 4));
  t.set_translation(1, -2);
  EXPECT_EQ(t.form(), vimt_transform_2d::Translation);
  EXPECT_EQ(t(3, 4), vgl_point_2d<double>(4, 2));
  t.set_translation(0, 0);
  EXPECT_EQ(t.form(), vimt_transform_2d::Identity);
  t.set_zoom_only(2, 3, 1, -1);
  EXPECT_EQ(t.form(), vimt_transform_2d::ZoomOnly);
  EXPECT_EQ(t(vgl_point_2d<double>(1, 1)), vgl_point_2d<double>(3, 2));
  EXPECT_EQ(t.delta(vgl_point_2d<double>(5, 5), vgl_vector_2d<double>(1, 1)),
            vgl_vector_2d<double>(2, 3));
}

TEST(VimtTransform2d, InverseUndoesEveryForm)
{
  vimt_transform_2d z, tr, a;
  z.set_zoom_only(2, 4, 10, -6);
  tr.set_translation(-3, 7);
  a.set_affine(1, 2, 3, -1, 1, 5);
  for (const vimt_transform_2d& t : {z, tr, a}) {
    const vimt_transform_2d inv = t.inverse();
    EXPECT_EQ(inv.form(), t.form());
    const vgl_point_2d<double> p = inv(t(1.25, -7.5));
    EXPECT_NEAR(p.x(), 1.25, 1e-12);
    EXPECT_NEAR(p.y(), -7.5, 1e-12);
  }
}

TEST(VimtTransform2d, CompositionAppliesRightOperandFirst)
{
  vimt_transform_2d zoom, shift;
  zoom.set_zoom_only(2, 2, 0, 0);
  shift.set_translation(1, 1);
  const vimt_transform_2d zs = zoom * shift;  // zoom(shift(p))
  EXPECT_EQ(zs(1, 1), vgl_point_2d<double>(4, 4));
  EXPECT_EQ(zs.form(), vimt_transform_2d::ZoomOnly);
  const vimt_transform_2d sz = shift * zoom;
  EXPECT_EQ(sz(1, 1), vgl_point_2d<double>(3, 3));
  EXPECT_EQ((shift * shift).form(), vimt_transform_2d::Translation);
  EXPECT_EQ((vimt_transform_2d() * vimt_transform_2d()).form(), vimt_transform_2d::Identity);
}

TEST(VimtTransform2d, SingularInverseStaysFinite)
{
  vimt_transform_2d z;
  z.set_zoom_only(0, 0, 5, 5);
  const vgl_point_2d<double> p = z.inverse()(100, 100);
  EXPECT_TRUE(std::isfinite(p.x()));
  EXPECT_TRUE(std::isfinite(p.y()));
}

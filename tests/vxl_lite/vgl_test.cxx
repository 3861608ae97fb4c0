#include <sstream>
#include <gtest/gtest.h>
#include <vgl/vgl_box_2d.h>
#include <vgl/vgl_point_2d.h>
#include <vgl/vgl_vector_2d.h>

TEST(VglPoint, ArithmeticAndText)
{
  const vgl_point_2d<double> p(1, 2), q(4, 6);
  const vgl_vector_2d<double> v = q - p;
  EXPECT_EQ(v, vgl_vector_2d<double>(3, 4));
  EXPECT_DOUBLE_EQ(v.length(), 5.0);
  EXPECT_EQ(p + v, q);
  EXPECT_EQ(q - v, p);
  EXPECT_DOUBLE_EQ(dot_product(v, vgl_vector_2d<double>(1, 1)), 7.0);
  EXPECT_EQ(v * 2.0, vgl_vector_2d<double>(6, 8));
  std::ostringstream os;
  os << vgl_point_2d<double>(1.5, -2);
  EXPECT_EQ(os.str(), "<vgl_point_2d 1.5,-2 > ");
}

TEST(VglBox, EmptyDefaultAndGrowth)
{
  vgl_box_2d<int> b;
  EXPECT_TRUE(b.is_empty());
  EXPECT_EQ(b.min_x(), 1);
  EXPECT_EQ(b.max_x(), 0);
  EXPECT_EQ(b.width(), 0);
  b.add(vgl_point_2d<int>(3, 4));
  EXPECT_FALSE(b.is_empty());
  EXPECT_EQ(b.width(), 0);
  b.add(vgl_point_2d<int>(-1, 9));
  EXPECT_EQ(b.min_x(), -1);
  EXPECT_EQ(b.max_y(), 9);
  EXPECT_EQ(b.width(), 4);
  EXPECT_EQ(b.height(), 5);
  EXPECT_TRUE(b.contains(vgl_point_2d<int>(0, 5)));
  EXPECT_FALSE(b.contains(vgl_point_2d<int>(4, 5)));
}

TEST(VglBox, ConstructionFromPointsAndCorner)
{
  const vgl_box_2d<double> b(vgl_point_2d<double>(5, 1), vgl_point_2d<double>(1, 3));
  EXPECT_EQ(b.min_point(), vgl_point_2d<double>(1, 1));
  EXPECT_EQ(b.max_point(), vgl_point_2d<double>(5, 3));
  EXPECT_EQ(b.centroid(), vgl_point_2d<double>(3, 2));
  const vgl_box_2d<double> c(vgl_point_2d<double>(2, 3), 4.0, 6.0, vgl_box_2d<double>::min_pos);
  EXPECT_EQ(c.max_point(), vgl_point_2d<double>(6, 9));
  const vgl_box_2d<double> d(vgl_point_2d<double>(2, 3), 4.0, 6.0, vgl_box_2d<double>::centre);
  EXPECT_EQ(d.min_point(), vgl_point_2d<double>(0, 0));
}

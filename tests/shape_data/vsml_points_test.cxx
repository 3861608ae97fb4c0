#include <cmath>
#include <memory>
#include <sstream>
#include <gtest/gtest.h>
#include <vsl/vsl_binary_io.h>
#include <vsl/vsl_indent.h>
#include <shape_data/vsml_points_2d.h>

namespace
{
typedef vgl_point_2d<double> pt;

vsml_points_2d square_corners()
{
  vsml_points_2d p;
  p.setPoints2D({pt(0, 0), pt(2, 0), pt(0, 2), pt(2, 2)});
  return p;
}

// A 3-D set (x, y, z interleaved) that keeps the generic operations of the
// base class, so they can be checked on their own.
class points_3d : public vsml_points
{
 public:
  void set(const vnl_vector<double>& v) override { v_ = v; }
  unsigned size() const override { return unsigned(v_.size() / 3); }
  unsigned n_dims() const override { return 3; }
  void getPoints(std::vector<vsml_g_point>& pts) const override
  {
    pts.resize(size());
    for (unsigned i = 0; i < size(); ++i) {
      pts[i].x() = v_[3 * i];
      pts[i].y() = v_[3 * i + 1];
      pts[i].z() = v_[3 * i + 2];
    }
  }
  void setPoints(const std::vector<vsml_g_point>& pts) override
  {
    v_.set_size(3 * pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) {
      v_[3 * i] = pts[i].x();
      v_[3 * i + 1] = pts[i].y();
      v_[3 * i + 2] = pts[i].z();
    }
  }
  void bounds(vsml_g_point&, vsml_g_point&) const override {}
  std::string is_a() const override { return "points_3d"; }
  vsml_points* clone() const override { return new points_3d(*this); }
  void print_summary(std::ostream&) const override {}
  void b_write(vsl_b_ostream& os) const override { vsml_points::b_write(os); }
  void b_read(vsl_b_istream& is) override { vsml_points::b_read(is); }
};
}  // namespace

TEST(VsmlPoints2d, BlockedLayout)
{
  vsml_points_2d p;
  EXPECT_EQ(p.size(), 0u);
  EXPECT_EQ(p.n_dims(), 2u);
  p.setPoints2D({pt(1, 2), pt(3, 4), pt(5, 6)});
  const double expect[] = {1, 3, 5, 2, 4, 6};
  EXPECT_EQ(p.vector(), vnl_vector<double>(expect, 6));
  EXPECT_EQ(p.size(), 3u);
  EXPECT_EQ(p(1), pt(3, 4));

  std::vector<pt> out;
  p.getPoints2D(out);
  EXPECT_EQ(out, (std::vector<pt>{pt(1, 2), pt(3, 4), pt(5, 6)}));
  pt raw[3];
  p.getPoints2D(raw);
  EXPECT_EQ(raw[2], pt(5, 6));

  // set takes a vector in the same layout.
  vsml_points_2d q;
  const double v[] = {7, 8, 9, 10};
  q.set(vnl_vector<double>(v, 4));
  EXPECT_EQ(q.size(), 2u);
  EXPECT_EQ(q(0), pt(7, 9));
  EXPECT_EQ(q(1), pt(8, 10));
  q.setPoints2D(raw, 1);
  EXPECT_EQ(q.vector().size(), 2u);
  EXPECT_EQ(q(0), pt(1, 2));
  q.setPoints2D(std::vector<pt>());
  EXPECT_EQ(q.size(), 0u);
}

TEST(VsmlPoints2d, GeneralPoints)
{
  vsml_points_2d p;
  p.setPoints2D({pt(1, 2), pt(3, 4)});
  // Existing elements keep z and w; new ones start at zero.
  std::vector<vsml_g_point> g{vsml_g_point(9, 9, 7, 8)};
  p.getPoints(g);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0], vsml_g_point(1, 2, 7, 8));
  EXPECT_EQ(g[1], vsml_g_point(3, 4, 0, 0));
  std::vector<vsml_g_point> longer(5, vsml_g_point(1, 1, 1, 1));
  p.getPoints(longer);
  EXPECT_EQ(longer.size(), 2u);

  p.setPoints({vsml_g_point(5, 6, 1, 1), vsml_g_point(7, 8), vsml_g_point(-1, -2)});
  const double expect[] = {5, 7, -1, 6, 8, -2};
  EXPECT_EQ(p.vector(), vnl_vector<double>(expect, 6));
  p.setPoints({});
  EXPECT_EQ(p.size(), 0u);
}

TEST(VsmlPoints2d, ScaleCentreAndBounds)
{
  const vsml_points_2d p = square_corners();
  EXPECT_DOUBLE_EQ(p.scale(), std::sqrt(2.0));
  EXPECT_EQ(p.cog(), vsml_g_point(1, 1, 0, 0));
  // Through the base class the 2-D versions are used.
  const vsml_points& base = p;
  EXPECT_DOUBLE_EQ(base.scale(), std::sqrt(2.0));
  // The generic versions agree on 2-D data.
  EXPECT_DOUBLE_EQ(p.vsml_points::scale(), std::sqrt(2.0));
  EXPECT_EQ(p.vsml_points::cog(), vsml_g_point(1, 1, 0, 0));

  vsml_g_point lo(9, 9, 9, 9), hi(9, 9, 9, 9);
  p.bounds(lo, hi);
  EXPECT_EQ(lo, vsml_g_point(0, 0, 0, 0));
  EXPECT_EQ(hi, vsml_g_point(2, 2, 0, 0));
  EXPECT_EQ(p.bounds(), vgl_box_2d<double>(pt(0, 0), pt(2, 2)));

  vsml_points_2d q;
  q.setPoints2D({pt(3, -1), pt(-4, 5), pt(1, 9), pt(0, -7)});
  q.bounds(lo, hi);
  EXPECT_EQ(lo, vsml_g_point(-4, -7));
  EXPECT_EQ(hi, vsml_g_point(3, 9));
  EXPECT_EQ(q.bounds(), vgl_box_2d<double>(-4, 3, -7, 9));

  const vsml_points_2d none;
  EXPECT_EQ(none.scale(), 0.0);
  EXPECT_EQ(none.cog(), vsml_g_point());
  none.bounds(lo, hi);
  EXPECT_EQ(lo, vsml_g_point());
  EXPECT_EQ(hi, vsml_g_point());
  EXPECT_TRUE(none.bounds().is_empty());

  // All points equal: no spread.
  vsml_points_2d same;
  same.setPoints2D({pt(0.1, 0.7), pt(0.1, 0.7), pt(0.1, 0.7)});
  EXPECT_NEAR(same.scale(), 0.0, 1e-15);
  // A small spread far from the origin keeps its precision.
  vsml_points_2d far;
  far.setPoints2D({pt(1e6, 1e6), pt(1e6 + 0.002, 1e6), pt(1e6, 1e6 + 0.002), pt(1e6 + 0.002, 1e6 + 0.002)});
  EXPECT_NEAR(far.scale(), std::sqrt(2.0) * 0.001, 1e-9);
  vsml_points_2d single;
  single.setPoints2D({pt(3, 4)});
  EXPECT_EQ(single.scale(), 0.0);
  EXPECT_EQ(single.bounds(), vgl_box_2d<double>(pt(3, 4), pt(3, 4)));
}

TEST(VsmlPoints2d, Transformations)
{
  vsml_points_2d p = square_corners();
  p.scaleBy(3);
  EXPECT_EQ(p(3), pt(6, 6));
  p.translateBy(vsml_g_point(1, -2, 100, 100));
  EXPECT_EQ(p(0), pt(1, -2));
  EXPECT_EQ(p(3), pt(7, 4));

  vsml_points_2d before = p;
  vimt_transform_2d id;
  p.transformBy(id);
  EXPECT_EQ(p, before);
  vimt_transform_2d zoom;
  zoom.set_zoom_only(2, 3, 10, 20);
  p.transformBy(zoom);
  EXPECT_EQ(p(0), pt(12, 14));
  EXPECT_EQ(p(3), pt(24, 32));
  vimt_transform_2d rot;
  rot.set_affine(0, -1, 0, 1, 0, 0);
  p.transformBy(rot);
  EXPECT_EQ(p(0), pt(-14, 12));

  vsml_points_2d none;
  none.scaleBy(5);
  none.translateBy(vsml_g_point(1, 1));
  none.transformBy(zoom);
  EXPECT_EQ(none.size(), 0u);
}

TEST(VsmlPoints, GenericOperationsUseAllCoordinates)
{
  points_3d p;
  const double v[] = {0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 4};
  p.set(vnl_vector<double>(v, 12));
  EXPECT_EQ(p.cog(), vsml_g_point(1, 1, 1, 0));
  // Squared distances from (1, 1, 1): 3, 3, 3, 11.
  EXPECT_DOUBLE_EQ(p.scale(), std::sqrt(20.0 / 4));
  p.translateBy(vsml_g_point(1, 2, 3, 4));
  EXPECT_EQ(p.vector()[11], 7.0);
  EXPECT_EQ(p.vector()[1], 2.0);
  p.scaleBy(0.5);
  EXPECT_EQ(p.vector()[11], 3.5);
  EXPECT_EQ(p.vector()[0], 0.5);

  // The base record reads back one point of three coordinates.
  points_3d one, back;
  one.set(vnl_vector<double>(v + 9, 3));
  std::stringstream s;
  vsl_b_ostream os(&s);
  vsl_b_write(os, one);
  vsl_b_istream is(&s);
  vsl_b_read(is, back);
  EXPECT_EQ(back.vector(), one.vector());

  points_3d none;
  EXPECT_EQ(none.scale(), 0.0);
  EXPECT_EQ(none.cog(), vsml_g_point());
  none.scaleBy(2);
  none.translateBy(vsml_g_point(1, 1, 1));
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.version_no(), 1);
}

TEST(VsmlPoints2d, CloneAndNames)
{
  const vsml_points_2d p = square_corners();
  std::unique_ptr<vsml_points> c(p.clone());
  EXPECT_EQ(c->is_a(), "vsml_points_2d");
  ASSERT_NE(dynamic_cast<vsml_points_2d*>(c.get()), nullptr);
  EXPECT_EQ(*dynamic_cast<vsml_points_2d*>(c.get()), p);
  EXPECT_EQ(p.version_no(), 1);
  EXPECT_EQ(p.vsml_points::is_a(), "vsml_points");
}

TEST(VsmlPoints2d, Summaries)
{
  vsml_points_2d p;
  std::ostringstream empty;
  p.print_summary(empty);
  EXPECT_EQ(empty.str(), "No points");

  p.setPoints2D({pt(1.5, -2)});
  std::ostringstream one;
  p.print_summary(one);
  EXPECT_EQ(one.str(), "1 points: \n(1.5,-2)\n");

  // operator<< names the class and indents the point lines one level.
  p.setPoints2D({pt(1.5, -2), pt(0, 1e6)});
  std::ostringstream named;
  named << p;
  EXPECT_EQ(named.str(), "vsml_points_2d: 2 points: \n  (1.5,-2)\n  (0,1e+06)\n");
  EXPECT_EQ(vsl_indent_tab(named), 2);
  std::ostringstream deeper;
  vsl_indent_inc(deeper);
  deeper << static_cast<const vsml_points*>(&p);
  vsl_indent_dec(deeper);
  EXPECT_EQ(deeper.str(), "vsml_points_2d: 2 points: \n    (1.5,-2)\n    (0,1e+06)\n");
  std::ostringstream null;
  null << static_cast<const vsml_points*>(nullptr);
  EXPECT_EQ(null.str(), "No vsml_points defined.");
  std::ostringstream vs;
  vsl_print_summary(vs, p);
  EXPECT_EQ(vs.str(), "2 points: \n(1.5,-2)\n(0,1e+06)\n");
}

TEST(VsmlPoints2dDeathTest, OddVectorStops)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  vsml_points_2d p;
  const double v[] = {1, 2, 3, 4, 5};
  EXPECT_DEATH(p.set(vnl_vector<double>(v, 5)),
               "vsml_points_2d::set\\(\\) Must supply an even-dimensioned vector.\n    size\\(\\) = 5\n");
}

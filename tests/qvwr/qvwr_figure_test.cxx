#include <limits>
#include <memory>
#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QTest>
#include "qvwr/qvwr_test_helpers.h"

namespace
{
// A shown viewer whose start-up paints are over.
std::unique_ptr<qvwr_viewer> shown_viewer(int w = 200, int h = 150)
{
  auto v = std::make_unique<qvwr_viewer>(nullptr, "v");
  v->resize(w, h);
  v->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(v.get()));
  QCoreApplication::processEvents();
  return v;
}
} // namespace

TEST(QvwrFigure, BoxRuleCoversCornerPixels)
{
  const QRect r = qvwr_figure::toRect(vgl_box_2d<int>(2, 5, 3, 9));
  EXPECT_EQ(r.left(), 2);
  EXPECT_EQ(r.top(), 3);
  EXPECT_EQ(r.right(), 5);
  EXPECT_EQ(r.bottom(), 9);
  // The widest box there is: no overflow on the way.
  const int lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  const QRect all = qvwr_figure::toRect(vgl_box_2d<int>(lo, hi, lo, hi));
  EXPECT_EQ(all.left(), lo);
  EXPECT_EQ(all.right(), hi);

  // Maximum below minimum: the single pixel at the minimum corner.
  vgl_box_2d<int> empty;
  empty.set_min_x(7);
  empty.set_min_y(4);
  empty.set_max_x(1);
  empty.set_max_y(2);
  count_figure f;
  f.setBoundBox(empty);
  EXPECT_EQ(f.boundBox(), QRect(7, 4, 1, 1));
}

TEST(QvwrFigure, StartsDetachedVisibleAndEmpty)
{
  count_figure f;
  EXPECT_FALSE(f.gotViewer());
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.boundBox().isNull());
  EXPECT_EQ(f.boundBox(), QRect(QPoint(0, 0), QPoint(-1, -1)));
  // The base defaults, seen through a figure that overrides nothing else.
  struct plain : qvwr_figure {
    void draw(QPainter&, const QRect&) override {}
    void setTransform(const vimt_transform_2d&) override {}
    std::string is_a() const override { return "plain"; }
  } p;
  p.setInterpMethod(3);
  EXPECT_EQ(p.interpMethod(), 0);
  EXPECT_FALSE(p.isOpaque());

  // Harmless on a detached figure.
  f.setVisible(true);
  f.remove();
  EXPECT_FALSE(f.gotViewer());
}

TEST(QvwrFigureDeathTest, DetachedUseIsFatal)
{
  count_figure f(QRect(0, 0, 4, 4));
  EXPECT_DEATH(f.viewer(), "viewer_!=0");
  EXPECT_DEATH(f.invalidate(QRect(0, 0, 1, 1)), "viewer_!=0");
  EXPECT_DEATH(f.setVisible(false), "viewer_!=0");
  EXPECT_DEATH(f.lock(), "viewer_!=0");
  EXPECT_DEATH(f.release(), "viewer_!=0");
}

TEST(QvwrFigure, CopyStartsDetached)
{
  qvwr_viewer v(nullptr, "v");
  count_figure f(QRect(1, 2, 3, 4));
  v.append(f);
  count_figure g(f);
  EXPECT_FALSE(g.gotViewer());
  EXPECT_EQ(g.boundBox(), f.boundBox());
  count_figure h;
  h = f;
  EXPECT_FALSE(h.gotViewer());
  ASSERT_EQ(v.figures().size(), 1u);
  EXPECT_EQ(v.figures()[0], &f);
  // Assigned while attached: where it was and where it is now are repainted.
  auto shown = shown_viewer();
  count_figure ground(QRect(0, 0, 200, 150)), k(QRect(50, 60, 5, 5));
  shown->append(ground);
  shown->append(k);
  ground.reset();
  k = f;
  ASSERT_EQ(ground.areas.size(), 1u);
  EXPECT_EQ(ground.areas[0], QRect(QPoint(1, 2), QPoint(54, 64)));
}

TEST(QvwrFigure, HidingRepaintsTheBoundBox)
{
  auto v = shown_viewer();
  count_figure ground(QRect(0, 0, 200, 150), Qt::blue);
  count_figure spot(QRect(10, 20, 30, 40), Qt::red);
  v->append(ground);
  v->append(spot);
  ground.reset();
  spot.reset();

  spot.setVisible(false);
  ASSERT_EQ(ground.areas.size(), 1u);
  EXPECT_EQ(ground.areas[0], QRect(10, 20, 30, 40));
  EXPECT_EQ(spot.draws, 1);
  EXPECT_EQ(spot.paints, 0);
  EXPECT_FALSE(spot.isVisible());

  // The same value again asks for nothing.
  ground.reset();
  spot.setVisible(false);
  EXPECT_EQ(ground.draws, 0);

  const QImage shot = v->grab().toImage();
  EXPECT_EQ(shot.pixel(20, 30), QColor(Qt::blue).rgb());
  spot.setVisible(true);
  EXPECT_EQ(v->grab().toImage().pixel(20, 30), QColor(Qt::red).rgb());
}

TEST(QvwrFigure, RemoveAndDestroyLeaveTheViewerAndRepaint)
{
  auto v = shown_viewer();
  count_figure ground(QRect(0, 0, 200, 150));
  v->append(ground);
  {
    count_figure f(QRect(5, 6, 7, 8));
    v->append(f);
    ground.reset();
    f.remove();
    EXPECT_FALSE(f.gotViewer());
    ASSERT_EQ(v->figures().size(), 1u);
    ASSERT_EQ(ground.areas.size(), 1u);
    EXPECT_EQ(ground.areas[0], QRect(5, 6, 7, 8));
    f.remove(); // twice is harmless
  }

  auto doomed = std::make_unique<count_figure>(QRect(40, 50, 10, 10));
  v->append(*doomed);
  ground.reset();
  doomed.reset();
  ASSERT_EQ(v->figures().size(), 1u);
  EXPECT_EQ(v->figures()[0], &ground);
  ASSERT_EQ(ground.areas.size(), 1u);
  EXPECT_EQ(ground.areas[0], QRect(40, 50, 10, 10));

  // Destroying a figure under a lock only collects its area.
  auto quiet = std::make_unique<count_figure>(QRect(1, 1, 2, 2));
  v->append(*quiet);
  ground.reset();
  v->lock();
  quiet.reset();
  EXPECT_EQ(ground.draws, 0);
  v->release();
  EXPECT_EQ(ground.draws, 1);
}

// The viewer on a high-density screen.  Run once per device pixel ratio
// (QT_SCALE_FACTOR, read when the application starts; see CMakeLists.txt).
#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <QScreen>
#include <gtest/gtest.h>
#include <qvwr/qvwr_fg_image.h>
#include "qvwr/qvwr_test_helpers.h"
#include "support/shown_window.h"

namespace
{
// The device pixels that widget rectangle b covers, wholly or in part.
QRect device_pixels(const QRect& b, qreal r)
{
  return QRectF(QPointF(b.topLeft()) * r, QSizeF(b.size()) * r).toAlignedRect();
}
} // namespace

TEST(QvwrHighDensity, ImageIsSampledAtDeviceResolution)
{
  // 400 one-pixel stripes in 200 widget pixels: one stripe per device pixel.
  auto v = black_viewer_256();
  if (v->devicePixelRatioF() != 2.0)
    GTEST_SKIP() << "the stripes are drawn for a ratio of 2";
  v->resize(200, 50);
  vimt_image_2d_of<vxl_byte> im(400, 100, 1);
  for (unsigned j = 0; j < 100; ++j)
    for (unsigned i = 0; i < 400; ++i)
      im.image()(i, j) = vxl_byte(i % 2 ? 255 : 0);
  qvwr_fg_image fig;
  v->append(fig);
  fig.set(im);
  v->worldWindow(vgl_box_2d<double>(-0.5, 399.5, -0.5, 99.5));
  v->unZoom();
  const QImage g = v->grab().toImage();
  ASSERT_EQ(g.width(), 400);
  for (int x = 4; x < 395; ++x)
    ASSERT_NE(qGray(g.pixel(x, 50)), qGray(g.pixel(x + 1, 50))) << "device column " << x;
}

TEST(QvwrHighDensity, SnakeRunPaintsNothingOutsideTheBoxes)
{
  auto w = shown_window();
  click_around_disc(*w);
  w->search();
  qvwr_viewer* v = w->q_viewer();
  const qreal r = v->devicePixelRatioF();

  // What the incremental repaints left on the screen, against a repaint of
  // the whole viewer in the same place.
  const QImage* store = dynamic_cast<QImage*>(w->backingStore()->paintDevice());
  ASSERT_NE(store, nullptr);
  const QImage shown = store->convertToFormat(QImage::Format_RGB32);
  v->repaint();
  const QImage fresh = store->convertToFormat(QImage::Format_RGB32);

  // Device pixels wholly inside the viewer, and those near a figure's box
  // (the viewer's device grid may sit up to half a device pixel off).
  const QPoint at = v->mapTo(w.get(), QPoint(0, 0));
  const QRect inside = device_pixels(QRect(at, v->size()), r).adjusted(1, 1, -1, -1);
  QRegion boxes;
  for (qvwr_figure* f : v->figures())
    boxes += device_pixels(f->boundBox().translated(at), r).adjusted(-1, -1, 1, 1);
  const QRgb ground = v->palette().color(v->backgroundRole()).rgb();
  int stale = 0, outside = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      // The viewer's pixels only: the status line below repaints on its own.
      stale += inside.contains(x, y) && shown.pixel(x, y) != fresh.pixel(x, y);
      outside += inside.contains(x, y) && !boxes.contains(QPoint(x, y)) && shown.pixel(x, y) != ground;
    }
  EXPECT_EQ(stale, 0) << "ratio " << r;
  EXPECT_EQ(outside, 0) << "ratio " << r;
}

TEST(QvwrHighDensity, MovedToADenserScreenTheImageRebuildsOnce)
{
  if (QGuiApplication::screens().size() < 2)
    GTEST_SKIP() << "needs two screens (two_screens.json)";
  auto v = black_viewer_256();
  qvwr_fg_image fig;
  v->append(fig);
  vimt_image_2d_of<vxl_byte> im(64, 64, 1);
  im.image().fill(200);
  fig.set(im);
  const int w1 = fig.displayImage().width();
  const qreal r1 = v->devicePixelRatioF();

  QScreen* other = QGuiApplication::screens()[0];
  if (other == v->screen())
    other = QGuiApplication::screens()[1];
  v->move(other->geometry().topLeft() + QPoint(50, 50));
  EXPECT_TRUE(QTest::qWaitFor([&] { return v->devicePixelRatioF() != r1; }));
  QCoreApplication::processEvents();
  const qreal r2 = v->devicePixelRatioF();
  ASSERT_NE(r1, r2);
  EXPECT_EQ(fig.displayImage().width(), qRound(w1 * r2 / r1));
  const qint64 built = fig.shownImage().cacheKey();
  v->repaint();
  EXPECT_EQ(fig.shownImage().cacheKey(), built);
}

TEST(QvwrHighDensity, SnakeCurveIsOneLogicalPixelWide)
{
  auto w = shown_window();
  const qreal r = w->devicePixelRatioF();
  if (r < 2.0)
    GTEST_SKIP() << "a line of width " << r << " device pixels has no whole 2 x 2 blocks to count";
  w->resize(500, 500);
  QCoreApplication::processEvents();
  click_around_disc(*w);
  w->search();
  w->show_edit({}, std::vector<vgl_point_2d<double>>(w->snake_pts()));  // the curve alone
  const QImage g = grab(*w);
  auto red = [&](int x, int y) { return g.pixel(x, y) == qRgb(255, 0, 0); };
  // A one-device-pixel hairline has almost no 2 x 2 blocks of red; a line
  // two device pixels wide is made of them.
  int n = 0, blocks = 0;
  for (int y = 0; y + 1 < g.height(); ++y)
    for (int x = 0; x + 1 < g.width(); ++x) {
      n += red(x, y);
      blocks += red(x, y) && red(x + 1, y) && red(x, y + 1) && red(x + 1, y + 1);
    }
  EXPECT_GT(n, 200);
  EXPECT_GT(blocks, n / 4) << n << " red device pixels at ratio " << r;
}

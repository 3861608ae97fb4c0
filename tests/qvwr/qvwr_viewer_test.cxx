#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <gtest/gtest.h>
#include <QImage>
#include <QPaintEvent>
#include <QPixmap>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QTest>
#include "qvwr/qvwr_test_helpers.h"

namespace
{
std::unique_ptr<qvwr_viewer> shown_viewer(int w = 200, int h = 150)
{
  auto v = std::make_unique<qvwr_viewer>(nullptr, "v");
  v->resize(w, h);
  v->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(v.get()));
  QCoreApplication::processEvents();
  return v;
}

void set_ground(qvwr_viewer& v, const QColor& c)
{
  QPalette pal = v.palette();
  pal.setColor(v.backgroundRole(), c);
  v.setPalette(pal);
}

vgl_box_2d<double> box(double x0, double y0, double x1, double y1)
{
  return vgl_box_2d<double>(vgl_point_2d<double>(x0, y0), vgl_point_2d<double>(x1, y1));
}

bool finite(const vimt_transform_2d& t)
{
  return std::isfinite(t.xx()) && std::isfinite(t.yy()) && std::isfinite(t.xt()) &&
         std::isfinite(t.yt());
}

class counting_viewer : public qvwr_viewer
{
 public:
  int changes{0};

 protected:
  void viewChanged() override { ++changes; }
};
} // namespace

TEST(QvwrViewer, InitialMappingIsTheIdentityScale)
{
  qvwr_viewer v(nullptr, "qvwr_viewer");
  EXPECT_EQ(v.objectName(), QString("qvwr_viewer"));
  EXPECT_TRUE(v.inherits("qvwr_viewer"));
  EXPECT_EQ(qobject_cast<qvwr_viewer*>(v.qObject()), &v);
  EXPECT_EQ(v.focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(v.worldWindow(), box(0, 0, 256, 256));
  EXPECT_EQ(v.viewWindow(), box(0, 0, 256, 256));
  EXPECT_EQ(v.interpMethod(), 1);
  const vgl_point_2d<double> d = v.worldToDisplay()(10, 20);
  EXPECT_DOUBLE_EQ(d.x(), 10);
  EXPECT_DOUBLE_EQ(d.y(), 20);
  const vgl_point_2d<double> w = v.displayToWorld()(10, 20);
  EXPECT_DOUBLE_EQ(w.x(), 10);
  EXPECT_DOUBLE_EQ(w.y(), 20);
}

TEST(QvwrViewer, FitsTheViewWindowCentredWithOneScale)
{
  counting_viewer v;
  v.displaySize(400, 300);
  v.changes = 0;
  v.viewWindow(box(0, 0, 200, 100));
  EXPECT_EQ(v.changes, 1);
  const vimt_transform_2d& t = v.worldToDisplay();
  EXPECT_DOUBLE_EQ(t.xx(), 2);
  EXPECT_DOUBLE_EQ(t.yy(), 2);
  EXPECT_DOUBLE_EQ(t.xt(), 0);
  EXPECT_DOUBLE_EQ(t.yt(), 50);
  const vgl_point_2d<double> far = t(200, 100);
  EXPECT_DOUBLE_EQ(far.x(), 400);
  EXPECT_DOUBLE_EQ(far.y(), 250);
  const vgl_point_2d<double> back = v.displayToWorld()(400, 250);
  EXPECT_DOUBLE_EQ(back.x(), 200);
  EXPECT_DOUBLE_EQ(back.y(), 100);

  // The visible world is taller than the view window.
  const vgl_box_2d<double> shown = v.displayedWindow();
  EXPECT_DOUBLE_EQ(shown.min_x(), 0);
  EXPECT_DOUBLE_EQ(shown.min_y(), -25);
  EXPECT_DOUBLE_EQ(shown.max_x(), 199.5);
  EXPECT_DOUBLE_EQ(shown.max_y(), 124.5);

  // Zoom into the display rectangle (100, 50)-(300, 150): world (50, 0)-(150, 50).
  v.viewWindow(vgl_box_2d<int>(100, 300, 50, 150));
  EXPECT_EQ(v.viewWindow(), box(50, 0, 150, 50));
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 4);
  EXPECT_DOUBLE_EQ(v.worldToDisplay()(100, 25).x(), 200);
  EXPECT_DOUBLE_EQ(v.worldToDisplay()(100, 25).y(), 150);

  // worldWindow only stores; unZoom brings it into view.
  v.changes = 0;
  v.worldWindow(box(-10, -10, 290, 140));
  EXPECT_EQ(v.changes, 0);
  EXPECT_EQ(v.viewWindow(), box(50, 0, 150, 50));
  v.unZoom();
  EXPECT_EQ(v.changes, 1);
  EXPECT_EQ(v.viewWindow(), box(-10, -10, 290, 140));
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 400.0 / 300.0);
}

TEST(QvwrViewer, DegenerateWindowsGiveFiniteMappings)
{
  qvwr_viewer v(nullptr, "v");
  v.displaySize(400, 300);
  // Zero width: fitted by the height alone.
  v.viewWindow(box(5, 0, 5, 100));
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 3);
  EXPECT_DOUBLE_EQ(v.worldToDisplay()(5, 50).x(), 200);
  // Zero height: by the width alone.
  v.viewWindow(box(0, 7, 100, 7));
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 4);
  // A single point (a one-pixel image): scale 1, the point at the centre.
  v.worldWindow(box(0, 0, 0, 0));
  v.unZoom();
  ASSERT_TRUE(finite(v.worldToDisplay()));
  ASSERT_TRUE(finite(v.displayToWorld()));
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 1);
  EXPECT_DOUBLE_EQ(v.worldToDisplay()(0, 0).x(), 200);
  EXPECT_DOUBLE_EQ(v.worldToDisplay()(0, 0).y(), 150);
  EXPECT_DOUBLE_EQ(v.displayToWorld()(200, 150).x(), 0);
  // An empty display and a window that is not a box at all stay finite too.
  v.displaySize(0, 0);
  EXPECT_TRUE(finite(v.worldToDisplay()));
  EXPECT_TRUE(finite(v.displayToWorld()));
  v.displaySize(400, 300);
  v.viewWindow(vgl_box_2d<double>());
  EXPECT_TRUE(finite(v.worldToDisplay()));
  EXPECT_TRUE(finite(v.displayToWorld()));
  const vgl_box_2d<double> shown = v.displayedWindow();
  EXPECT_TRUE(std::isfinite(shown.min_x()) && std::isfinite(shown.max_y()));
}

TEST(QvwrViewer, IdentityMappingAndInterpolationReachTheFigures)
{
  counting_viewer v;
  count_figure a, b;
  v.append(a);
  v.append(b);
  EXPECT_EQ(a.transforms, 1);
  EXPECT_EQ(a.interp, 1);
  v.displaySize(512, 512);
  EXPECT_DOUBLE_EQ(a.last_transform.xx(), 2);
  EXPECT_DOUBLE_EQ(b.last_transform.xx(), 2);

  v.changes = 0;
  v.setUseIdentityMapping(true);
  EXPECT_TRUE(v.worldToDisplay().is_identity());
  EXPECT_TRUE(a.last_transform.is_identity());
  EXPECT_EQ(v.changes, 1);
  v.setUseIdentityMapping(true); // unchanged: no recomputation
  EXPECT_EQ(v.changes, 1);
  v.setUseIdentityMapping(false);
  EXPECT_DOUBLE_EQ(v.worldToDisplay().xx(), 2);

  v.interpMethod(0);
  EXPECT_EQ(v.interpMethod(), 0);
  EXPECT_EQ(a.interp, 0);
  EXPECT_EQ(b.interp, 0);
  a.interp = 7;
  v.interpMethod(0); // same value: nothing is pushed
  EXPECT_EQ(a.interp, 7);
}

TEST(QvwrViewer, FigureListKeepsOrderWithoutDuplicates)
{
  qvwr_viewer v(nullptr, "v");
  count_figure a, b, c;
  v.append(a);
  v.append(b);
  v.append(c);
  v.append(a); // moves to the top
  EXPECT_EQ(v.figures(), (std::vector<qvwr_figure*>{&b, &c, &a}));
  EXPECT_EQ(&a.viewer(), &v);
  EXPECT_EQ(a.transforms, 2);
  v.remove(c);
  EXPECT_FALSE(c.gotViewer());
  EXPECT_EQ(v.figures(), (std::vector<qvwr_figure*>{&b, &a}));
  v.remove(c); // not here: nothing happens
  EXPECT_EQ(v.figures().size(), 2u);

  // Moving a figure to another viewer takes it out of the first.
  qvwr_viewer other(nullptr, "other");
  other.append(b);
  EXPECT_EQ(&b.viewer(), &other);
  EXPECT_EQ(v.figures(), (std::vector<qvwr_figure*>{&a}));
  EXPECT_EQ(other.figures(), (std::vector<qvwr_figure*>{&b}));
}

TEST(QvwrViewer, InteractionFocusOrderAndMessages)
{
  std::vector<std::string> log;
  qvwr_viewer v(nullptr, "v");
  QObject::connect(&v, QOverload<const QString&, const QWidget*>::of(&qvwr_viewer::message),
                   [&](const QString& text, const QWidget* w) {
                     log.push_back("message:" + text.toStdString());
                     EXPECT_EQ(w, &v);
                   });
  log_interaction a("a", &log), b("b", &log), stray("stray", &log);

  v.append(a);
  EXPECT_EQ(log, (std::vector<std::string>{"a.setViewer", "a.gainingFocus", "message:a"}));
  log.clear();
  v.append(b);
  EXPECT_EQ(log, (std::vector<std::string>{"a.losingFocus", "b.setViewer", "b.gainingFocus",
                                           "message:b"}));
  // Re-appending the active one takes it out first, so "a" loses focus.
  log.clear();
  v.append(b);
  EXPECT_EQ(log, (std::vector<std::string>{"a.losingFocus", "b.setViewer", "b.gainingFocus",
                                           "message:b"}));
  // Removing the dormant one: it loses focus, the active one gains it again.
  log.clear();
  v.remove(a);
  EXPECT_EQ(log, (std::vector<std::string>{"a.losingFocus", "a.clearViewer", "b.gainingFocus",
                                           "message:b"}));
  log.clear();
  v.remove(stray); // not attached: nothing, not even a message
  v.remove(a);
  EXPECT_TRUE(log.empty());
  v.remove(b);
  EXPECT_EQ(log, (std::vector<std::string>{"b.losingFocus", "b.clearViewer", "message:None"}));

  // removeAll: figures first, then interactions in list order.
  count_figure f;
  v.append(a);
  v.append(b);
  v.append(f);
  log.clear();
  v.removeAll();
  EXPECT_FALSE(f.gotViewer());
  EXPECT_FALSE(a.gotViewer());
  EXPECT_FALSE(b.gotViewer());
  EXPECT_TRUE(v.figures().empty());
  EXPECT_EQ(log, (std::vector<std::string>{"a.losingFocus", "a.clearViewer", "b.gainingFocus",
                                           "message:b", "b.losingFocus", "b.clearViewer",
                                           "message:None"}));
}

TEST(QvwrViewer, EventsGoToTheActiveInteractionOnly)
{
  std::vector<std::string> log;
  qRegisterMetaType<QMouseEvent*>();
  auto v = shown_viewer();
  QSignalSpy pressed(v.get(), &qvwr_viewer::emitMousePressEvent);
  QSignalSpy moved(v.get(), &qvwr_viewer::emitMouseMoveEvent);

  // No interaction: keys are left for the parent, mouse signals still come.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &key);
  EXPECT_FALSE(key.isAccepted());
  QKeyEvent keyUp(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &keyUp);
  EXPECT_FALSE(keyUp.isAccepted());
  QTest::mousePress(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
  QTest::mouseRelease(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
  EXPECT_EQ(pressed.count(), 1);

  log_interaction below("below", &log), top("top", &log);
  v->append(below);
  v->append(top);
  log.clear();
  QTest::mousePress(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(12, 34));
  QMouseEvent move(QEvent::MouseMove, QPointF(15, 36), QPointF(15, 36), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &move);
  QTest::mouseRelease(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(15, 36));
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(15, 36), QPointF(15, 36), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &dbl);
  EXPECT_EQ(pressed.count(), 2); // a double click is no press
  EXPECT_EQ(moved.count(), 1);
  EXPECT_EQ(top.last_pos, QPoint(15, 36));
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "top.press");
  EXPECT_EQ(log[1], "top.move");
  EXPECT_EQ(log[2], "top.releaseMouse");
  EXPECT_EQ(log[3], "top.double");
  EXPECT_EQ(log.size(), 4u);

  // Tracking the mouse: a move with no button held reaches the signal only.
  log.clear();
  v->setMouseTracking(true);
  QMouseEvent hover(QEvent::MouseMove, QPointF(20, 30), QPointF(20, 30), Qt::NoButton,
                    Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &hover);
  QCoreApplication::sendEvent(v.get(), &move);
  EXPECT_EQ(moved.count(), 3);
  EXPECT_EQ(log, (std::vector<std::string>{"top.move"}));
  v->setMouseTracking(false);

  log.clear();
  top.accept_keys = true;
  QKeyEvent key2(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &key2);
  EXPECT_TRUE(key2.isAccepted());
  EXPECT_EQ(log, (std::vector<std::string>{"top.key"}));
  v->removeAll();
}

TEST(QvwrViewer, LockBatchesRepaintsIntoOne)
{
  auto v = shown_viewer();
  count_figure ground(QRect(0, 0, 200, 150));
  v->append(ground);
  ground.reset();

  // Unlocked: painted at once, inside the call.
  v->invalidate(QRect(1, 2, 3, 4));
  ASSERT_EQ(ground.draws, 1);
  EXPECT_EQ(ground.areas[0], QRect(1, 2, 3, 4));

  ground.reset();
  v->lock();
  v->lock();
  for (int k = 0; k < 20; ++k)
    v->invalidate(QRect(5 * k, k, 4, 4));
  v->release();
  EXPECT_EQ(ground.draws, 0); // still locked once
  v->release();
  ASSERT_EQ(ground.draws, 1);
  EXPECT_EQ(ground.areas[0], QRect(QPoint(0, 0), QPoint(98, 22)));

  // A release at 0 does nothing, and a null rectangle adds nothing.
  ground.reset();
  v->release();
  v->invalidate(QRect());
  EXPECT_EQ(ground.draws, 0);
  // refresh paints what was collected, not the whole widget.
  v->lock();
  v->invalidate(QRect(10, 10, 5, 5));
  v->refresh();
  ASSERT_EQ(ground.draws, 1);
  EXPECT_EQ(ground.areas[0], QRect(10, 10, 5, 5));
  v->release();
  EXPECT_EQ(ground.draws, 1);

  // A new mapping repaints every figure's invalidations together.
  struct moving : count_figure {
    void setTransform(const vimt_transform_2d& t) override
    {
      count_figure::setTransform(t);
      if (gotViewer()) {
        lock();
        invalidate(boundBox());
        setBoundBox(QRect(int(t.xt()), 0, 10, 10));
        invalidate(boundBox());
        release();
      }
    }
  } m1, m2;
  v->append(m1);
  v->append(m2);
  ground.reset();
  v->viewWindow(box(-20, 0, 236, 256));
  EXPECT_EQ(ground.draws, 1);
  v->removeAll();
}

TEST(QvwrViewer, DrawingStartsAtTheTopmostCoveringOpaqueFigure)
{
  qvwr_viewer v(nullptr, "v");
  count_figure bottom(QRect(0, 0, 100, 100), Qt::blue, true);
  count_figure middle(QRect(10, 10, 20, 20), Qt::green, true);
  count_figure top(QRect(0, 0, 50, 50), Qt::red, false);
  v.append(bottom);
  v.append(middle);
  v.append(top);
  QImage img(100, 100, QImage::Format_RGB32);
  QPainter p(&img);

  v.drawGraphics(p, QRect(12, 12, 5, 5)); // inside the middle one
  EXPECT_EQ(bottom.draws, 0);
  EXPECT_EQ(middle.draws, 1);
  EXPECT_EQ(top.draws, 1);

  v.drawGraphics(p, QRect(25, 25, 10, 10)); // sticks out of the middle one
  EXPECT_EQ(bottom.draws, 1);
  EXPECT_EQ(middle.draws, 2);

  v.drawGraphics(p, QRect(10, 10, 20, 20)); // edges may coincide
  EXPECT_EQ(bottom.draws, 1);

  // An invisible opaque figure still hides what lies below it.
  middle.setVisible(false);
  bottom.reset();
  middle.reset();
  v.drawGraphics(p, QRect(12, 12, 5, 5));
  EXPECT_EQ(bottom.draws, 0);
  EXPECT_EQ(middle.draws, 1);
  EXPECT_EQ(middle.paints, 0);

  // Nothing opaque covers the area: everything is drawn from the first.
  bottom.reset();
  v.drawGraphics(p, QRect(90, 90, 20, 20));
  EXPECT_EQ(bottom.draws, 1);
  p.end();

  // What needs the ground first: the area less what shown opaque figures
  // drawn there paint.  The hidden middle one paints nothing, yet hides.
  const struct
  {
    QRect area;
    QRegion ground;
  } grounds[] = {{QRect(12, 12, 5, 5), QRegion(QRect(12, 12, 5, 5))},
                 {QRect(90, 90, 20, 20), QRegion(QRect(90, 90, 20, 20)) - QRect(0, 0, 100, 100)},
                 {QRect(5, 5, 40, 40), QRegion()}};
  for (const auto& g : grounds) EXPECT_EQ(v.groundArea(g.area), g.ground) << g.area.x();
  middle.setVisible(true);
  EXPECT_EQ(v.groundArea(QRect(12, 12, 5, 5)), QRegion());
  v.removeAll();
}

TEST(QvwrViewer, PaintsTheGroundAndFiguresThroughOnePixmap)
{
  auto v = shown_viewer(200, 150);
  set_ground(*v, QColor(10, 100, 10));
  count_figure spot(QRect(20, 30, 10, 10), Qt::red);
  v->append(spot);
  QCoreApplication::processEvents(); // the palette change schedules a full paint
  const QImage shot = v->grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(10, 100, 10));
  EXPECT_EQ(QColor(shot.pixel(199, 149)), QColor(10, 100, 10));
  EXPECT_EQ(QColor(shot.pixel(25, 35)), QColor(Qt::red));

  // A paint event that lies outside the widget paints nothing.
  spot.reset();
  QPaintEvent outside(QRect(500, 500, 10, 10));
  QCoreApplication::sendEvent(v.get(), &outside);
  EXPECT_EQ(spot.draws, 0);

  // The figures draw in widget coordinates whatever part is repainted.
  spot.reset();
  v->repaint(QRect(22, 33, 4, 4));
  ASSERT_EQ(spot.draws, 1);
  EXPECT_EQ(spot.areas[0], QRect(22, 33, 4, 4));
  EXPECT_EQ(QColor(v->grab(QRect(22, 33, 4, 4)).toImage().pixel(1, 1)), QColor(Qt::red));
  v->removeAll();
}

TEST(QvwrViewer, ResizeRefitsTheViewWindow)
{
  auto v = shown_viewer(200, 150);
  v->viewWindow(box(0, 0, 100, 100));
  EXPECT_DOUBLE_EQ(v->worldToDisplay().xx(), 1.5);
  v->resize(400, 300);
  QCoreApplication::processEvents();
  EXPECT_DOUBLE_EQ(v->worldToDisplay().xx(), 3);
  EXPECT_DOUBLE_EQ(v->worldToDisplay()(50, 50).x(), 200);
  EXPECT_DOUBLE_EQ(v->worldToDisplay()(50, 50).y(), 150);
}

TEST(QvwrViewer, ScreenShots)
{
  auto v = shown_viewer(60, 40);
  set_ground(*v, QColor(10, 100, 10));
  count_figure spot(QRect(5, 6, 4, 3), QColor(200, 50, 25));
  v->append(spot);

  QPixmap pm;
  v->screenShot(&pm);
  EXPECT_EQ(pm.size(), QSize(60, 40));
  const QImage img = pm.toImage();
  EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(10, 100, 10));
  EXPECT_EQ(QColor(img.pixel(6, 7)), QColor(200, 50, 25));

  vimt_image_2d_of<vxl_byte> colour;
  vimt_transform_2d shift;
  shift.set_translation(3, 4);
  colour.set_world2im(shift);
  v->screenShot(colour);
  ASSERT_EQ(colour.ni(), 60u);
  ASSERT_EQ(colour.nj(), 40u);
  ASSERT_EQ(colour.nplanes(), 3u);
  EXPECT_EQ(colour.image()(0, 0, 1), 100);
  EXPECT_EQ(colour.image()(8, 8, 0), 200);
  EXPECT_EQ(colour.image()(8, 8, 1), 50);
  EXPECT_EQ(colour.image()(8, 8, 2), 25);
  EXPECT_EQ(colour.image()(9, 8, 0), 10); // right of the box
  EXPECT_EQ(colour.world2im(), shift);

  // All grey: one plane by Qt's grey formula.
  set_ground(*v, QColor(50, 50, 50));
  v->remove(spot);
  vimt_image_2d_of<vxl_byte> grey;
  v->screenShot(grey);
  ASSERT_EQ(grey.nplanes(), 1u);
  EXPECT_EQ(grey.image()(59, 39), 50);
}

TEST(QvwrViewer, DestroyingTheViewerDetachesEverything)
{
  std::vector<std::string> log;
  count_figure f(QRect(0, 0, 5, 5));
  log_interaction i("i", &log);
  {
    auto v = shown_viewer();
    v->append(f);
    v->append(i);
  }
  EXPECT_FALSE(f.gotViewer());
  EXPECT_FALSE(i.gotViewer());
}

TEST(QvwrViewer, MouseZoomAndPan)
{
  std::vector<std::string> log;
  auto v = shown_viewer(200, 100);
  log_interaction editor("editor", &log);
  count_figure spy(QRect(0, 0, 200, 100));
  v->append(spy);
  v->append(editor);
  v->worldWindow(box(0, 0, 20, 10));  // fitted: 10 display pixels per world unit
  v->unZoom();
  const auto wheel = [&](int delta, const QPointF& at) {
    QWheelEvent e(at, v->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(v.get(), &e);
  };
  const auto scale = [&] { return v->worldToDisplay().xx(); };
  wheel(120, QPointF(30, 40));
  EXPECT_EQ(scale(), 10.0) << "zoom is off";

  // One notch: the scale grows by 1.25 about the cursor, in one change.
  v->setMouseZoom(true);
  const vgl_point_2d<double> under = v->displayToWorld()(30, 40);
  spy.reset();
  wheel(120, QPointF(30, 40));
  EXPECT_NEAR(scale(), 12.5, 1e-9);
  EXPECT_NEAR(v->worldToDisplay()(under).x(), 30, 1e-9);
  EXPECT_NEAR(v->worldToDisplay()(under).y(), 40, 1e-9);
  EXPECT_EQ(spy.transforms, 1);

  // From the fitted view, eight notches stop at the limits, and those past
  // a limit change nothing; a half notch zooms by its share.
  const struct { int delta, notches; double scale; int changes; } steps[] = {
    {120, 8, 32.0, 6}, {-120, 8, 5.0, 4}, {60, 1, 10.0 * std::sqrt(1.25), 1}};
  for (const auto& s : steps) {
    v->unZoom();
    spy.reset();
    for (int k = 0; k < s.notches; ++k) wheel(s.delta, QPointF(150, 70));
    EXPECT_NEAR(scale(), s.scale, 1e-9) << "delta " << s.delta;
    EXPECT_EQ(spy.transforms, s.changes) << "delta " << s.delta;
  }

  // A middle drag moves the mapping by the drag; a middle double-click
  // unzooms; neither reaches the interaction, the left button still does.
  log.clear();
  const double tx = v->worldToDisplay().xt(), ty = v->worldToDisplay().yt();
  QTest::mousePress(v.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(50, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(57, 46), v->mapToGlobal(QPointF(57, 46)), Qt::NoButton,
                   Qt::MiddleButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v.get(), &move);
  QTest::mouseRelease(v.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(57, 46));
  EXPECT_NEAR(v->worldToDisplay().xt(), tx + 7, 1e-9);
  EXPECT_NEAR(v->worldToDisplay().yt(), ty - 4, 1e-9);
  QTest::mouseDClick(v.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(scale(), 10.0);
  EXPECT_TRUE(log.empty());
  QTest::mouseClick(v.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(log, (std::vector<std::string>{"editor.press", "editor.releaseMouse"}));
  v->removeAll();
}

TEST(QvwrViewer, MouseZoomSurvivesEmptyDisplaysBadPointsAndResizes)
{
  // World 20 x 10.  A refused zoom leaves the view as it was; after the
  // resize the scale lies within the zoom limits of the new size and the
  // view keeps its centre.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct { const char* name; QSize zoom_at; QPointF at; double factor; QSize then; bool refused; } rows[] = {
    {"empty display", {0, 0}, {0, 0}, 2, {200, 100}, true},
    {"display of zero width", {0, 100}, {0, 50}, 2, {200, 100}, true},
    {"NaN cursor", {200, 100}, {nan, 40}, 2, {200, 100}, true},
    {"infinite cursor", {200, 100}, {30, inf}, 2, {200, 100}, true},
    {"zoomed in, then grown", {200, 100}, {30, 40}, 100, {400, 200}, false},
    {"zoomed out, then narrowed", {200, 200}, {30, 40}, 0.01, {200, 100}, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    qvwr_viewer v;
    v.setMouseZoom(true);
    v.worldWindow(box(0, 0, 20, 10));
    v.displaySize(r.zoom_at.width(), r.zoom_at.height());
    v.unZoom();
    const vgl_box_2d<double> before = v.viewWindow();
    v.zoomAbout(r.at, r.factor);
    EXPECT_TRUE(!r.refused || v.viewWindow() == before);
    const vgl_point_2d<double> centre = v.viewWindow().centroid();
    v.displaySize(r.then.width(), r.then.height());
    const double fit = std::min(r.then.width() / 20.0, r.then.height() / 10.0);
    EXPECT_GE(v.worldToDisplay().xx(), 0.5 * fit - 1e-9);
    EXPECT_LE(v.worldToDisplay().xx(), std::max(32.0, fit) + 1e-9);
    EXPECT_NEAR((v.viewWindow().centroid() - centre).length(), 0.0, 1e-9);
  }
}

// A long random session with the real window: 20,000 events from a fixed
// seed, as a user at the mouse and keyboard would give them.  Clicks and
// drags in the viewer (on the image and off it), both sliders, "Cost
// Image", "Clear", "Run Snake" with fewer and with more than 3 points
// (at once, or played and stopped midway),
// loading every shared test image and some broken files, and resizing the
// window.  Message boxes are closed from a timer.
//
// After every event the viewer is unlocked: a change repaints at once.
// After every run, finished or stopped, the shape figure and the point editor show the same
// points.  Under the sanitizer build the session also ends with no error
// and no leak.
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <app/tessaly.h>
#include <qvwr/qvwr_fg_points.h>
#include <qvwr/qvwr_fg_shape.h>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_viewer.h>
#include <shape_data/vsml_parts.h>
#include <vil/vil_image_view.h>
#include <vil/vil_save.h>
#include "../../fuzz/image_bombs.h"
#include "support/dialog_closer.h"
#include "test_data.h"

namespace
{
const int session_events = 20000;
const unsigned session_seed = 20261208;
const QString unable_to_load = "Unable to load image";

// Draws nothing, counts the repaints that reach it.  On top of the other
// figures and never opaque, so every repaint of its area draws it.
class repaint_probe : public qvwr_figure
{
 public:
  repaint_probe() { setBoundBox(QRect(-10000, -10000, 20000, 20000)); }
  void draw(QPainter&, const QRect& area) override
  {
    if (isVisible() && area.intersects(boundBox())) ++draws;
  }
  void setTransform(const vimt_transform_2d&) override { setBoundBox(QRect(-10000, -10000, 20000, 20000)); }
  std::string is_a() const override { return "repaint_probe"; }
  int draws = 0;
};

std::vector<std::string> files_in(const std::string& dir)
{
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') out.push_back(dir + "/" + e->d_name);
    ::closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Files no reader accepts as 8-bit pixels; every one must give the message box.
std::vector<std::string> broken_files()
{
  const std::string dir = ::testing::TempDir() + "tessaly_session_";
  std::vector<std::string> paths;
  auto put = [&](const std::string& name, const image_bombs::bytes& data) {
    paths.push_back(dir + name);
    EXPECT_TRUE(image_bombs::write_file(paths.back(), data)) << paths.back();
  };
  vil_image_view<vxl_byte> good(40, 30, 3);
  good.fill(90);
  const std::string png = dir + "good.png";
  EXPECT_TRUE(vil_save(good, png.c_str()));
  std::FILE* f = std::fopen(png.c_str(), "rb");
  image_bombs::bytes bytes(4096);
  bytes.resize(f ? std::fread(bytes.data(), 1, bytes.size(), f) : 0);
  if (f) std::fclose(f);
  put("truncated.png", image_bombs::bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2)));
  put("empty.bmp", {});
  put("garbage.jpg", {0xff, 0xd8, 0xff, 0xe0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  put("short.pgm", {'P', '5', '\n', '9', ' ', '9', '\n', '2', '5', '5', '\n', 1, 2, 3});
  put("huge.png", image_bombs::huge_png());
  put("huge.tif", image_bombs::huge_tiff());
  put("huge.jpg", image_bombs::huge_jpeg());
  put("lying_chunk.png", image_bombs::lying_chunk_png());
  put("overflowing.png", image_bombs::overflowing_png());
  vil_image_view<vxl_uint_16> deep(20, 10);
  deep.fill(1000);
  paths.push_back(dir + "sixteen_bit.pgm");
  EXPECT_TRUE(vil_save(deep, paths.back().c_str()));
  paths.push_back(dir + "does_not_exist.png");
  paths.push_back(::testing::TempDir());  // a folder
  return paths;
}

// The shape figure's part drawn from the snake and the point editor's
// points, both in display pixels, are the same list.
::testing::AssertionResult same_points(qvwr_viewer& viewer)
{
  qvwr_fg_shape* shape = nullptr;
  qvwr_fg_points* points = nullptr;
  for (qvwr_figure* f : viewer.figures()) {
    if (auto* s = dynamic_cast<qvwr_fg_shape*>(f)) shape = s;
    if (auto* p = dynamic_cast<qvwr_fg_points*>(f)) points = p;
  }
  if (!shape || !points) return ::testing::AssertionFailure() << "shape or points figure not attached";
  if (shape->parts().nParts() != 1) return ::testing::AssertionFailure() << shape->parts().nParts() << " parts";
  const std::vector<vgl_point_2d<int>>& drawn = shape->partPoints(0);
  const std::vector<vgl_point_2d<double>>& pts = points->points();
  if (drawn.size() != pts.size())
    return ::testing::AssertionFailure() << drawn.size() << " points drawn, " << pts.size() << " in the editor";
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const QPoint q = points->displayPos(pts[i]);
    if (q.x() != drawn[i].x() || q.y() != drawn[i].y())
      return ::testing::AssertionFailure() << "point " << i << ": shape at " << drawn[i].x() << ','
                                           << drawn[i].y() << ", editor at " << q.x() << ',' << q.y();
  }
  return ::testing::AssertionSuccess();
}

int editor_point_count(qvwr_viewer& viewer)
{
  for (qvwr_figure* f : viewer.figures())
    if (auto* p = dynamic_cast<qvwr_fg_points*>(f)) return int(p->points().size());
  return 0;
}
}  // namespace

TEST(TessalyRandomSession, TwentyThousandEventsKeepTheWindowConsistent)
{
  std::vector<std::string> images;
  if (tessaly_testdata_present()) {
    images = files_in(tessaly_testdata("images"));
    const std::vector<std::string> big = files_in(tessaly_testdata("images/bigtiff"));
    images.insert(images.end(), big.begin(), big.end());
  }
  const std::vector<std::string> broken = broken_files();
  images.insert(images.end(), broken.begin(), broken.end());

  dialog_closer closer;
  auto w = std::make_unique<tessaly>(nullptr, nullptr);
  w->setGeometry(100, 100, 300, 300);
  w->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  QCoreApplication::processEvents();
  qvwr_viewer& viewer = *w->q_viewer();
  auto* run = w->findChild<QPushButton*>("run_button");
  auto* clear = w->findChild<QPushButton*>("clear_button");
  auto* cost = w->findChild<QCheckBox*>("cost_image_check");
  auto* wt = w->findChild<QSlider*>("image_wt_slider");
  auto* smooth = w->findChild<QSlider*>("smooth_k_slider");
  ASSERT_TRUE(run && clear && cost && wt && smooth);

  repaint_probe probe;
  viewer.append(probe);

  std::mt19937 rng(session_seed);
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  std::map<std::string, int> counts;
  bool pressed = false;
  std::size_t next_image = 0;
  int runs_checked = 0, refusals_seen = 0;
  // Runs play at Fast or go at once: a played one goes on among the other
  // events until it ends or is stopped, and is checked then.
  QSignalSpy ended(w.get(), &tessaly::run_finished);
  int ended_seen = 0;

  for (int event = 0; event < session_events; ++event) {
    const int roll = pick(1000);
    // Positions on the image, beside it, and off the widget altogether.
    const QPointF at(pick(viewer.width() + 80) - 40, pick(viewer.height() + 80) - 40);
    const QPointF global = viewer.mapToGlobal(at);
    if (roll < 700) {
      if (!pressed && roll < 150) {
        QMouseEvent e(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &e);
        pressed = true;
        ++counts["press"];
      } else if (pressed && roll < 250) {
        QMouseEvent e(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &e);
        pressed = false;
        ++counts["release"];
      } else {
        const Qt::MouseButtons held = pressed ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(QEvent::MouseMove, at, global, Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &e);
        ++counts[pressed ? "drag" : "move"];
      }
    } else if (roll < 800) {
      static const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown,
                                     Qt::Key_Home, Qt::Key_End};
      QTest::keyClick(pick(2) ? wt : smooth, keys[pick(6)]);
      ++counts["slider"];
    } else if (roll < 830) {
      QTest::mouseClick(cost, Qt::LeftButton, Qt::NoModifier, QPoint(5, cost->height() / 2));
      ++counts["cost image"];
    } else if (roll < 860) {
      w->resize(150 + pick(500), 150 + pick(450));
      QCoreApplication::processEvents();
      ++counts["resize"];
    } else if (roll < 875) {
      QTest::mouseClick(clear, Qt::LeftButton);
      ++counts["clear"];
    } else if (roll < 895) {
      const std::string& path = images[next_image++ % images.size()];
      const int before = int(closer.texts.size());
      w->load_image(path.c_str());
      const bool refused = int(closer.texts.size()) > before;
      if (refused) {
        ++refusals_seen;
        EXPECT_EQ(closer.texts.back(), unable_to_load) << path;
      }
      // The broken files are never taken.
      if (std::find(broken.begin(), broken.end(), path) != broken.end()) {
        EXPECT_TRUE(refused) << path;
      }
      ++counts["load"];
    } else if (roll < 905) {
      const int n = editor_point_count(viewer);
      const int before = int(closer.texts.size());
      const bool was_running = w->running();
      w->set_step_delay_ms(pick(2) ? 0 : 4);
      QTest::mouseClick(run, Qt::LeftButton);
      if (was_running) {
        EXPECT_FALSE(w->running());
        ++counts["run stopped"];
      } else if (n < 3) {
        EXPECT_EQ(int(closer.texts.size()), before + 1) << "no message box for " << n << " points";
        ++counts["run, too few points"];
      } else {
        ++counts[w->running() ? "run played" : "run"];
      }
    } else {
      QCoreApplication::processEvents();
      ++counts["idle"];
    }
    if (ended.size() > ended_seen) {
      ended_seen = int(ended.size());
      EXPECT_TRUE(same_points(viewer)) << "after a run ended at event " << event;
      ++runs_checked;
    }
    // Unlocked between events: a change repaints inside the call.
    const int draws = probe.draws;
    viewer.invalidate(QRect(0, 0, 2, 2));
    ASSERT_GT(probe.draws, draws) << "viewer still locked after event " << event;
    if (HasFatalFailure()) return;
  }
  if (pressed) {
    QMouseEvent e(QEvent::MouseButtonRelease, QPointF(1, 1), viewer.mapToGlobal(QPointF(1, 1)), Qt::LeftButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&viewer, &e);
  }
  viewer.remove(probe);

  std::string summary;
  for (const auto& c : counts) summary += c.first + " " + std::to_string(c.second) + ", ";
  std::printf("session: %s%d runs checked, %d refused loads\n", summary.c_str(), runs_checked, refusals_seen);
  // The mix reached every kind of event.
  EXPECT_GT(runs_checked, 10);
  EXPECT_GT(counts["run, too few points"], 0);
  EXPECT_GE(refusals_seen, int(broken.size()));
}

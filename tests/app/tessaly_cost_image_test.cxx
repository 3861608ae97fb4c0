// The window's image and cost image: the start image, the cost pipeline and
// the three controls that act on it, checked on grabbed screen pixels.
#include <app/tessaly.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>
#include <QCheckBox>
#include <QImage>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_viewer.h>
#include <vil/algo/vil_exp_filter_2d.h>

namespace
{
struct shown_window
{
  tessaly win{nullptr, nullptr};
  shown_window()
  {
    win.setGeometry(100, 100, 300, 300);
    win.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&win));
  }
  qvwr_viewer& viewer() { return *win.q_viewer(); }
  QImage grab() { return viewer().grab().toImage(); }
  // Grey level shown at world (image) point (x, y).
  int grey_at(const QImage& g, double x, double y)
  {
    const vgl_point_2d<double> d = viewer().worldToDisplay()(x, y);
    return qGray(g.pixel(int(d.x() + 0.5), int(d.y() + 0.5)));
  }
  QCheckBox* cost_box() { return win.findChild<QCheckBox*>("cost_image_check"); }
  QSlider* weight_slider() { return win.findChild<QSlider*>("image_wt_slider"); }
  QSlider* smooth_slider() { return win.findChild<QSlider*>("smooth_k_slider"); }
  // Sum of the changes in grey along image row j: small when blurred.
  long variation(const QImage& g, int j)
  {
    long tv = 0;
    for (int i = 1; i < 250; ++i) tv += std::abs(grey_at(g, i, j) - grey_at(g, i - 1, j));
    return tv;
  }
};

vimt_image_2d_of<vxl_byte> constant(unsigned ni, unsigned nj, unsigned np, vxl_byte v)
{
  vimt_image_2d_of<vxl_byte> im(ni, nj, np);
  im.image().fill(v);
  return im;
}
}  // namespace

TEST(tessaly_cost_image, start_image_rectangle_and_disc_on_dark_ground)
{
  shown_window w;
  const vimt_image_2d_of<vxl_byte>& im = w.win.image();
  ASSERT_EQ(im.ni(), 250u);
  ASSERT_EQ(im.nj(), 250u);
  ASSERT_EQ(im.nplanes(), 1u);
  EXPECT_EQ(im.image()(50, 80), 250);    // rectangle corners, both ends included
  EXPECT_EQ(im.image()(110, 160), 250);
  EXPECT_EQ(im.image()(49, 100), 30);
  EXPECT_EQ(im.image()(111, 100), 30);
  EXPECT_EQ(im.image()(80, 161), 30);
  EXPECT_EQ(im.image()(170, 125), 250);  // disc: squared distance below 1600
  EXPECT_EQ(im.image()(209, 125), 250);
  EXPECT_EQ(im.image()(210, 125), 30);
  EXPECT_EQ(im.image()(170, 85), 30);
  EXPECT_EQ(w.win.smooth_k(), 0.75);
  EXPECT_EQ(w.win.image_wt(), 0.5);
  EXPECT_FALSE(w.win.show_cost_image());

  // On screen: the world window is the image, fitted.
  EXPECT_EQ(w.viewer().worldWindow(), vgl_box_2d<double>(0, 249, 0, 249));
  const QImage g = w.grab();
  EXPECT_EQ(w.grey_at(g, 80, 120), 250);   // rectangle
  EXPECT_EQ(w.grey_at(g, 170, 125), 250);  // disc
  EXPECT_EQ(w.grey_at(g, 150, 60), 30);    // ground
  EXPECT_EQ(w.grey_at(g, 20, 220), 30);
}

TEST(tessaly_cost_image, cost_image_check_box_shows_the_outline_and_back)
{
  shown_window w;
  const QImage start = w.grab();
  w.cost_box()->setChecked(true);
  EXPECT_TRUE(w.win.show_cost_image());
  const QImage cost = w.grab();

  // Bright on the edges, dark inside the shapes and on the ground.
  const int edge_rect = w.grey_at(cost, 50, 120), edge_disc = w.grey_at(cost, 130, 125);
  EXPECT_GT(edge_rect, 100);
  EXPECT_GT(edge_disc, 100);
  EXPECT_LT(w.grey_at(cost, 80, 120), edge_rect / 4);
  EXPECT_LT(w.grey_at(cost, 170, 125), edge_disc / 4);
  EXPECT_LT(w.grey_at(cost, 20, 220), 10);
  EXPECT_LT(w.grey_at(cost, 150, 20), 10);

  w.cost_box()->setChecked(false);
  EXPECT_EQ(w.grab(), start);
}

TEST(tessaly_cost_image, smoothing_slider_blurs_only_while_shown)
{
  shown_window w;
  QSlider* smooth = w.smooth_slider();

  // Unchecked: the screen keeps the image.
  const QImage start = w.grab();
  smooth->setValue(0);
  EXPECT_DOUBLE_EQ(w.win.smooth_k(), 0.5);
  smooth->setValue(100);
  EXPECT_DOUBLE_EQ(w.win.smooth_k(), 0.5 + 100 / 201.0);
  EXPECT_EQ(w.grab(), start);

  w.cost_box()->setChecked(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.win.cost_image_lags(); }));
  const QImage very = w.grab();
  smooth->setValue(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.win.cost_image_lags(); }));
  const QImage little = w.grab();
  EXPECT_NE(little, very);
  // Along row 120 through both shapes: at 100 far smoother than at 0.
  EXPECT_LT(w.variation(very, 120) * 2, w.variation(little, 120));
  // At 0 it still smooths (k = 0.5): the edge spreads to its neighbours.
  EXPECT_GT(w.grey_at(little, 47, 120), 0);
}

TEST(tessaly_cost_image, quick_smoothing_moves_end_on_the_last_value_computed_fewer_times)
{
  shown_window w;
  vimt_image_2d_of<vxl_byte> im(640, 480, 3);
  for (unsigned p = 0; p < 3; ++p)
    for (unsigned j = 0; j < 480; ++j)
      for (unsigned i = 0; i < 640; ++i) im.image()(i, j, p) = vxl_byte((i * j >> 4) + 60 * p);
  w.win.set_image(im);
  w.cost_box()->setChecked(true);
  QSlider* smooth = w.smooth_slider();
  smooth->setFocus();
  const int before = w.win.cost_computations();
  for (int k = 0; k < 20; ++k) QTest::keyClick(smooth, Qt::Key_Right);
  ASSERT_EQ(smooth->value(), 70);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.win.cost_image_lags(); }));
  EXPECT_LT(w.win.cost_computations() - before, 20);

  // What is shown is what the last value gives, computed by name.
  const vil_image_view<float>& c = w.win.cost_image().image();
  const std::vector<float> async(c.top_left_ptr(), c.top_left_ptr() + c.size());
  const QImage shown = w.grab();
  w.win.set_smooth_k(smooth->value());
  EXPECT_TRUE(async == std::vector<float>(c.top_left_ptr(), c.top_left_ptr() + c.size()));
  EXPECT_EQ(w.grab(), shown);

  // The moves keep the image's gradient: a new image's moves start from its own.
  for (unsigned j = 0; j < 480; ++j)
    for (unsigned i = 0; i < 640; ++i) im.image()(i, j, 1) = vxl_byte(i * 5 ^ j * 3);
  w.win.set_image(im);
  QTest::keyClick(smooth, Qt::Key_Left);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.win.cost_image_lags(); }));
  const std::vector<float> moved(c.top_left_ptr(), c.top_left_ptr() + c.size());
  w.win.set_smooth_k(smooth->value());
  EXPECT_TRUE(moved == std::vector<float>(c.top_left_ptr(), c.top_left_ptr() + c.size()));

  // Its memory goes a while after the last move.
  QTest::keyClick(smooth, Qt::Key_Left);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.win.cost_gradient_kept(); }));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.win.cost_gradient_kept(); },
                              2 * tessaly_cost_worker::keep_gradient_ms));
}

// A new image is painted before its cost image is computed, unless the cost
// image is what is shown.
TEST(tessaly_cost_image, new_image_painted_before_its_cost_unless_the_cost_is_shown)
{
  struct probe : qvwr_figure
  {
    tessaly* win = nullptr;
    int at_first_paint = -1;
    void draw(QPainter&, const QRect&) override
    {
      if (at_first_paint < 0) at_first_paint = win->cost_computations();
    }
    void setTransform(const vimt_transform_2d&) override { setBoundBox(QRect(-5000, -5000, 10000, 10000)); }
    std::string is_a() const override { return "probe"; }
  } p;
  shown_window w;
  p.win = &w.win;
  w.viewer().append(p);
  for (const bool cost_shown : {false, true}) {
    SCOPED_TRACE(cost_shown ? "cost image shown" : "image shown");
    w.cost_box()->setChecked(cost_shown);
    const int before = w.win.cost_computations();
    p.at_first_paint = -1;
    w.win.set_image(constant(300, 200, 3, 90));
    EXPECT_EQ(w.win.cost_computations(), before + 1);
    EXPECT_EQ(p.at_first_paint, cost_shown ? before + 1 : before);
  }
  w.viewer().remove(p);
}

TEST(tessaly_cost_image, weight_slider_sets_the_weight_and_nothing_else)
{
  shown_window w;
  QSlider* weight = w.weight_slider();
  const QImage before = w.grab();
  const float max_before = w.win.max_cost();
  weight->setValue(0);
  EXPECT_DOUBLE_EQ(w.win.image_wt(), 0.0);
  weight->setValue(100);
  EXPECT_DOUBLE_EQ(w.win.image_wt(), 1.0);
  EXPECT_EQ(w.grab(), before);
  EXPECT_EQ(w.win.max_cost(), max_before);

  w.cost_box()->setChecked(true);
  const QImage cost = w.grab();
  weight->setValue(30);
  EXPECT_DOUBLE_EQ(w.win.image_wt(), 0.3);
  EXPECT_EQ(w.grab(), cost);

  // Called by name beyond the slider's ends: clamped to them.
  const struct
  {
    const char* slot;
    int v;
    double (tessaly::*get)() const;
    double expected;
  } outside[] = {{"set_image_wt", 250, &tessaly::image_wt, 1.0},
                 {"set_image_wt", -1, &tessaly::image_wt, 0.0},
                 {"set_smooth_k", 1000, &tessaly::smooth_k, 0.5 + 100 / 201.0},
                 {"set_smooth_k", -40, &tessaly::smooth_k, 0.5}};
  for (const auto& o : outside) {
    SCOPED_TRACE(std::string(o.slot) + " " + std::to_string(o.v));
    ASSERT_TRUE(QMetaObject::invokeMethod(&w.win, o.slot, Q_ARG(int, o.v)));
    EXPECT_DOUBLE_EQ((w.win.*o.get)(), o.expected);
  }
}

TEST(tessaly_cost_image, pipeline_values)
{
  shown_window w;
  // Constant image: zero cost, black display.
  w.win.set_image(constant(40, 30, 1, 77));
  EXPECT_EQ(w.win.max_cost(), 0.0f);
  EXPECT_EQ(w.win.cost_image().ni(), 40u);
  EXPECT_EQ(w.win.cost_image().nplanes(), 1u);
  EXPECT_EQ(w.win.cost_display().image()(20, 15), 0);

  // One pixel wide or high: the gradient's border leaves only zeros.
  w.win.set_image(constant(1, 20, 1, 0));
  EXPECT_EQ(w.win.max_cost(), 0.0f);
  vimt_image_2d_of<vxl_byte> stripe(20, 1, 1);
  for (unsigned i = 0; i < 20; ++i) stripe.image()(i, 0) = vxl_byte(i * 10);
  w.win.set_image(stripe);
  EXPECT_EQ(w.win.max_cost(), 0.0f);

  // A step: rms of the two Sobel planes, smoothed, then stretched to 0..255.
  vimt_image_2d_of<vxl_byte> step = constant(30, 30, 1, 0);
  for (unsigned j = 0; j < 30; ++j)
    for (unsigned i = 15; i < 30; ++i) step.image()(i, j) = 160;
  w.win.set_image(step);
  // Unsmoothed the step gives gi = 80 (160 / 2) on two columns, gj = 0:
  // rms sqrt(80^2 / 2); the double smoothing keeps the maximum below it.
  EXPECT_GT(w.win.max_cost(), 5.0f);
  EXPECT_LT(w.win.max_cost(), float(80 / std::sqrt(2.0)));
  const vil_image_view<vxl_byte>& d = w.win.cost_display().image();
  int brightest = 0;
  for (unsigned i = 0; i < 30; ++i) brightest = std::max<int>(brightest, d(i, 15));
  EXPECT_GE(brightest, 254);  // the stretch truncates, so the top may be 254
  EXPECT_GT(d(14, 15), d(8, 15));
  EXPECT_NEAR(d(14, 15), d(15, 15), 1);  // symmetric about the step

  // A colour image combines its planes: the same edge in one of three
  // planes gives a smaller rms than in all three.
  vimt_image_2d_of<vxl_byte> one = constant(30, 30, 3, 0), all = constant(30, 30, 3, 0);
  for (unsigned j = 0; j < 30; ++j)
    for (unsigned i = 15; i < 30; ++i) {
      one.image()(i, j, 1) = 160;
      for (unsigned p = 0; p < 3; ++p) all.image()(i, j, p) = 160;
    }
  w.win.set_image(all);
  const float max_all = w.win.max_cost();
  w.win.set_image(one);
  EXPECT_NEAR(w.win.max_cost() * std::sqrt(3.0f), max_all, 1e-3f * max_all);
}

TEST(tessaly_cost_image, work_image_keeps_its_memory_and_images_keep_their_place)
{
  shown_window w;
  w.win.set_smooth_k(10);
  const float* mem = w.win.work_image().top_left_ptr();
  ASSERT_NE(mem, nullptr);
  w.win.set_smooth_k(90);
  EXPECT_EQ(w.win.work_image().top_left_ptr(), mem);

  // The window's own cost display as the image: its pixels are copied, so
  // that the stretch rewriting the display leaves the image alone.
  const vil_image_view<vxl_byte>& shown = w.win.cost_display().image();
  const std::vector<vxl_byte> px(shown.top_left_ptr(), shown.top_left_ptr() + shown.size());
  w.win.set_image(w.win.cost_display());
  w.win.set_smooth_k(40);
  const vil_image_view<vxl_byte>& now = w.win.image().image();
  EXPECT_TRUE(std::vector<vxl_byte>(now.top_left_ptr(), now.top_left_ptr() + now.size()) == px);

  // The cost display follows a new image while the box is checked.
  w.cost_box()->setChecked(true);
  vimt_image_2d_of<vxl_byte> big = constant(500, 100, 1, 30);
  w.win.set_image(big);
  EXPECT_EQ(w.viewer().worldWindow(), vgl_box_2d<double>(0, 499, 0, 99));
  EXPECT_EQ(w.win.image().ni(), 500u);
  EXPECT_EQ(w.win.image().image().top_left_ptr(), big.image().top_left_ptr());  // shared
  EXPECT_EQ(w.win.cost_display().ni(), 500u);
  EXPECT_EQ(w.grey_at(w.grab(), 250, 50), 0);  // constant: black cost
  w.cost_box()->setChecked(false);
  EXPECT_EQ(w.grey_at(w.grab(), 250, 50), 30);
}

TEST(tessaly_cost_image, colour_file_with_alpha_is_shown_in_colour)
{
  shown_window w;
  vimt_image_2d_of<vxl_byte> rgba(64, 64, 4);
  for (unsigned j = 0; j < 64; ++j)
    for (unsigned i = 0; i < 64; ++i) {
      rgba.image()(i, j, 0) = 200;
      rgba.image()(i, j, 1) = 40;
      rgba.image()(i, j, 2) = vxl_byte(i < 32 ? 10 : 250);
      rgba.image()(i, j, 3) = 0;  // fully transparent: not shown
    }
  testing::internal::CaptureStderr();
  w.win.set_image(rgba);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const QImage g = w.grab();
  const vgl_point_2d<double> a = w.viewer().worldToDisplay()(16, 32);
  const vgl_point_2d<double> b = w.viewer().worldToDisplay()(48, 32);
  const QRgb pa = g.pixel(int(a.x() + 0.5), int(a.y() + 0.5));
  const QRgb pb = g.pixel(int(b.x() + 0.5), int(b.y() + 0.5));
  EXPECT_EQ(qRed(pa), 200);
  EXPECT_EQ(qGreen(pa), 40);
  EXPECT_EQ(qBlue(pa), 10);
  EXPECT_EQ(qBlue(pb), 250);
  EXPECT_GT(w.win.max_cost(), 0.0f);  // the blue edge counts, alpha constant
}

TEST(tessaly_cost_image, smoothing_width_is_the_measured_spread_of_the_twice_applied_filter)
{
  // An impulse along a long row, filtered twice as the pipeline does: the
  // response's standard deviation is the width the factor was chosen for.
  for (double px : {0.3, 2.0, 6.93, 25.0}) {
    SCOPED_TRACE(px);
    const double k = snake_smooth_k_from_px(px);
    const unsigned n = 4001, mid = n / 2;
    vil_image_view<float> impulse(n, 1), once, twice;
    impulse.fill(0.0f);
    impulse(mid, 0) = 1.0f;
    vil_exp_filter_2d<float, float, double>(impulse, once, k, k);
    vil_exp_filter_2d<float, float, double>(once, twice, k, k);
    double sum = 0, moment = 0;
    for (unsigned i = 0; i < n; ++i) {
      sum += twice(i, 0);
      moment += twice(i, 0) * (double(i) - mid) * (double(i) - mid);
    }
    EXPECT_NEAR(std::sqrt(moment / sum), px, 1e-4 * px);
    EXPECT_NEAR(snake_smooth_px_from_k(k), px, 1e-9 * px);
  }
  EXPECT_EQ(snake_smooth_k_from_px(0.0), 0.0);
}

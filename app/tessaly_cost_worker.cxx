#include <app/tessaly_cost_worker.h>

#include <new>
#include <utility>
#include <app/tessaly_snake.h>
#include <vil/algo/vil_smooth_gradient_rms.h>
#include <vil/algo/vil_thread_team.h>
#include <vil/vil_convert.h>

tessaly_cost_worker::tessaly_cost_worker(vil_image_view<float>& scratch, QObject* parent)
  : QObject(parent), scratch_(scratch)
{
  // A drag's moves share the gradient; once they stop, its memory goes.
  forget_gradient_.setSingleShot(true);
  forget_gradient_.setInterval(keep_gradient_ms);
  connect(&forget_gradient_, &QTimer::timeout, this, [this] {
    if (running_) return;
    gradient_ = vil_image_view<float>();
    gradient_of_ = vil_image_view<vxl_byte>();
  });
}

tessaly_cost_worker::~tessaly_cost_worker() { cancel(); }

void tessaly_cost_worker::compute(const vil_image_view<vxl_byte>& image, double smooth_k,
                                  tessaly_cost& out, vil_image_view<float>& scratch)
{
  float lo = 0.0f;
  out.smooth_k = smooth_k;
  const unsigned n_threads = vil_thread_team::available();
  snake_cost_image(image, smooth_k, out.cost, scratch, lo, out.hi, n_threads);
  vil_convert_stretch_range_known(out.cost, lo, out.hi, out.display, n_threads);
}

void tessaly_cost_worker::compute_from_gradient(const vil_image_view<vxl_byte>& image,
                                                double smooth_k, tessaly_cost& out)
{
  if (!(smooth_k > 0)) {
    compute(image, smooth_k, out, scratch_);
    return;
  }
  const unsigned n_threads = vil_thread_team::available();
  float lo = 0.0f;
  out.smooth_k = smooth_k;
  // gradient_of_ holds its pixels, so no other image can be at its place.
  if (gradient_of_.size() > 0 && image == gradient_of_) {
    vil_smooth_gradient_rms(gradient_, smooth_k, out.cost, scratch_, lo, out.hi, n_threads);
  } else {
    // The first request keeps the gradient its sweeps pass through.
    gradient_of_ = vil_image_view<vxl_byte>();
    try {
      vil_smooth_gradient_rms(image, smooth_k, out.cost, scratch_, lo, out.hi, n_threads,
                              &gradient_);
      gradient_of_ = image;
    } catch (const std::bad_alloc&) {
      gradient_ = vil_image_view<float>();  // then without it, as before
      compute(image, smooth_k, out, scratch_);
      return;
    }
  }
  vil_convert_stretch_range_known(out.cost, lo, out.hi, out.display, n_threads);
}

void tessaly_cost_worker::request(const vil_image_view<vxl_byte>& image, double smooth_k)
{
  if (!running_) {
    start(image, smooth_k);
    return;
  }
  waiting_ = true;
  waiting_image_ = image;
  waiting_k_ = smooth_k;
}

void tessaly_cost_worker::recycle(tessaly_cost&& old) { spare_ = std::move(old); }

void tessaly_cost_worker::cancel()
{
  waiting_ = false;
  waiting_image_ = vil_image_view<vxl_byte>();
  if (thread_.joinable()) thread_.join();
  running_ = false;
  result_ = tessaly_cost();
  gradient_ = vil_image_view<float>();
  gradient_of_ = vil_image_view<vxl_byte>();
  forget_gradient_.stop();
  // The thread's queued notice names a job that is no longer current.
  ++job_;
}

void tessaly_cost_worker::start(const vil_image_view<vxl_byte>& image, double smooth_k)
{
  running_ = true;
  ++computations_;
  forget_gradient_.stop();
  const int job = ++job_;
  tessaly_cost out;
  if (spare_.cost.memory_chunk().use_count() == 1) out.cost = spare_.cost;
  if (spare_.display.memory_chunk().use_count() == 1) out.display = spare_.display;
  spare_ = tessaly_cost();
  thread_ = std::thread([this, image, smooth_k, job, out]() mutable {
    try {
      compute_from_gradient(image, smooth_k, out);
    } catch (const std::bad_alloc&) {
      out = tessaly_cost();
      out.smooth_k = smooth_k;
    }
    result_ = std::move(out);
    QMetaObject::invokeMethod(this, [this, job] { finished(job); }, Qt::QueuedConnection);
  });
}

void tessaly_cost_worker::finished(int job)
{
  if (job != job_ || !running_) return;
  thread_.join();
  running_ = false;
  tessaly_cost result = std::move(result_);
  result_ = tessaly_cost();
  // The newest request starts before the result is shown, so the two overlap.
  if (waiting_) {
    waiting_ = false;
    start(std::move(waiting_image_), waiting_k_);
    waiting_image_ = vil_image_view<vxl_byte>();
  } else {
    forget_gradient_.start();
  }
  emit ready(result);
}

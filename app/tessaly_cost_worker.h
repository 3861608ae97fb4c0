#ifndef tessaly_cost_worker_h_
#define tessaly_cost_worker_h_
// Cost images computed off the GUI thread, one at a time.  Requests made
// while one is computed leave only the newest waiting, so a dragged slider
// never queues its stale values behind each other.
#include <thread>
#include <QObject>
#include <QTimer>
#include <vil/vil_image_view.h>
#include <vxl_config.h>

// One computation's result: the cost image at smooth_k, its largest value
// and its 8-bit stretch for display.  Empty when memory ran out.
struct tessaly_cost
{
  double smooth_k{0.0};
  vil_image_view<float> cost;
  vil_image_view<vxl_byte> display;
  float hi{0.0f};
};

class tessaly_cost_worker : public QObject
{
  Q_OBJECT

 public:
  // The computations work in scratch, which the caller may use for its
  // own only after cancel().
  explicit tessaly_cost_worker(vil_image_view<float>& scratch, QObject* parent = nullptr);
  // Waits for a computation under way and drops its result.
  ~tessaly_cost_worker() override;

  // The cost pipeline of image at smooth_k and its stretch into out, on
  // every CPU, reusing scratch and out's memory where the sizes fit.
  // Throws std::bad_alloc.
  static void compute(const vil_image_view<vxl_byte>& image, double smooth_k, tessaly_cost& out,
                      vil_image_view<float>& scratch);

  // Starts at once when idle, else replaces the waiting request.  The
  // image's pixels are shared and must not be written until the result
  // comes or cancel() returns.
  void request(const vil_image_view<vxl_byte>& image, double smooth_k);
  // Drops the waiting request, waits for the one under way and drops its
  // result and the gradient it keeps: the caller may then write the pixels
  // or compute itself.
  void cancel();
  // Memory of an old result for the next computation's, taken where
  // nothing else holds it: fresh memory costs a page clearing a pass.
  void recycle(tessaly_cost&& old);
  // A computation runs or waits.
  bool busy() const { return running_ || waiting_; }
  // Computations started so far.
  int computations() const { return computations_; }
  // The gradient of the image is kept: from a request's end until cancel()
  // or keep_gradient_ms without a new request.
  bool keeps_gradient() const { return !running_ && gradient_of_.size() > 0; }
  static const int keep_gradient_ms = 3000;

 signals:
  // On the GUI thread, once for each computation not cancelled.
  void ready(const tessaly_cost& result);

 private:
  void start(const vil_image_view<vxl_byte>& image, double smooth_k);
  // compute() on the thread, from the image's gradient, which does not
  // change with k: kept by the first request for the next.
  void compute_from_gradient(const vil_image_view<vxl_byte>& image, double smooth_k,
                             tessaly_cost& out);
  // Queued from the thread; job names the computation that ended.
  void finished(int job);

  vil_image_view<float>& scratch_;
  // Written by the thread; the image it is the gradient of.
  vil_image_view<float> gradient_;
  vil_image_view<vxl_byte> gradient_of_;
  QTimer forget_gradient_;
  tessaly_cost spare_;
  std::thread thread_;
  // Written by the thread, read after joining it.
  tessaly_cost result_;
  int job_{0};
  bool running_{false};
  bool waiting_{false};
  vil_image_view<vxl_byte> waiting_image_;
  double waiting_k_{0.0};
  int computations_{0};
};

#endif

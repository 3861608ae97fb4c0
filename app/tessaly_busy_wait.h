#ifndef tessaly_busy_wait_h_
#define tessaly_busy_wait_h_
// Long work that the GUI thread waits for.  The work runs on another
// thread, so that once it has taken longer than a moment (counted from the
// object's start, over every run) the busy cursor can be shown; the call
// still returns only when the work is done.  The cursor goes with the object.
#include <chrono>
#include <future>
#include <utility>

class tessaly_busy_wait
{
 public:
  explicit tessaly_busy_wait(std::chrono::milliseconds after = std::chrono::milliseconds(200));
  ~tessaly_busy_wait();
  tessaly_busy_wait(const tessaly_busy_wait&) = delete;
  tessaly_busy_wait& operator=(const tessaly_busy_wait&) = delete;

  // Runs work, which must touch no widget, and returns what it returns; an
  // exception it throws comes out here.
  template <class F>
  auto run(F&& work) -> decltype(work())
  {
    auto done = std::async(std::launch::async, std::forward<F>(work));
    if (!shown_ && done.wait_until(deadline_) != std::future_status::ready) show();
    return done.get();
  }
  // The busy cursor is up.
  bool shown() const { return shown_; }

 private:
  void show();
  std::chrono::steady_clock::time_point deadline_;
  bool shown_{false};
};

#endif

#ifndef vil_thread_progress_h_
#define vil_thread_progress_h_
// Counters by which the workers of a vil_thread_team tell each other how far
// they have come, so that one waits only for the piece of work it needs
// rather than for every worker at a sync().  A worker posts on its own
// counters; any may wait on them.  A post makes what its worker wrote before
// it visible to the waiter that sees it.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class vil_thread_progress
{
 public:
  // n counters, all 0.
  explicit vil_thread_progress(unsigned n);

  // Counter c becomes value (counters only grow).
  void post(unsigned c, unsigned value);

  // Returns once counter c is at least value.  A waiter spins a little,
  // since the wait is usually short, and then sleeps.
  void wait(unsigned c, unsigned value);

 private:
  // One cache line each, so that posting on one does not slow the readers
  // of the others.
  struct alignas(64) counter
  {
    std::atomic<unsigned> value{0};
  };
  std::unique_ptr<counter[]> counters_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::atomic<unsigned> sleepers_{0};
};

#endif

#include <vil/algo/vil_thread_progress.h>

#include <thread>

vil_thread_progress::vil_thread_progress(unsigned n) : counters_(new counter[n]) {}

void vil_thread_progress::post(unsigned c, unsigned value)
{
  counters_[c].value.store(value, std::memory_order_seq_cst);
  // A sleeper counts itself and then checks the counter, under the lock:
  // either it sees this value or this sees it, and then taking the lock
  // waits until it sleeps, so the notice is never missed.
  if (sleepers_.load(std::memory_order_seq_cst) == 0) return;
  { std::lock_guard<std::mutex> lock(mutex_); }
  posted_.notify_all();
}

void vil_thread_progress::wait(unsigned c, unsigned value)
{
  std::atomic<unsigned>& v = counters_[c].value;
  for (int spin = 0; spin < 2000; ++spin) {
    if (v.load(std::memory_order_acquire) >= value) return;
    if (spin >= 1000) std::this_thread::yield();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  sleepers_.fetch_add(1, std::memory_order_seq_cst);
  posted_.wait(lock, [&] { return v.load(std::memory_order_seq_cst) >= value; });
  sleepers_.fetch_sub(1, std::memory_order_seq_cst);
}

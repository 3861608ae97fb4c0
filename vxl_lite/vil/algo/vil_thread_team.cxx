#include <vil/algo/vil_thread_team.h>

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <system_error>
#include <thread>
#include <vector>

vil_thread_team::vil_thread_team(unsigned n) : n_(std::max(1u, n)) {}

void vil_thread_team::run(const std::function<void(unsigned)>& body)
{
  // A new thread is queued on the CPU of the thread that made it, which goes
  // on with its own part: the new one waits there for a time slice, or for
  // the scheduler to move it, milliseconds even with CPUs idle.  So each is
  // made to start on one of the other CPUs, and let go on all of them once
  // it runs.
  cpu_set_t allowed, others;
  CPU_ZERO(&allowed);
  const int here = sched_getcpu();
  bool place = n_ > 1 && here >= 0 && sched_getaffinity(0, sizeof allowed, &allowed) == 0;
  if (place) {
    others = allowed;
    CPU_CLR(here, &others);
    place = CPU_COUNT(&others) > 0;
  }

  // The threads wait for the word to start, so that none is inside the body
  // (and at sync()) when one of them cannot be started.
  enum { waiting, go, cancel } word = waiting;
  auto worker = [&](unsigned w) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return word != waiting; });
      if (word == cancel) return;
    }
    // Its maker has placed it by now.
    if (place) pthread_setaffinity_np(pthread_self(), sizeof allowed, &allowed);
    body(w);
  };
  std::vector<std::thread> threads;
  threads.reserve(n_ - 1);
  try {
    for (unsigned w = 1; w < n_; ++w) {
      threads.emplace_back(worker, w);
      if (place) pthread_setaffinity_np(threads.back().native_handle(), sizeof others, &others);
    }
  } catch (const std::system_error&) {
  }
  const bool all = threads.size() + 1 == n_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    word = all ? go : cancel;
  }
  changed_.notify_all();
  if (!all) {
    for (std::thread& t : threads) t.join();
    n_ = 1;
  }
  body(0);
  for (std::thread& t : threads)
    if (t.joinable()) t.join();
}

void vil_thread_team::sync()
{
  if (n_ == 1) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const unsigned long generation = generation_;
  if (++waiting_ == n_) {
    waiting_ = 0;
    ++generation_;
    changed_.notify_all();
    return;
  }
  changed_.wait(lock, [&] { return generation_ != generation; });
}

unsigned vil_thread_team::available()
{
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

unsigned vil_thread_team::for_pixels(unsigned n_threads, std::size_t n_pixels)
{
  return unsigned(std::max<std::size_t>(1, std::min<std::size_t>(n_threads, n_pixels / pixels_per_worker)));
}

unsigned vil_thread_team::part_begin(unsigned n, unsigned parts, unsigned part, unsigned align)
{
  if (part >= parts) return n;
  const unsigned long long units = (n + align - 1ull) / align;
  return unsigned(std::min<unsigned long long>(n, units * part / parts * align));
}

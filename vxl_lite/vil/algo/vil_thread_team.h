#ifndef vil_thread_team_h_
#define vil_thread_team_h_
// A few workers that run one body side by side and can wait for each other
// between its phases: the caller is worker 0, the others are threads that
// live for one run() only.
//
// Image kernels split their work with it into column strips and row bands
// whose edges are whole 64-byte lines (16 floats), so that no two workers
// write into the same cache line, and each line's arithmetic is the one a
// single worker would do: the results do not depend on the worker count.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

class vil_thread_team
{
 public:
  // n workers, at least 1.
  explicit vil_thread_team(unsigned n);

  unsigned size() const { return n_; }

  // Runs body(worker) for worker = 0 .. size()-1 at once and returns when
  // every one has returned.  If the threads cannot be started, the team
  // shrinks to the caller alone: bodies cut their work by size().
  void run(const std::function<void(unsigned worker)>& body);

  // Called by every worker of a run between two phases: returns when all
  // of them have called it.
  void sync();

  // The CPUs this process may run on.
  static unsigned available();

  // The workers worth having for an image of n_pixels: up to n_threads, one
  // for every pixels_per_worker (about a millisecond of work), at least 1.
  // A smaller share takes less time than waking a thread for it.
  static const std::size_t pixels_per_worker = std::size_t(1) << 18;
  static unsigned for_pixels(unsigned n_threads, std::size_t n_pixels);

  // [begin, end) of part `part` of [0, n) cut into `parts` pieces whose
  // inner edges are multiples of `align`.
  static unsigned part_begin(unsigned n, unsigned parts, unsigned part, unsigned align);

 private:
  unsigned n_;
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned waiting_ = 0;
  unsigned long generation_ = 0;
};

#endif

#ifndef cli_memory_budget_h_
#define cli_memory_budget_h_
// The memory tessaly-snake's jobs share: each takes its image's need before
// it allocates and gives it back when done, so that several large images at
// once wait for each other instead of running the machine out of memory.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>

class cli_memory_budget
{
 public:
  explicit cli_memory_budget(std::size_t total) : total_(total) {}
  cli_memory_budget(const cli_memory_budget&) = delete;
  cli_memory_budget& operator=(const cli_memory_budget&) = delete;

  std::size_t total() const { return total_; }
  // Waits until n bytes are free and takes them.  False at once, taking
  // nothing, when n exceeds the whole budget (it would wait forever).
  bool take(std::size_t n);
  // Gives back n bytes taken before.
  void give(std::size_t n);

  // Memory the machine can give this process now: the kernel's estimate of
  // what is available without swapping, and no more than the control
  // group's limit leaves.  0 when neither can be read.
  static std::size_t available();
  // n as a user reads it: "512 MiB", "1.5 GiB".
  static std::string text(std::size_t n);

 private:
  const std::size_t total_;
  std::size_t used_ = 0;
  std::mutex m_;
  std::condition_variable freed_;
};

#endif

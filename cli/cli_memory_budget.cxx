#include <cli/cli_memory_budget.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace
{
// The first number in the file (after `key` when given), times `unit`; 0
// when there is none.
unsigned long long number_in(const char* path, const std::string& key = std::string(),
                             unsigned long long unit = 1)
{
  std::ifstream f(path);
  std::string word;
  while (!key.empty() && f >> word && word != key) {}
  unsigned long long v = 0;
  return f >> v ? v * unit : 0;
}
}  // namespace

bool cli_memory_budget::take(std::size_t n)
{
  if (n > total_) return false;
  std::unique_lock<std::mutex> lock(m_);
  freed_.wait(lock, [&] { return total_ - used_ >= n; });
  used_ += n;
  return true;
}

void cli_memory_budget::give(std::size_t n)
{
  {
    std::lock_guard<std::mutex> lock(m_);
    used_ -= std::min(n, used_);
  }
  freed_.notify_all();
}

std::size_t cli_memory_budget::available()
{
  unsigned long long free = number_in("/proc/meminfo", "MemAvailable:", 1024);
  // A container's limit, cgroup v2 or v1 ("max" reads as no number; v1
  // says a huge number for none).
  const struct
  {
    const char* limit;
    const char* usage;
  } groups[] = {{"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current"},
                {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "/sys/fs/cgroup/memory/memory.usage_in_bytes"}};
  for (const auto& g : groups) {
    const unsigned long long limit = number_in(g.limit);
    if (limit == 0 || limit >= (1ull << 60)) continue;
    const unsigned long long used = number_in(g.usage);
    const unsigned long long left = limit > used ? limit - used : 0;
    free = free == 0 ? left : std::min(free, left);
  }
  return std::size_t(std::min<unsigned long long>(free, std::size_t(-1)));
}

std::string cli_memory_budget::text(std::size_t n)
{
  const char* const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double v = double(n);
  int u = 0;
  while (v >= 1024 && u < 4) {
    v /= 1024;
    ++u;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, u == 0 || v >= 100 ? "%.0f %s" : "%.1f %s", v, units[u]);
  return buf;
}

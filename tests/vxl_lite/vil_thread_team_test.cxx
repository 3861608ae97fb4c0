// The workers that the image kernels split their work among, and the
// counters by which they wait for each other.
#include <atomic>
#include <sched.h>
#include <chrono>
#include <thread>
#include <vector>
#include <gtest/gtest.h>
#include <vil/algo/vil_thread_progress.h>
#include <vil/algo/vil_thread_team.h>

// Parts cover [0, n) in order, without gaps, with inner edges on `align`.
TEST(VilThreadTeam, PartsCoverTheRangeOnAlignedEdges)
{
  for (unsigned n : {0u, 1u, 15u, 16u, 17u, 100u, 4001u})
    for (unsigned parts : {1u, 2u, 3u, 7u})
      for (unsigned align : {1u, 16u}) {
        SCOPED_TRACE(::testing::Message() << n << " in " << parts << " by " << align);
        EXPECT_EQ(vil_thread_team::part_begin(n, parts, 0, align), 0u);
        EXPECT_EQ(vil_thread_team::part_begin(n, parts, parts, align), n);
        for (unsigned p = 1; p < parts; ++p) {
          const unsigned b = vil_thread_team::part_begin(n, parts, p, align);
          EXPECT_LE(vil_thread_team::part_begin(n, parts, p - 1, align), b);
          EXPECT_TRUE(b % align == 0 || b == n);
        }
      }
}

// A worker starts on a CPU other than its maker's, which goes on with its
// own part, and may then run on any: queued behind its maker after the CPUs
// had been idle, it waited milliseconds.
TEST(VilThreadTeam, WorkersStartOnOtherCpus)
{
  if (vil_thread_team::available() < 2) GTEST_SKIP() << "one CPU only";
  int elsewhere = 0;
  for (int k = 0; k < 20; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    int cpu[2] = {-1, -1}, cpus = 0;
    vil_thread_team(2).run([&](unsigned w) {
      cpu[w] = sched_getcpu();
      cpu_set_t set;
      if (w == 1 && sched_getaffinity(0, sizeof set, &set) == 0) cpus = CPU_COUNT(&set);
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
      while (w == 0 && std::chrono::steady_clock::now() < end) {}
    });
    elsewhere += cpu[0] != cpu[1];
    EXPECT_EQ(unsigned(cpus), vil_thread_team::available());
  }
  EXPECT_GE(elsewhere, 18);
}

// What each worker writes before sync() every worker reads after it.
TEST(VilThreadTeam, SyncSeparatesPhases)
{
  for (unsigned n : {1u, 2u, 3u}) {
    vil_thread_team team(n);
    std::vector<int> slots(team.size() * 50, 0);
    std::atomic<int> wrong{0};
    team.run([&](unsigned w) {
      for (int phase = 1; phase <= 50; ++phase) {
        slots[w * 50 + phase - 1] = phase;
        team.sync();
        for (unsigned o = 0; o < team.size(); ++o)
          if (slots[o * 50 + phase - 1] != phase) ++wrong;
      }
    });
    EXPECT_EQ(wrong, 0) << n << " workers";
  }
}

// A waiter returns only once its neighbour has posted the piece it needs,
// and then sees what the neighbour wrote before posting; a chain of three
// workers, one of them slowed down so that the others sleep on the wait.
TEST(VilThreadProgress, WaiterSeesWhatWasWrittenBeforeThePost)
{
  const unsigned n = 3, pieces = 200;
  vil_thread_team team(n);
  vil_thread_progress progress(n);
  std::vector<unsigned> values(n * pieces, 0);
  std::atomic<int> wrong{0};
  team.run([&](unsigned w) {
    for (unsigned q = 0; q < pieces; ++q) {
      unsigned in = 0;
      if (w > 0) {
        progress.wait(w - 1, q + 1);
        in = values[(w - 1) * pieces + q];
        if (in != (w - 1) * 1000 + q) ++wrong;
      }
      if (w == 0 && q % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      values[w * pieces + q] = w * 1000 + q;
      progress.post(w, q + 1);
    }
  });
  EXPECT_EQ(wrong, 0);
}

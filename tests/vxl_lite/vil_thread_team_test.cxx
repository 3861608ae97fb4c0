// The workers that the image kernels split their work among.
#include <atomic>
#include <vector>
#include <gtest/gtest.h>
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

// Work the GUI thread waits for: the busy cursor only once it runs long,
// never stacked, gone with the wait; the work's result and exceptions.
#include <app/tessaly_busy_wait.h>

#include <new>
#include <thread>
#include <QCursor>
#include <QGuiApplication>
#include <gtest/gtest.h>

using std::chrono::milliseconds;

TEST(tessaly_busy_wait, cursor_only_for_long_work_and_gone_with_the_wait)
{
  {
    tessaly_busy_wait quick(milliseconds(2000));
    EXPECT_EQ(quick.run([] { return 7; }), 7);
    EXPECT_FALSE(quick.shown() || QGuiApplication::overrideCursor());
  }
  {
    tessaly_busy_wait slow(milliseconds(20));
    slow.run([] { std::this_thread::sleep_for(milliseconds(150)); });
    // The deadline counts from the start: a second long run adds no cursor.
    slow.run([] { std::this_thread::sleep_for(milliseconds(50)); });
    ASSERT_TRUE(slow.shown() && QGuiApplication::overrideCursor());
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_THROW(tessaly_busy_wait().run([]() -> int { throw std::bad_alloc(); }), std::bad_alloc);
}

#include <memory>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QKeyEvent>
#include "qvwr/qvwr_test_helpers.h"

TEST(QvwrInteraction, BaseDefaults)
{
  qvwr_interaction i;
  EXPECT_EQ(i.is_a(), "qvwr_interaction");
  EXPECT_TRUE(i.name().isNull());
  EXPECT_FALSE(i.gotViewer());
  i.set_name("zoom");
  EXPECT_EQ(i.name(), QString("zoom"));
  i.remove(); // detached: nothing happens
  EXPECT_FALSE(i.gotViewer());

  // Keys the base does not use are left for the parent widget.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  press.accept();
  i.keyPressEvent(&press);
  EXPECT_FALSE(press.isAccepted());
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
  up.accept();
  i.keyReleaseEvent(&up);
  EXPECT_FALSE(up.isAccepted());
}

TEST(QvwrInteractionDeathTest, DetachedViewerIsFatal)
{
  qvwr_interaction i;
  EXPECT_DEATH(i.viewer(), "viewer_!=0");
}

TEST(QvwrInteraction, RemoveAndRenameWhileAttached)
{
  std::vector<std::string> log;
  qvwr_viewer v(nullptr, "v");
  log_interaction a("a", &log);
  v.append(a);
  ASSERT_TRUE(a.gotViewer());
  EXPECT_EQ(&a.viewer(), &v);

  int messages = 0;
  QObject::connect(&v, QOverload<const QString&, const QWidget*>::of(&qvwr_viewer::message),
                   [&](const QString&, const QWidget*) { ++messages; });
  a.set_name("renamed");
  EXPECT_EQ(messages, 0);

  a.remove();
  EXPECT_FALSE(a.gotViewer());
  EXPECT_EQ(messages, 1);
}

TEST(QvwrInteraction, DestroyingAnAttachedInteractionDetachesIt)
{
  std::vector<std::string> log;
  qvwr_viewer v(nullptr, "v");
  log_interaction below("below", &log);
  v.append(below);
  {
    auto top = std::make_unique<log_interaction>("top", &log);
    v.append(*top);
  }
  // The viewer forgot the destroyed one: "below" is active again and gets
  // the key instead of a dangling pointer.
  log.clear();
  below.accept_keys = true;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
  QCoreApplication::sendEvent(&v, &press);
  EXPECT_TRUE(press.isAccepted());
  EXPECT_EQ(log, (std::vector<std::string>{"below.key"}));
}

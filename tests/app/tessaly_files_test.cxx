// The window's files: what it saves and exports is what tessaly-snake
// writes, what it loads runs as tessaly-snake runs it, and a failure leaves
// files and window as they were.
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <app/tessaly.h>
#include <vil/vil_save.h>
#include "support/dialog_closer.h"
#include "support/in_child.h"
#include "support/shown_window.h"
#include "support/tessaly_snake_cli.h"

namespace
{
// Two picture files of the same pixels, read by Qt's own readers.
bool same_picture(const QString& a, const QString& b)
{
  const QImage x(a), y(b);
  return !x.isNull() && x.convertToFormat(QImage::Format_RGB32) == y.convertToFormat(QImage::Format_RGB32);
}

const QString save_as = QString::fromUtf8("Save Snake As\xe2\x80\xa6");
} // namespace

TEST(TessalyFiles, SavedExportedAndLoadedAsTheCommandLineDoes)
{
  QTemporaryDir dir;
  const QString start = dir.filePath("start.png");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", start}).code, 0);
  auto w = shown_window();
  w->load_image(qPrintable(start));
  click_around_disc(*w);
  const QString clicked = points_arg(w->edit_points().points());
  press_run(*w);

  const char* const formats[] = {".csv", ".json", ".svg", ".bvl"};
  QStringList args{"--points", clicked, "--overlay", dir.filePath("cli.png")};
  for (const char* ext : formats)
    args << "-o" << dir.filePath(QString("cli") + ext);
  const tessaly_snake_ran cli = run_tessaly_snake(args << start);
  ASSERT_EQ(cli.code, 0) << cli.err.toStdString();
  // The window's names are links to files yet to be made: the writer makes
  // the targets, as vil_save does, and the links stay.
  for (const char* ext : {".csv", ".json", ".svg", ".bvl", ".png"})
    ::symlink(qPrintable(QString("target") + ext), qPrintable(dir.filePath(QString("window") + ext)));
  for (const char* ext : formats) {
    SCOPED_TRACE(ext);
    std::string why = "unchanged";
    ASSERT_TRUE(w->save_snake(qPrintable(dir.filePath(QString("window") + ext)), &why)) << why;
    EXPECT_EQ(why, "");
    EXPECT_EQ(contents(dir.filePath(QString("target") + ext)), contents(dir.filePath(QString("cli") + ext)));
    EXPECT_TRUE(QFileInfo(dir.filePath(QString("window") + ext)).isSymLink());
  }
  ASSERT_TRUE(w->export_picture(qPrintable(dir.filePath("window.png"))));
  EXPECT_TRUE(same_picture(dir.filePath("target.png"), dir.filePath("cli.png")));
  EXPECT_TRUE(QFileInfo(dir.filePath("window.png")).isSymLink());
  // The menu items ask for the name; one without an extension takes the
  // chosen filter's (here the first: .csv and .png).
  for (const QString& item : {save_as, QString::fromUtf8("Export Picture\xe2\x80\xa6")}) {
    dialog_closer closer(dir.filePath("menu"));
    menu_item(*w, "&File", item)->trigger();
    EXPECT_EQ(closer.titles.size(), 1) << closer.titles.join(", ").toStdString();
  }
  EXPECT_EQ(contents(dir.filePath("menu.csv")), contents(dir.filePath("cli.csv")));
  EXPECT_TRUE(same_picture(dir.filePath("menu.png"), dir.filePath("cli.png")));
  // With the cost image shown, the cost image.
  ASSERT_EQ(run_tessaly_snake({"--points", clicked, "--cost", "--overlay", dir.filePath("cli-cost.png"), start}).code,
            0);
  w->set_show_cost_image(true);
  ASSERT_TRUE(w->export_picture(qPrintable(dir.filePath("window-cost.bmp"))));
  EXPECT_TRUE(same_picture(dir.filePath("window-cost.bmp"), dir.filePath("cli-cost.png")));

  // The snake's points, loaded from the menu and run again, end where the
  // command line ends from them.  Loading them is one step.
  const int steps = w->undo_stack()->count();
  w->clear();
  {
    dialog_closer closer(dir.filePath("cli.csv"));
    menu_item(*w, "&File", QString::fromUtf8("Load Points\xe2\x80\xa6"))->trigger();
  }
  EXPECT_EQ(w->edit_points().points(), read_points_csv(dir.filePath("cli.csv")));
  EXPECT_TRUE(w->snake_pts().empty());
  EXPECT_EQ(w->undo_stack()->count(), steps + 2);
  press_run(*w);
  ASSERT_EQ(run_tessaly_snake({"--points-file", dir.filePath("cli.bvl"), "-o", dir.filePath("again.csv"), start}).code,
            0);
  EXPECT_EQ(w->snake_pts(), read_points_csv(dir.filePath("again.csv")));
}

TEST(TessalyFiles, RefusalsSayWhyAndChangeNothing)
{
  QTemporaryDir dir;
  std::ofstream(qPrintable(dir.filePath("far.csv"))) << "10,10\n1e9,10\n20,20\n";
  std::ofstream(qPrintable(dir.filePath("empty.csv"))) << "x,y\n";
  ASSERT_EQ(::mkfifo(qPrintable(dir.filePath("fifo")), 0600), 0);
  auto w = shown_window();
  click_around_disc(*w);
  const struct
  {
    bool (tessaly::*act)(const char*, std::string*);
    const char* file;
    const char* reason;  // part of the reason
  } rows[] = {
      {&tessaly::save_snake, "a.txt", ".txt"},
      {&tessaly::export_picture, "no/such/a.png", "No such file"},  // a folder that is missing (none is made)
      {&tessaly::load_points, "empty.csv", "no points"},
      {&tessaly::load_points, "fifo", "not a regular file"},  // nobody writes it
      {&tessaly::load_points, "far.csv", "point 2 (1000000000, 10) lies far outside the 250 x 250 image"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.file);
    const std::string path = qPrintable(dir.filePath(r.file));
    // First in a child that ends in five seconds if it waits.
    ASSERT_TRUE(in_child([&] {
      ::alarm(5);
      std::string why;
      const bool refused = !(w.get()->*r.act)(path.c_str(), &why) && why.find(r.reason) != std::string::npos;
      if (!refused)
        std::fprintf(stderr, "%s\n", why.c_str());
      return refused;
    }));
    const window_state before(*w);
    const int steps = w->undo_stack()->count();
    EXPECT_FALSE((w.get()->*r.act)(path.c_str(), nullptr));
    expect_unchanged(*w, before);
    EXPECT_EQ(w->undo_stack()->count(), steps);
  }
  // A read-only file is refused and kept, as by an ordinary user (root
  // may write it).
  const QString ro = dir.filePath("ro.csv");
  std::ofstream(qPrintable(ro)) << "old";
  ::chmod(qPrintable(ro), 0444);
  ::chmod(qPrintable(dir.path()), 0777);
  EXPECT_TRUE(in_child([&] { std::string why; return !w->save_snake(qPrintable(ro), &why) && why == "Permission denied"; },
                       tessaly_test_nobody));
  EXPECT_EQ(contents(ro), "old");

  // No points: refused, and from the menu item in a box that says why.
  w->clear();
  EXPECT_FALSE(w->save_snake(qPrintable(dir.filePath("none.csv"))));
  dialog_closer closer;
  menu_item(*w, "&File", save_as)->trigger();
  ASSERT_EQ(closer.texts, QStringList{"Unable to save the snake"});
  EXPECT_TRUE(closer.infos[0].contains("no points")) << closer.infos[0].toStdString();
  EXPECT_EQ(closer.parents, std::vector<QWidget*>{w.get()});
}

// An image whose cost images do not fit in memory is refused with the load
// box, and the window keeps the image it had.
TEST(TessalyFiles, AnImageTooBigForMemoryKeepsTheOldOne)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  if (!QStringLiteral(TESSALY_SNAKE_EMULATOR).isEmpty()) GTEST_SKIP() << "the limit would apply to the emulator";
  QTemporaryDir dir;
  const QString big = dir.filePath("big.png");
  // 16 MB of samples, whose cost images need about 150 MB.
  ASSERT_TRUE(vil_save(vil_image_view<vxl_byte>(4000, 4000), qPrintable(big)));
  auto w = shown_window();
  const window_state before(*w);
  dialog_closer closer;
  rlimit was{};
  ASSERT_EQ(::getrlimit(RLIMIT_AS, &was), 0);
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  rlimit tight = was;
  tight.rlim_cur = rlim_t(pages) * ::sysconf(_SC_PAGESIZE) + (rlim_t(80) << 20);
  ASSERT_EQ(::setrlimit(RLIMIT_AS, &tight), 0);
  w->load_image(qPrintable(big));
  ::setrlimit(RLIMIT_AS, &was);
  expect_unchanged(*w, before);
  ASSERT_EQ(closer.texts, QStringList{"Unable to load image"});
  EXPECT_EQ(closer.infos[0], big + ": not enough memory for an image of 4000 x 4000 pixels");
}

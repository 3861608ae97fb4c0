// The window's files: what it saves and exports is what tessaly-snake
// writes, what it loads runs as tessaly-snake runs it, and a failure leaves
// files and window as they were.
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <app/tessaly.h>
#include <vil/vil_load.h>
#include <vil/vil_save.h>
#include "support/dialog_closer.h"
#include "support/in_child.h"
#include "support/shown_window.h"
#include "support/tessaly_snake_cli.h"

namespace
{
using point = vgl_point_2d<double>;

std::string bytes_of(const QString& path)
{
  std::ifstream in(QFile::encodeName(path).constData(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_text(const QString& path, const std::string& text)
{
  std::ofstream(QFile::encodeName(path).constData(), std::ios::binary) << text;
}

std::string local(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Pixels of two image files that differ (-1 when the sizes do).
long differing_pixels(const QString& a, const QString& b)
{
  const vil_image_view<vxl_byte> x = vil_load(local(a).c_str()), y = vil_load(local(b).c_str());
  if (x.size() == 0 || x.ni() != y.ni() || x.nj() != y.nj() || x.nplanes() != y.nplanes())
    return -1;
  long n = 0;
  for (unsigned p = 0; p < x.nplanes(); ++p)
    for (unsigned j = 0; j < x.nj(); ++j)
      for (unsigned i = 0; i < x.ni(); ++i)
        n += x(i, j, p) != y(i, j, p);
  return n;
}

QAction* file_item(tessaly& w, const QString& text)
{
  for (QAction* a : w.findChild<QMenuBar*>()->actions()[0]->menu()->actions())
    if (a->text() == text)
      return a;
  return nullptr;
}
} // namespace

TEST(TessalyFiles, SavedExportedAndLoadedAsTheCommandLineDoes)
{
  QTemporaryDir dir;
  const QString start = dir.filePath("start.png");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", start}).code, 0);
  auto w = shown_window();
  w->load_image(local(start).c_str());
  click_around_disc(*w);
  const QString clicked = points_arg(w->edit_points().points());
  press_run(*w);

  const tessaly_snake_ran cli = run_tessaly_snake({"--points", clicked, "-o", dir.filePath("cli.csv"), "-o",
                                                   dir.filePath("cli.json"), "-o", dir.filePath("cli.svg"), "-o",
                                                   dir.filePath("cli.bvl"), "--overlay", dir.filePath("cli.png"),
                                                   start});
  ASSERT_EQ(cli.code, 0) << cli.err.toStdString();
  for (const char* ext : {".csv", ".json", ".svg", ".bvl"}) {
    SCOPED_TRACE(ext);
    std::string why = "unchanged";
    ASSERT_TRUE(w->save_snake(local(dir.filePath(QString("window") + ext)).c_str(), &why)) << why;
    EXPECT_EQ(why, "");
    EXPECT_EQ(bytes_of(dir.filePath(QString("window") + ext)), bytes_of(dir.filePath(QString("cli") + ext)));
  }
  ASSERT_TRUE(w->export_picture(local(dir.filePath("window.png")).c_str()));
  EXPECT_EQ(differing_pixels(dir.filePath("window.png"), dir.filePath("cli.png")), 0);
  // With the cost image shown, the cost image.
  ASSERT_EQ(run_tessaly_snake({"--points", clicked, "--cost", "--overlay", dir.filePath("cli-cost.png"), start}).code,
            0);
  w->set_show_cost_image(true);
  ASSERT_TRUE(w->export_picture(local(dir.filePath("window-cost.tif")).c_str()));
  EXPECT_EQ(differing_pixels(dir.filePath("window-cost.tif"), dir.filePath("cli-cost.png")), 0);

  // The snake's points, loaded and run again, end where the command line
  // ends from them.  Loading them is one step, which undo takes back.
  const int steps = w->undo_stack()->count();
  w->clear();
  ASSERT_TRUE(w->load_points(local(dir.filePath("cli.csv")).c_str()));
  EXPECT_EQ(w->edit_points().points(), read_points_csv(dir.filePath("cli.csv")));
  EXPECT_TRUE(w->snake_pts().empty());
  EXPECT_EQ(w->undo_stack()->count(), steps + 2);
  press_run(*w);
  ASSERT_EQ(run_tessaly_snake({"--points-file", dir.filePath("cli.bvl"), "-o", dir.filePath("again.csv"), start}).code,
            0);
  EXPECT_EQ(w->snake_pts(), read_points_csv(dir.filePath("again.csv")));
}

TEST(TessalyFiles, SavesFollowTheWriterRulesAsVilSaveDoes)
{
  QTemporaryDir tmp;
  // The checks run as an ordinary user (when the tests run as root).
  ::chmod(local(tmp.path()).c_str(), 0777);
  auto w = shown_window();
  click_around_disc(*w);
  const vil_image_view<vxl_byte> image(8, 8, 1);
  const struct
  {
    const char* name;
    std::function<void(const QString& f, const QString& ext)> setup;
    const char* save;   // the name given, in the case's folder, less the extension
    const char* holds;  // what must then hold the new bytes; "" for a refusal
  } cases[] = {
      {"a read-only file is refused", [](const QString& f, const QString& ext) {
         write_text(f + "ro" + ext, "kept");
         ::chmod(local(f + "ro" + ext).c_str(), 0444);
       },
       "ro", ""},
      {"a folder that is missing and cannot be made",
       [](const QString& f, const QString&) { ::chmod(local(f).c_str(), 0555); }, "missing/x", ""},
      {"a live link: its target", [](const QString& f, const QString& ext) {
         write_text(f + "target" + ext, "old");
         ::chmod(local(f + "target" + ext).c_str(), 0666);
         ::symlink(local("target" + ext).c_str(), local(f + "link" + ext).c_str());
       },
       "link", "target"},
      {"a dangling link: its target is made", [](const QString& f, const QString& ext) {
         ::symlink(local("made" + ext).c_str(), local(f + "dangling" + ext).c_str());
       },
       "dangling", "made"},
  };
  int n = 0;
  for (const auto& c : cases) {
    // save_snake, export_picture and vil_save, each in a folder of its own.
    for (const char* kind : {"snake", "picture", "vil_save"}) {
      SCOPED_TRACE(std::string(c.name) + ", " + kind);
      const QString f = tmp.filePath(QString::number(n++)) + "/", ext = kind[0] == 's' ? ".csv" : ".png";
      ASSERT_EQ(::mkdir(local(f).c_str(), 0777), 0);
      ::chmod(local(f).c_str(), 0777);
      c.setup(f, ext);
      const std::string path = local(f + c.save + ext);
      const bool saves = *c.holds != '\0';
      EXPECT_TRUE(in_child(
        [&] {
          std::string why = "unchanged";
          const bool saved = kind[0] == 's'   ? w->save_snake(path.c_str(), &why)
                             : kind[0] == 'p' ? w->export_picture(path.c_str(), &why)
                                              : vil_save(image, path.c_str(), &why);
          return saved == saves && why.empty() == saved;
        },
        tessaly_test_nobody));
      if (saves) {
        const std::string held = bytes_of(f + c.holds + ext);
        EXPECT_GT(held.size(), 10u);
        EXPECT_NE(held, "old");
        struct stat st;
        EXPECT_TRUE(::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
      } else if (*c.save == 'r') {
        EXPECT_EQ(bytes_of(f + "ro" + ext), "kept");
      } else {
        EXPECT_NE(::access(path.c_str(), F_OK), 0);
      }
    }
  }
}

TEST(TessalyFiles, RefusalsSayWhyAndChangeNothing)
{
  QTemporaryDir dir;
  const QString good = dir.filePath("good.csv"), far = dir.filePath("far.csv"), empty = dir.filePath("empty.csv"),
                text = dir.filePath("notes.txt");
  write_text(good, "x,y\n10,10\n20,10\n20,20\n");
  write_text(far, "10,10\n1e9,10\n20,20\n");
  write_text(empty, "x,y\n");
  write_text(text, "These are no points.\n");
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(local(fifo).c_str(), 0600), 0);
  auto w = shown_window();
  ASSERT_TRUE(w->load_points(local(good).c_str()));
  const struct
  {
    const char* name;
    std::function<bool(std::string*)> act;
    const char* reason;  // part of the reason
  } cases[] = {
      {"points in an unknown format", [&](std::string* why) {
         return w->save_snake(local(dir.filePath("a.txt")).c_str(), why);
       },
       ".txt"},
      {"a picture in a missing folder", [&](std::string* why) {
         return w->export_picture(local(dir.filePath("no/such/a.png")).c_str(), why);
       },
       "No such file"},
      {"points from a missing file", [&](std::string* why) {
         return w->load_points(local(dir.filePath("none.csv")).c_str(), why);
       },
       "No such file"},
      {"points from text", [&](std::string* why) { return w->load_points(local(text).c_str(), why); }, "line 1"},
      {"no points in the file", [&](std::string* why) { return w->load_points(local(empty).c_str(), why); },
       "no points"},
      {"points from a FIFO that nobody writes", [&](std::string*) {
         // In a child that ends in five seconds if it waits for a writer.
         return !in_child([&] {
           ::alarm(5);
           std::string said;
           return !w->load_points(local(fifo).c_str(), &said) && said == "not a regular file";
         });
       },
       ""},
      {"points far off the image", [&](std::string* why) { return w->load_points(local(far).c_str(), why); },
       "point 2 (1000000000, 10) lies far outside the 250 x 250 image"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const window_state before(*w);
    const int steps = w->undo_stack()->count();
    std::string why;
    EXPECT_FALSE(c.act(&why));
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    EXPECT_FALSE(c.act(nullptr));
    expect_unchanged(*w, before);
    EXPECT_EQ(w->undo_stack()->count(), steps);
  }

  // Saving no points is refused, from a menu item in a box that gives the
  // reason, as any refusal there.
  w->clear();
  const window_state before(*w);
  std::string why;
  EXPECT_FALSE(w->save_snake(local(dir.filePath("none.csv")).c_str(), &why));
  EXPECT_NE(why.find("no points"), std::string::npos) << why;
  dialog_closer closer;
  file_item(*w, QString::fromUtf8("Save Snake As\xe2\x80\xa6"))->trigger();
  w->load_image(local(text).c_str());
  expect_unchanged(*w, before);
  ASSERT_EQ(closer.texts, (QStringList{"Unable to save the snake", "Unable to load image"}));
  EXPECT_TRUE(closer.infos[0].contains("no points")) << closer.infos[0].toStdString();
  EXPECT_EQ(closer.infos[1], text + ": not an image file tessaly can read");
  EXPECT_EQ(closer.parents, (std::vector<QWidget*>{w.get(), nullptr}));
}

TEST(TessalyFiles, MenuItemsAskForANameAndWriteThere)
{
  QTemporaryDir dir;
  auto w = shown_window();
  click_around_disc(*w);
  const auto points = w->edit_points().points();
  ASSERT_TRUE(w->save_snake(local(dir.filePath("direct.csv")).c_str()));
  ASSERT_TRUE(w->export_picture(local(dir.filePath("direct.png")).c_str()));
  // Names without an extension take the first filter's: .csv and .png.
  for (const char* item : {"Save Snake As\xe2\x80\xa6", "Export Picture\xe2\x80\xa6"}) {
    dialog_closer closer(dir.filePath("mine"));
    file_item(*w, QString::fromUtf8(item))->trigger();
    EXPECT_EQ(closer.titles.size(), 1) << closer.titles.join(", ").toStdString();
  }
  EXPECT_EQ(bytes_of(dir.filePath("mine.csv")), bytes_of(dir.filePath("direct.csv")));
  EXPECT_EQ(differing_pixels(dir.filePath("mine.png"), dir.filePath("direct.png")), 0);
  w->clear();
  dialog_closer closer(dir.filePath("mine.csv"));
  file_item(*w, QString::fromUtf8("Load Points\xe2\x80\xa6"))->trigger();
  EXPECT_EQ(w->edit_points().points(), points);
  // Each dialog started where the last file went.
  EXPECT_EQ(closer.folders, QStringList{QDir(dir.path()).absolutePath()});
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
  ASSERT_TRUE(vil_save(vil_image_view<vxl_byte>(4000, 4000), local(big).c_str()));
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
  w->load_image(local(big).c_str());
  ::setrlimit(RLIMIT_AS, &was);
  expect_unchanged(*w, before);
  ASSERT_EQ(closer.texts, QStringList{"Unable to load image"});
  EXPECT_EQ(closer.infos[0], big + ": not enough memory for an image of 4000 x 4000 pixels");
}

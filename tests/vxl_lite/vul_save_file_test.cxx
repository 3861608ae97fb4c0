// The one safe writer: whole files, links followed, devices in place, the
// rules of permission and mode, and temporaries that never stay behind.
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <gtest/gtest.h>
#include "support/in_child.h"
#include <vul/vul_save_file.h>

namespace
{
std::string read_file(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& text, mode_t mode = 0644)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  ::chmod(path.c_str(), mode);
}

// Names in the folder that start with a dot: left-over temporaries.
std::string hidden_files(const std::string& dir)
{
  std::string out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] == '.' && std::string(e->d_name) != "." && std::string(e->d_name) != "..")
        out += std::string(e->d_name) + " ";
    ::closedir(d);
  }
  return out;
}

mode_t mode_of(const std::string& path)
{
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A fresh scratch folder, readable by everyone (the checks as another user).
std::string scratch(const std::string& name)
{
  std::string dir = ::testing::TempDir() + "vul_save_file_" + name + "_XXXXXX";
  EXPECT_TRUE(::mkdtemp(&dir[0]));
  ::chmod(dir.c_str(), 0777);
  return dir + "/";
}
}  // namespace

TEST(VulSaveFile, LinksFoldersModesAndNames)
{
  ::umask(022);
  const std::string d = scratch("rules");
  ::mkdir((d + "sub").c_str(), 0755);
  write_file(d + "old", "old", 0600);
  write_file(d + "b", "b");
  const std::string long_name(250, 'n');
  const struct
  {
    const char* name;
    std::function<void()> setup;
    std::string save;      // the name given
    std::string written;   // the file that must hold the new bytes, "" for a refusal
    mode_t mode;           // its mode afterwards
    const char* reason;    // part of the refusal
  } cases[] = {
      {"a new file gets the umask's mode", [] {}, d + "new", d + "new", 0644, ""},
      {"a replaced file keeps its mode", [] {}, d + "old", d + "old", 0600, ""},
      {"a live link: its target", [&] { ::symlink("old", (d + "live").c_str()); }, d + "live", d + "old", 0600, ""},
      {"a dangling link: its target is made", [&] { ::symlink("made", (d + "dangling").c_str()); },
       d + "dangling", d + "made", 0644, ""},
      {"a link into another folder, relative", [&] { ::symlink("../b", (d + "sub/up").c_str()); },
       d + "sub/up", d + "b", 0644, ""},
      {"a chain of links", [&] { ::symlink("live", (d + "chain").c_str()); }, d + "chain", d + "old", 0600, ""},
      {"looping links", [&] { ::symlink("loop2", (d + "loop1").c_str()); ::symlink("loop1", (d + "loop2").c_str()); },
       d + "loop1", "", 0, "symbolic links"},
      {"a folder", [] {}, d + "sub", "", 0, "directory"},
      {"a missing folder", [] {}, d + "none/x", "", 0, "No such file"},
      {"a name near the system's limit", [] {}, d + long_name, d + long_name, 0644, ""},
      {"no name", [] {}, "", "", 0, "no file name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.setup();
    std::string why;
    const std::string bytes = std::string("bytes for ") + c.name;
    EXPECT_EQ(vul_save_file::write(c.save, bytes, why), !c.written.empty()) << why;
    if (c.written.empty()) {
      EXPECT_NE(why.find(c.reason), std::string::npos) << why;
      continue;
    }
    EXPECT_EQ(read_file(c.written), bytes);
    EXPECT_EQ(mode_of(c.written) & 07777, c.mode);
    if (c.save != c.written) EXPECT_TRUE(S_ISLNK(mode_of(c.save)));  // the link stays
  }
  EXPECT_EQ(read_file(d + "b"), "bytes for a link into another folder, relative");
  EXPECT_FALSE(S_ISLNK(mode_of(d + "none")));
  EXPECT_EQ(hidden_files(d) + hidden_files(d + "sub"), "");
}

TEST(VulSaveFile, DevicesAndFifosAreWrittenInPlace)
{
  const std::string d = scratch("devices");
  std::string why;
  if (S_ISCHR(mode_of("/dev/null"))) {
    EXPECT_TRUE(vul_save_file::write("/dev/null", "nothing", why)) << why;
    EXPECT_TRUE(S_ISCHR(mode_of("/dev/null")));
  }
  if (S_ISCHR(mode_of("/dev/full"))) EXPECT_FALSE(vul_save_file::write("/dev/full", "x", why));

  const std::string fifo = d + "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // Nobody reads: refused at once rather than waited on.
  EXPECT_FALSE(vul_save_file::write(fifo, "lost", why));
  EXPECT_NE(why.find("FIFO"), std::string::npos) << why;
  std::string got;
  std::thread reader([&] { got = read_file(fifo); });
  // The reader may not have opened its end yet: try until it has.
  bool sent = false;
  for (int k = 0; k < 500 && !sent; ++k) {
    sent = vul_save_file::write(fifo, "through the FIFO", why);
    if (!sent) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(sent) << why;
  reader.join();
  EXPECT_EQ(got, "through the FIFO");
  EXPECT_TRUE(S_ISFIFO(mode_of(fifo)));
  EXPECT_EQ(hidden_files(d), "");
}

TEST(VulSaveFile, PermissionsAsAnOrdinaryUser)
{
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const std::string d = scratch("permissions");
  // A file nobody may write is refused; nobody may not make files in `shut`,
  // but may write `shut/open`, which is then written in place.
  write_file(d + "readonly", "kept", 0444);
  ::mkdir((d + "shut").c_str(), 0755);
  write_file(d + "shut/open", "old contents, longer than the new", 0666);
  EXPECT_TRUE(in_child(
      [&] {
        std::string why;
        return !vul_save_file::write(d + "readonly", "lost", why) &&
               why.find("Permission denied") != std::string::npos &&
               !vul_save_file::write(d + "shut/new", "lost", why) &&
               vul_save_file::write(d + "shut/open", "new", why);
      },
      tessaly_test_nobody));
  EXPECT_EQ(read_file(d + "readonly"), "kept");
  EXPECT_EQ(read_file(d + "shut/open"), "new");
  EXPECT_EQ(hidden_files(d) + hidden_files(d + "shut"), "");
  EXPECT_FALSE(S_ISREG(mode_of(d + "shut/new")));
}

TEST(VulSaveFile, UncommittedAndStoppedWritesLeaveNothing)
{
  const std::string d = scratch("stopped");
  write_file(d + "kept", "kept");
  {
    vul_save_file f(d + "kept");
    ASSERT_TRUE(f.open());
    std::fputs("never committed", f.file());
  }
  EXPECT_EQ(read_file(d + "kept"), "kept");
  // A program stopping on a signal removes every temporary and saves no more.
  EXPECT_TRUE(in_child([&] {
    std::string why;
    vul_save_file a(d + "kept"), b(d + "fresh");
    const bool opened = a.open() && b.open() && hidden_files(d) != "";
    std::fputs("half", a.file());
    return opened && vul_save_file::remove_temporaries() == 2 && hidden_files(d) == "" &&
           !a.commit() && !vul_save_file::write(d + "later", "x", why);
  }));
  EXPECT_EQ(read_file(d + "kept"), "kept");
  EXPECT_FALSE(S_ISREG(mode_of(d + "fresh")));
  EXPECT_FALSE(S_ISREG(mode_of(d + "later")));
  EXPECT_EQ(hidden_files(d), "");
}

// The one safe writer: whole files, links followed, devices in place, the
// rules of permission and mode, and temporaries that never stay behind.
#include <dirent.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <gtest/gtest.h>
#include "support/file_bytes.h"
#include "support/in_child.h"
#include <vul/vul_save_file.h>

namespace
{
mode_t mode_of(const std::string& path)
{
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A fresh scratch folder, open to everyone (the checks as user nobody), with
// the files and links made by setup.
std::string scratch(const char* setup)
{
  std::string dir = ::testing::TempDir() + "vul_save_file_XXXXXX";
  EXPECT_TRUE(::mkdtemp(&dir[0]));
  ::chmod(dir.c_str(), 0777);
  EXPECT_EQ(std::system(("cd " + dir + " && umask 022 && " + setup).c_str()), 0);
  return dir + "/";
}

// Left-over temporaries: names in the folder that start with a dot.
bool no_temporaries(const std::string& dir)
{
  bool none = true;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      none = none && (name[0] != '.' || name == "." || name == "..");
    }
    ::closedir(d);
  }
  return none;
}
}  // namespace

TEST(VulSaveFile, LinksFoldersModesAndNames)
{
  ::umask(022);
  const std::string d = scratch(
      "echo old > old && chmod 600 old && echo b > b && mkdir sub && ln -s old live && ln -s made dangling && "
      "ln -s ../b sub/up && ln -s live chain && ln -s loop2 loop1 && ln -s loop1 loop2");
  const std::string long_name(250, 'n');
  const struct
  {
    const char* name;
    std::string save;     // the name given
    std::string written;  // the file that must hold the new bytes, "" for a refusal
    mode_t mode;          // its mode afterwards, or part of the refusal
    const char* reason;
  } cases[] = {
      {"a new file gets the umask's mode", d + "new", d + "new", 0644, ""},
      {"a replaced file keeps its mode", d + "old", d + "old", 0600, ""},
      {"a live link: its target", d + "live", d + "old", 0600, ""},
      {"a dangling link: its target is made", d + "dangling", d + "made", 0644, ""},
      {"a link into another folder, relative", d + "sub/up", d + "b", 0644, ""},
      {"a chain of links", d + "chain", d + "old", 0600, ""},
      {"a name near the system's limit", d + long_name, d + long_name, 0644, ""},
      {"looping links", d + "loop1", "", 0, "symbolic links"},
      {"a folder", d + "sub", "", 0, "directory"},
      {"a missing folder", d + "none/x", "", 0, "No such file"},
      {"no name", "", "", 0, "no file name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    const std::string bytes = std::string("bytes for ") + c.name;
    EXPECT_EQ(vul_save_file::write(c.save, bytes, why), !c.written.empty()) << why;
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    if (c.written.empty()) continue;
    EXPECT_EQ(read_file(c.written), bytes);
    EXPECT_EQ(mode_of(c.written) & 07777, c.mode);
    EXPECT_TRUE(c.save == c.written || S_ISLNK(mode_of(c.save)));  // the link stays
  }
  EXPECT_TRUE(no_temporaries(d) && no_temporaries(d + "sub"));
}

TEST(VulSaveFile, DevicesAndFifosAreWrittenInPlace)
{
  const std::string d = scratch("mkfifo fifo");
  std::string why;
  EXPECT_TRUE(!S_ISCHR(mode_of("/dev/full")) || !vul_save_file::write("/dev/full", "x", why));
  // Nobody reads: refused at once rather than waited on.
  EXPECT_FALSE(vul_save_file::write(d + "fifo", "lost", why));
  EXPECT_NE(why.find("FIFO"), std::string::npos) << why;
  std::string got;
  std::thread reader([&] { got = read_file(d + "fifo"); });
  // Until the reader has opened its end.
  bool sent = false;
  for (int k = 0; k < 500 && !sent; ++k)
    if (!(sent = vul_save_file::write(d + "fifo", "through the FIFO", why)))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  reader.join();
  EXPECT_EQ(got, "through the FIFO");
  EXPECT_TRUE(S_ISFIFO(mode_of(d + "fifo")) && no_temporaries(d));
}

// As an ordinary user: a file one may not write is refused, and a writable
// file in a folder one may not write is written in place.
TEST(VulSaveFile, PermissionsAsAnOrdinaryUser)
{
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const std::string d =
      scratch("echo kept > readonly && chmod 444 readonly && mkdir shut && echo old contents > shut/open && "
              "chmod 666 shut/open");
  EXPECT_TRUE(in_child(
      [&] {
        std::string why;
        return !vul_save_file::write(d + "readonly", "lost", why) && why == "Permission denied" &&
               !vul_save_file::write(d + "shut/new", "lost", why) &&
               vul_save_file::write(d + "shut/open", "new", why);
      },
      tessaly_test_nobody));
  EXPECT_EQ(read_file(d + "readonly") + read_file(d + "shut/open"), "kept\nnew");
  EXPECT_TRUE(no_temporaries(d) && no_temporaries(d + "shut"));
}

TEST(VulSaveFile, UncommittedAndStoppedWritesLeaveNothing)
{
  const std::string d = scratch("echo kept > kept");
  {
    vul_save_file f(d + "kept");
    ASSERT_TRUE(f.open());
    std::fputs("never committed", f.file());
  }
  // A program stopping on a signal removes every temporary and saves no more.
  EXPECT_TRUE(in_child([&] {
    std::string why;
    vul_save_file a(d + "kept"), b(d + "fresh");
    const bool opened = a.open() && b.open() && !no_temporaries(d);
    return opened && vul_save_file::remove_temporaries() == 2 && no_temporaries(d) && !a.commit() &&
           !vul_save_file::write(d + "later", "x", why);
  }));
  EXPECT_EQ(read_file(d + "kept"), "kept\n");
  EXPECT_EQ(mode_of(d + "fresh") | mode_of(d + "later"), 0u);
  EXPECT_TRUE(no_temporaries(d));
}

#ifndef vul_save_file_h_
#define vul_save_file_h_
// Writing a file whole or not at all.  (Not part of VXL: every file tessaly
// writes, images included, goes through this one writer.)
//
// The bytes go to a temporary file beside the target, which replaces it only
// once complete and on disk, so a failed or interrupted write leaves the old
// file as it was.  The rules a user expects of a save:
//  - a symbolic link is followed (by hand, so a dangling one names the file
//    to create) and its target is written, the link kept;
//  - a directory, or an existing file the user may not write, is refused;
//  - a replaced file keeps its mode (a new one gets what a plain create
//    gives, 0666 less the umask);
//  - a device or a FIFO is written in place (there is nothing to replace),
//    and a FIFO nobody reads from is refused rather than waited on;
//  - an existing writable file in a folder the user may not write is written
//    in place too: the bytes are gathered in memory and written over it at
//    commit(), so a writer that gives up leaves it untouched, but a failure
//    during that last write (a full disk) can leave a partial file.
// Missing folders are not made.
#include <cstddef>
#include <cstdio>
#include <string>

class vul_save_file
{
 public:
  explicit vul_save_file(std::string path);
  // Drops what was not committed.
  ~vul_save_file();
  vul_save_file(const vul_save_file&) = delete;
  vul_save_file& operator=(const vul_save_file&) = delete;

  // Opens the stream to write into.  False, with the reason in error().
  bool open();
  // The stream opened by open(); null before and after.
  std::FILE* file() const { return file_; }
  // Flushes, syncs and puts the file in place.  False, with the reason, when
  // any write failed or the file cannot be put in place; the target is then
  // as it was (unless written in place).
  bool commit();
  // Drops what was written.
  void cancel();

  // True when open() chose to write the target itself, not a temporary.
  bool in_place() const { return in_place_; }
  // The file that is written: the path with its links followed.
  const std::string& target() const { return target_; }
  const std::string& error() const { return error_; }

  // bytes as the whole file at path.  False, with the reason in why.
  static bool write(const std::string& path, const std::string& bytes, std::string& why);

  // The file a save of path writes: path with its links followed (path
  // itself when they loop), so that callers can compare names as it does.
  static std::string target_of(const std::string& path);

  // Removes every temporary file of every thread that is not yet committed,
  // and makes later open() calls fail: for a program that is about to end on
  // a signal.  Returns how many were removed.
  static unsigned remove_temporaries();

 private:
  bool fail(const std::string& why);
  bool open_in_place(int flags);
  bool commit_in_place();

  std::string path_;
  std::string target_;
  std::string temp_;  // empty when writing in place
  std::FILE* file_ = nullptr;
  // Writing a regular file in place: its descriptor, and the memory stream
  // file_ writes into until commit().
  int fd_ = -1;
  char* buf_ = nullptr;
  std::size_t buf_size_ = 0;
  bool in_place_ = false;
  bool replacing_ = false;  // the temporary replaces an existing file
  unsigned mode_ = 0;       // the replaced file's mode
  unsigned uid_ = 0, gid_ = 0;
  std::string error_;
};

#endif

#ifndef tessaly_tests_support_in_child_h_
#define tessaly_tests_support_in_child_h_
// Runs a check in a child process, optionally as an ordinary user: the
// permission rules of a save can only be seen without root's rights, and a
// check that changes the whole process (ending it, as a signal does) must
// not change the test's own.
#include <functional>
#if __has_include(<QThreadPool>)
#include <QThreadPool>
#define TESSALY_IN_CHILD_HAS_QT 1
#endif
#include <sys/wait.h>
#include <unistd.h>

// The user "nobody", whom nothing in a scratch folder belongs to.
const uid_t tessaly_test_nobody = 65534;

// True when check() returned true in a child process, run as user `as`
// when the test runs as root (and as the test's own user otherwise).
inline bool in_child(const std::function<bool()>& check, uid_t as = ::geteuid())
{
  // Qt keeps idle workers for large image conversions and strokes; a forked
  // child has none of them and would wait for one for ever.  End them first.
#ifdef TESSALY_IN_CHILD_HAS_QT
  QThreadPool::globalInstance()->waitForDone();
#endif
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && as != 0 && (::setgid(as) != 0 || ::setuid(as) != 0)) ::_exit(2);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

#endif

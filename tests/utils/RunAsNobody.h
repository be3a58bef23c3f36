#pragma once

#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs check in a forked child that has dropped root for the user "nobody" and gives the child's
// verdict: 1 when check returned true, 0 when false, -1 when the child could not drop root.
inline int RunAsNobody(const std::function<bool()> &check)
{
  const passwd *nobody = getpwnam("nobody");
  if (nobody == nullptr)
    return -1;
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
      _exit(2);
    _exit(check() ? 1 : 0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return -1;
  const int code = WEXITSTATUS(status);
  return code == 2 ? -1 : code;
}

#include "platform/shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace talvor {

bool StartDetached(const std::vector<std::string>& argv, const std::string& working_folder) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int status_pipe[2];
  if (::pipe2(status_pipe, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(status_pipe[0]);
    ::close(status_pipe[1]);
    return false;
  }
  if (child == 0) {
    // The intermediate child starts the program and ends at once, so the
    // program is adopted by init and never becomes our zombie.
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      if (!working_folder.empty() && ::chdir(working_folder.c_str()) != 0) ::_exit(127);
      ::execvp(args[0], args.data());
      const char failed = 1;
      (void)!::write(status_pipe[1], &failed, 1);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  ::close(status_pipe[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) break;
  }
  char failed = 0;
  const ssize_t got = ::read(status_pipe[0], &failed, 1);
  ::close(status_pipe[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got <= 0;
}

void DesktopShell::Open(const std::string& path, const std::string& working_folder) {
  (void)StartDetached({"xdg-open", path}, working_folder);
}

void DesktopShell::OpenAddress(const std::string& address) {
  (void)StartDetached({"xdg-open", address}, {});
}

}  // namespace talvor

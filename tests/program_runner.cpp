#include "program_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace talvor::testing {

namespace {

// Waits (up to five seconds) until the process has opened the file at
// `path`: it is then past its start and at work.
void AwaitOpened(pid_t pid, const std::string& path) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  for (int tries = 0; tries < 5000; ++tries) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
      if (std::filesystem::read_symlink(fd.path(), error) == path) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

Exit RunProgram(const std::vector<std::string>& args, const std::string& folder, bool unprivileged,
                std::chrono::milliseconds signal_after, int signal) {
  // A command that never reads its standard input closes the pipe early.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2];
  int err[2];
  if (::pipe(in) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    ::dup2(in[0], 0);
    ::dup2(err[1], 2);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(in[1]);
    ::close(err[0]);
    if (unprivileged && ::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(125);
      }
    }
    if (::chdir(folder.c_str()) != 0) ::_exit(125);
    std::vector<std::string> all = {TALVOR_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(126);
  }
  ::close(in[0]);
  ::close(err[1]);
  (void)::write(in[1], kPass, std::strlen(kPass));
  ::close(in[1]);
  if (signal_after.count() >= 0) {
    if (!args.empty()) AwaitOpened(pid, std::filesystem::absolute(folder) / args.back());
    std::this_thread::sleep_for(signal_after);
    ::kill(pid, signal);
  }
  Exit exit;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(err[0], buffer, sizeof buffer)) > 0) exit.err.append(buffer, n);
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) exit.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) exit.signal = WTERMSIG(status);
  return exit;
}

}  // namespace talvor::testing

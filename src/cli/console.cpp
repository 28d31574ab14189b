#include "cli/console.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "platform/interrupt.h"
#include "platform/progress.h"
#include "platform/unique_fd.h"

namespace talvor {

namespace {

// The controlling terminal, opened for one question.
class Terminal {
 public:
  Terminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
  [[nodiscard]] bool ok() const { return fd_.valid() && ::isatty(fd_.get()) == 1; }

  void Write(const std::string& text) const {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd_.get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  // One line without its line end, into a std::string or a Secret; nullopt
  // at the end of input.
  template <typename Line = std::string>
  [[nodiscard]] std::optional<Line> ReadLine() const {
    Line line;
    for (;;) {
      char c = 0;
      const ssize_t n = ::read(fd_.get(), &c, 1);
      if (n < 0 && errno == EINTR) {
        if (InterruptSignal() != 0) throw CancelFailure();
        continue;
      }
      if (n <= 0) return line.empty() ? std::nullopt : std::optional<Line>(std::move(line));
      if (c == '\n') return line;
      if (c != '\r') line.push_back(c);
    }
  }

  [[nodiscard]] int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

// Turns echo off while it lives.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (::tcgetattr(fd_, &saved_) == 0) {
      termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ECHONL;
      active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  ~EchoOff() {
    if (active_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
  }

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

}  // namespace

std::istream& ProcessConsole::in() {
  return std::cin;
}
std::ostream& ProcessConsole::out() {
  return std::cout;
}
bool ProcessConsole::ErrorIsTerminal() const {
  return ::isatty(STDERR_FILENO) == 1;
}

std::ostream& ProcessConsole::err() {
  return std::cerr;
}

bool ProcessConsole::HasTerminal() {
  return Terminal().ok();
}

std::optional<Secret> ProcessConsole::ReadHidden(const std::string& prompt) {
  const Terminal tty;
  if (!tty.ok()) return std::nullopt;
  const EchoOff quiet(tty.fd());
  tty.Write(prompt);
  try {
    std::optional<Secret> line = tty.ReadLine<Secret>();
    if (!line) tty.Write("\n");  // Ctrl+D: what follows starts a line of its own
    return line;
  } catch (const Failure& e) {
    if (e.kind() == FailureKind::kCancelled) tty.Write("\n");
    throw;
  }
}

std::optional<bool> ProcessConsole::AskYesNo(const std::string& question) {
  const Terminal tty;
  if (!tty.ok()) return std::nullopt;
  for (;;) {
    tty.Write(question + " [y/n] ");
    const std::optional<std::string> answer = tty.ReadLine();
    if (!answer) return false;
    if (*answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "Yes") return true;
    if (*answer == "n" || *answer == "N" || *answer == "no" || *answer == "No") return false;
  }
}

}  // namespace talvor

#include "platform/interrupt.h"

#include <csignal>

namespace talvor {

namespace {

volatile std::sig_atomic_t interrupt_signal = 0;

extern "C" void NoteInterrupt(int signal) {
  interrupt_signal = signal;
}

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a waiting read returns
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal() noexcept {
  return interrupt_signal;
}

}  // namespace talvor

// Process and terminal facts.
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"

namespace krplatform {

long ProcessId() { return static_cast<long>(getpid()); }

void DiscardPendingTerminalInput() {
    if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}

}  // namespace krplatform

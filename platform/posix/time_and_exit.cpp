// Time and process exit on Linux: a monotonic clock for both the sleep and the time stamps, so
// neither jumps when the wall clock is set; the wall clock only for the record of the line.
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void SleepMs(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  // An absolute deadline keeps a signal from stretching the pause when it is resumed.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void ReadLocalTime(LocalTime* time) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  *time = {local.tm_year + 1900,
           local.tm_mon + 1,
           local.tm_mday,
           local.tm_hour,
           local.tm_min,
           local.tm_sec,
           static_cast<int>(now.tv_nsec / 1000000)};
}

void ExitProcessWithCode(int code) {
  std::exit(code);
}

}  // namespace platform

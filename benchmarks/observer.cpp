#include "observer.h"

#include <dirent.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace bench {

void RaiseObserverThreads() {
  static bool warned = false;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return;
  const sched_param priority = {sched_get_priority_min(SCHED_FIFO)};
  while (dirent* entry = readdir(tasks)) {
    const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
    if (thread <= 0 || thread == getpid()) continue;
    if (sched_setscheduler(thread, SCHED_FIFO, &priority) != 0 && !warned) {
      std::cerr << "  (no real-time priority for the simulator's reader: its jitter is in the pauses)"
                << std::endl;
      warned = true;
    }
  }
  closedir(tasks);
}

}  // namespace bench

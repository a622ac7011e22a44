// The device simulator as a measuring instrument: its reader thread stamps the time on each byte a
// program sends. At normal priority on a busy machine its own late wake-ups would show up as uneven
// pauses of the program, so the benchmarks give it a real-time priority.
#pragma once

namespace bench {

// Every thread of this process but the main one (the simulators' readers are the only others) gets
// a real-time priority; programs and tools started from the main thread keep the normal one.
// Without the permission to do so the figures still come, with the observer's jitter in them.
void RaiseObserverThreads();

}  // namespace bench

// The measuring chain's own share of the pacing figures: a writer that puts one byte on the same
// kind of pseudo-terminal every 5.000 ms (a sleep to just before the moment, then a spin to it),
// seen by the same simulator reader as the programs' bytes. What this row shows beyond 5.000 ms is
// the pseudo-terminal's delivery and the reader, not any program.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "devsim/device.h"
#include "observer.h"
#include "report.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Bytes = 1000;
constexpr auto Pause = std::chrono::microseconds(5000);
constexpr auto SpinBefore = std::chrono::microseconds(300);

void SleepUntil(Clock::time_point moment) {
  const auto early = moment - SpinBefore;
  if (Clock::now() < early) {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::nanoseconds>(early.time_since_epoch());
    const timespec wake = {static_cast<time_t>(sinceEpoch.count() / 1000000000),
                           static_cast<long>(sinceEpoch.count() % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) != 0) {
    }
  }
  while (Clock::now() < moment) {
  }
}

}  // namespace

int main() {
  char folder[] = "/tmp/mirelox-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string link = std::string(folder) + "/com1";
  {
    devsim::Device device(link);
    bench::RaiseObserverThreads();
    const int port = open(link.c_str(), O_WRONLY | O_NOCTTY);
    std::vector<double> gaps, writerGaps;
    if (port >= 0) {
      const unsigned char byte = 'x';
      Clock::time_point previous;
      for (int i = 0; i < Bytes; ++i) {
        const Clock::time_point written = Clock::now();
        if (i > 0)
          writerGaps.push_back(std::chrono::duration<double, std::milli>(written - previous).count());
        previous = written;
        if (write(port, &byte, 1) != 1) break;
        SleepUntil(written + Pause);
      }
      close(port);
      std::vector<devsim::TimedByte> seen = device.ReceiveTimed(Bytes, devsim::Millis(2000));
      for (size_t i = 0; i + 1 < seen.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(seen[i + 1].at - seen[i].at).count());
    }
    // The writer runs at normal priority: where the machine is busy, its own gaps grow too.
    const bench::Summary own = bench::Summarize(writerGaps);
    std::cerr << "    the reference writer's own gaps: median " << bench::Fixed(own.median, 3) << " ms, p99 "
              << bench::Fixed(own.p99, 3) << " ms, max " << bench::Fixed(own.max, 3) << " ms" << std::endl;
    if (gaps.size() + 1 == Bytes) {
      const bench::Summary s = bench::Summarize(gaps);
      bench::PrintRow(bench::Measure::PacingReference, "reference writer",
                      bench::Fixed(s.min, 2) + " / " + bench::Fixed(s.median, 2) + " / " +
                          bench::Fixed(s.p99, 2) + " ms (" + bench::Fixed(s.max, 2) + ")",
                      bench::Verdict::NoGoal);
    } else {
      bench::PrintRow(bench::Measure::PacingReference, "reference writer", "failed: bytes lost",
                      bench::Verdict::Failed);
    }
  }
  rmdir(folder);
  return 0;
}

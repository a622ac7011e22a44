// A tiny Windows console program, run under Wine by the benchmark command: how long Sleep(5) really
// lasts with the default timer resolution and after timeBeginPeriod(1), timed with the performance
// counter. On Windows the first is a whole scheduler tick (15.6 ms); Wine sleeps about 5.1 ms
// either way, so under Wine these two rows are a record of Wine, not a test of the program. Built
// for both bits; the rows name the bits of the copy that ran.
#include <windows.h>

#include <string>
#include <vector>

#include "report.h"

namespace {

constexpr int Samples = 200;

std::vector<double> TimeSleeps() {
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> milliseconds;
  for (int i = 0; i < Samples; ++i) {
    QueryPerformanceCounter(&before);
    Sleep(5);
    QueryPerformanceCounter(&after);
    milliseconds.push_back(1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart);
  }
  return milliseconds;
}

std::string MedianAndP99(const std::vector<double>& milliseconds) {
  bench::Summary s = bench::Summarize(milliseconds);
  return bench::Fixed(s.median, 2) + " / " + bench::Fixed(s.p99, 2) + " ms";
}

}  // namespace

int main() {
  std::string withDefault = MedianAndP99(TimeSleeps());
  timeBeginPeriod(1);
  std::string withOneMs = MedianAndP99(TimeSleeps());
  timeEndPeriod(1);
  const std::string program = "Wine " + std::to_string(8 * sizeof(void*)) + "-bit (probe exe)";
  bench::PrintRow(bench::Measure::WineSleepDefault, program, withDefault, bench::Verdict::NoGoal);
  bench::PrintRow(bench::Measure::WineSleepOneMs, program, withOneMs, bench::Verdict::NoGoal);
  return 0;
}

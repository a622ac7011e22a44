// How many received bytes a second the core turns into drawing: each byte put where the main loop
// puts it (LastReceivedByte), then InterpretByte and the forced paint, over the fake platform (so
// the figure is the core's own cost plus the fake's drawing bookkeeping, without a real window).
// The fake's port is left out: its queue of timed bytes costs more per byte than all the rest.
// Printable lines ended by CR, so the screen fills and clears again as it does on a busy device.
#include <benchmark/benchmark.h>

#include <iostream>
#include <string>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "report.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"
#include "tests/fake/fake_platform.h"

namespace {

constexpr size_t ChunkSize = 20000;
const char Configuration[] = "1\r\n0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n";

void OpenTerminal() {
  fake::Reset();
  fake::world.files["/prog/MIRELOX.CFG"] = Configuration;
  LoadConfiguration();
  CurrentPort = 1;
  InitScreen();
  platform::OpenMainWindow("MIRELOX", "mirelox");
  CreateScreenFont();
  MainWindowProc(msg::SetFocus, 0, 0);
}

std::string PrintableLines(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) text += i % 80 == 79 ? '\r' : static_cast<char>('!' + i % 94);
  return text;
}

void ReceivedBytesDrawn(benchmark::State& state) {
  OpenTerminal();
  const std::string text = PrintableLines(ChunkSize);
  for (auto _ : state) {
    state.PauseTiming();
    fake::world.calls.clear();  // the fake records every draw; keep the record from growing
    state.ResumeTiming();
    for (char byte : text) {
      LastReceivedByte = static_cast<unsigned char>(byte);
      InterpretByte();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReceivedBytesDrawn)->Repetitions(5)->ReportAggregatesOnly(true);

// Shows Google Benchmark's own report on standard error and keeps the median rate for the row.
class MedianRate : public benchmark::ConsoleReporter {
 public:
  double bytesPerSecond = 0;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto rate = run.counters.find("bytes_per_second");
      if (run.aggregate_name == "median" && rate != run.counters.end()) bytesPerSecond = rate->second.value;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  MedianRate reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double megabytes = reporter.bytesPerSecond / 1e6;
  bench::PrintRow(bench::Measure::DrawingCore, "core (fake platform)", bench::Fixed(megabytes, 1) + " MB/s",
                  megabytes > 0 ? bench::MetIf(megabytes >= 10) : bench::Verdict::Failed);
  return 0;
}

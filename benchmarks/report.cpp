#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

struct MeasureText {
  const char* name;
  const char* goal;
};

MeasureText TextOf(Measure measure) {
  switch (measure) {
    case Measure::PacingReference:
      return {"Pause after each byte written exactly 5.000 ms apart (the chain itself)", "for the record"};
    case Measure::Pacing:
      return {"Pause after each paced byte, min / median / p99 (max)", "median 5.0 to 5.5 ms"};
    case Measure::PacingRecorded:
      return {"The same with the record of the line on (--log)", "median 5.0 to 5.5 ms"};
    case Measure::WineSleepDefault:
      return {"Sleep(5) under Wine, no timeBeginPeriod: median / p99", "for the record"};
    case Measure::WineSleepOneMs:
      return {"Sleep(5) under Wine, timeBeginPeriod(1): median / p99", "for the record"};
    case Measure::BlockSend:
      return {"60-block send, first SOH to EOT", "<= 46.51 s (floor 45.6 s + 2 %)"};
    case Measure::BlockSendRecorded:
      return {"The same with the record of the line on (--log)", "<= 46.51 s (floor 45.6 s + 2 %)"};
    case Measure::BlockReceive:
      return {"60-block receive, first block to last ACK", "<= 0.311 s (floor 0.305 s + 2 %)"};
    case Measure::ReceiveReaction:
      return {"Checksum byte to ACK on the line, median / p99", "median < 1 ms"};
    case Measure::ReceiveReactionRecorded:
      return {"The same with the record of the line on (--log)", "median < 1 ms"};
    case Measure::IdleCharacterReply:
      return {"Idle 300 ms, then a character and the ID query: to the reply, median / p99", "median <= 2 ms"};
    case Measure::IdleQueryReply:
      return {"Idle 300 ms, then the ID query alone: to the reply, median / p99", "median <= 2 ms"};
    case Measure::IdleProcessor:
      return {"Processor time while idle for 30 s, window open, device silent", "<= 1 % of one core"};
    case Measure::IdleWaitingProgram:
      return {
          "Processor time while idle for 30 s, window open, device silent, the modem-status query answered "
          "(the waiting path)",
          "<= 1 % of one core"};
    case Measure::IdleWaitingWineThreads:
      return {"The same: Wine's own threads in the program's process (its watch on the line)",
              "for the record"};
    case Measure::IdleWaitingWineServer:
      return {"The same: Wine's server beside the program", "for the record"};
    case Measure::IdleLookingProgram:
      return {
          "Processor time while idle for 30 s, window open, device silent, the modem-status query failing "
          "(a look every 1 ms)",
          "<= 1 % of one core"};
    case Measure::IdleLookingWineThreads:
      return {"The same: Wine's own threads in the program's process", "for the record"};
    case Measure::IdleLookingWineServer:
      return {"The same: Wine's server beside the program", "for the record"};
    case Measure::DrawingCore:
      return {"Received bytes drawn, interpreter + paint", ">= 10 MB/s"};
    case Measure::DrawingWindow:
      return {"Received bytes drawn in the window, median of 3 (range)", ">= 24,000 bytes/s"};
    case Measure::StartUp:
      return {"Start to main window shown, median of 3 (all)", "none set"};
  }
  return {"?", "?"};
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Met:
      return "met";
    case Verdict::NotMet:
      return "NOT met";
    case Verdict::NoGoal:
      return "-";
    case Verdict::Failed:
      return "not measured";
  }
  return "?";
}

}  // namespace

Verdict MetIf(bool condition) {
  return condition ? Verdict::Met : Verdict::NotMet;
}

void PrintRow(Measure measure, const std::string& program, const std::string& measured, Verdict verdict) {
  MeasureText text = TextOf(measure);
  std::printf("ROW|%d|%s|%s|%s|%s|%s\n", static_cast<int>(measure), text.name, program.c_str(), text.goal,
              measured.c_str(), VerdictText(verdict));
  std::fflush(stdout);
}

// Percentiles by the nearest rank, so that every figure reported is one that was measured.
Summary Summarize(std::vector<double> values) {
  Summary summary;
  if (values.empty()) return summary;
  std::sort(values.begin(), values.end());
  auto rank = [&](double fraction) {
    size_t index = static_cast<size_t>(std::ceil(fraction * values.size()));
    return values[std::min(values.size(), std::max<size_t>(index, 1)) - 1];
  };
  summary.count = values.size();
  summary.min = values.front();
  summary.median = rank(0.5);
  summary.p99 = rank(0.99);
  summary.max = values.back();
  return summary;
}

double ShareWithin(const std::vector<double>& values, double low, double high) {
  if (values.empty()) return 0;
  auto inside = std::count_if(values.begin(), values.end(), [&](double v) { return v >= low && v <= high; });
  return static_cast<double>(inside) / values.size();
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace bench

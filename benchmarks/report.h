// What every benchmark program prints: rows of the one table scripts/bench.sh shows, each naming
// the measure (with its goal), the program measured, what was measured and whether the goal was
// met, and the summary statistics those rows are made of. Rows go to standard output as
// "ROW|order|measure|program|goal|measured|verdict"; details and progress go to standard error.
#pragma once

#include <string>
#include <vector>

namespace bench {

// The measures, in the order the table lists them.
enum class Measure {
  PacingReference = 9,
  Pacing = 10,
  PacingRecorded = 11,
  WineSleepDefault = 12,
  WineSleepOneMs = 13,
  BlockSend = 20,
  BlockSendRecorded = 21,
  BlockReceive = 30,
  ReceiveReaction = 38,
  ReceiveReactionRecorded = 39,
  IdleCharacterReply = 41,
  IdleQueryReply = 42,
  IdleProcessor = 43,
  IdleWaitingProgram = 44,
  IdleWaitingWineThreads = 45,
  IdleWaitingWineServer = 46,
  IdleLookingProgram = 47,
  IdleLookingWineThreads = 48,
  IdleLookingWineServer = 49,
  DrawingCore = 50,
  DrawingWindow = 51,
  StartUp = 60,
};

enum class Verdict { Met, NotMet, NoGoal, Failed };

Verdict MetIf(bool condition);
void PrintRow(Measure measure, const std::string& program, const std::string& measured, Verdict verdict);

struct Summary {
  size_t count = 0;
  double min = 0, median = 0, p99 = 0, max = 0;
};
Summary Summarize(std::vector<double> values);  // all zero when values is empty
double ShareWithin(const std::vector<double>& values, double low, double high);  // 0..1

std::string Fixed(double value, int decimals);

}  // namespace bench

// Measures one program in its real window against the device simulator and prints a table row per
// measure: the processor time it takes while idle (the Windows program's on both of its idle paths
// under Wine), its reaction to the device after an idle spell,
// the pause after each paced byte and the length of a 60-block send, the length of a 60-block
// receive, the reaction from a block's checksum byte to the ACK, the rate at which received text is
// drawn, and the time from start to the main window.
//   window_bench linux|wine32|wine64      (on the display named by DISPLAY)
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <thread>

#include "devsim/block_transfer.h"
#include "program_session.h"
#include "report.h"
#include "timed_transfers.h"

namespace bench {
namespace {

constexpr int Blocks = 60;
constexpr double SendFloorSeconds = Blocks * (LineBlockSize * 0.005 + 0.100);
// The terminal's own pauses in a receive: the one after each block's ACK, then the one between the
// two ACKs that answer EOT. On a pseudo-terminal the line itself costs nothing.
constexpr double ReceiveFloorSeconds = (Blocks + 1) * 0.005;
constexpr double FloorAllowance = 1.02;
constexpr size_t DrawnBytes = 20000;
constexpr int DrawingRuns = 3;
constexpr devsim::Millis HeldChecksum(30);
constexpr devsim::Millis DrawingTimeout(180000);
constexpr auto IdleSettle = std::chrono::seconds(2);  // the rest of the start-up, not counted as idle
constexpr auto IdleWatch = std::chrono::seconds(30);
constexpr devsim::Millis IdleSpell(300);
constexpr int IdleSamples = 50;  // of each kind
constexpr double IdleShareGoal = 1.0;
constexpr double IdleReplyGoalMs = 2.0;
const devsim::Bytes IdentificationQuery = {devsim::Esc, 0xFF, 0x7F, 0x08, 0x0C, 0x0A};

void Progress(const std::string& program, const std::string& what) {
  std::cerr << "  " << program << ": " << what << std::endl;
}

std::string Percent(double measured, double floor) {
  return (measured >= floor ? "+" : "") + Fixed(100.0 * (measured - floor) / floor, 1) + " %";
}

// Lines of 79 printable characters, each ended by CR (which also moves to the next row).
devsim::Bytes PrintableLines(size_t size) {
  devsim::Bytes text;
  for (size_t i = 0; text.size() < size; ++i)
    text.push_back(i % 80 == 79 ? '\r' : static_cast<uint8_t>('!' + i % 94));
  return text;
}

// The interpreter handles bytes in order: once the reply is back, everything before it is done.
std::optional<Clock::time_point> QueryAndAwaitReply(devsim::Device& device, devsim::Millis timeout) {
  device.Send(IdentificationQuery);
  uint8_t first;
  Clock::time_point at;
  if (!device.ReceiveByte(&first, timeout, &at)) return std::nullopt;
  if (device.Receive(11, devsim::Millis(2000)).size() != 11) return std::nullopt;
  return at;
}

bool WaitForFile(const ProgramSession& session, const std::string& path, const devsim::Bytes& content) {
  for (int i = 0; i < 100; ++i) {
    if (session.ReadFile(path) == content) return true;
    std::this_thread::sleep_for(devsim::Millis(100));
  }
  return false;
}

// Deterministic file content covering 0x00..0xFF.
devsim::Bytes Pattern(size_t size, unsigned seed) {
  devsim::Bytes bytes(size);
  unsigned state = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

// The rows of one idle measure: the program's own, with the goal, and under Wine the rest of the
// program's process and Wine's server, for the record (the Linux program fills the first alone).
struct IdleRows {
  Measure program;
  Measure wineThreads;
  Measure wineServer;
};
constexpr IdleRows LinuxIdle = {Measure::IdleProcessor, Measure::IdleProcessor, Measure::IdleProcessor};
constexpr IdleRows LookingIdle = {Measure::IdleLookingProgram, Measure::IdleLookingWineThreads,
                                  Measure::IdleLookingWineServer};
constexpr IdleRows WaitingIdle = {Measure::IdleWaitingProgram, Measure::IdleWaitingWineThreads,
                                  Measure::IdleWaitingWineServer};

double CorePercent(double used, double seconds) {
  return 100.0 * used / seconds;
}

std::string ShareOfCore(double used, double seconds) {
  return Fixed(CorePercent(used, seconds), 2) + " % of one core (" + Fixed(used, 2) + " s in " +
         Fixed(seconds, 1) + " s)";
}

void FailIdle(Program kind, const IdleRows& rows, const std::string& why) {
  if (kind == Program::Linux) {
    PrintRow(rows.program, ProgramName(kind), "failed: " + why, Verdict::Failed);
    return;
  }
  PrintRow(rows.program, ProgramName(kind) + " (program's thread)", "failed: " + why, Verdict::Failed);
  PrintRow(rows.wineThreads, ProgramName(kind) + " (Wine's threads)", "failed: " + why, Verdict::Failed);
  PrintRow(rows.wineServer, ProgramName(kind) + " (wineserver)", "failed: " + why, Verdict::Failed);
}

// Processor time over 30 s with the window open and the device silent, as a share of one core. The
// Linux program's is that of its whole process. The Windows program starts no thread, so under
// Wine its main thread is the program; Wine's other threads in the process (one watches the line
// while a WaitCommEvent pends) and Wine's server, which every call to it keeps busy, come beside it.
void MeasureIdleProcessor(ProgramSession& session, Program kind, const IdleRows& rows) {
  const std::string program = ProgramName(kind);
  Progress(program, "idle for " + std::to_string(IdleWatch.count()) + " s, the device silent");
  std::this_thread::sleep_for(IdleSettle);
  const pid_t process = session.ProgramProcess();
  const pid_t server = session.WineServerProcess();
  // The main thread is read after the process at the start and before it at the end, so that a
  // tick between two readings cannot make the rest of the process negative.
  const double before = ProcessorSeconds(process);
  const double mainBefore = ThreadProcessorSeconds(process, process);
  const double serverBefore = ProcessorSeconds(server);
  const Clock::time_point start = Clock::now();
  session.Device().TakeQueued();
  std::this_thread::sleep_for(IdleWatch);
  const double mainAfter = ThreadProcessorSeconds(process, process);
  const double after = ProcessorSeconds(process);
  const double serverAfter = ProcessorSeconds(server);
  const double seconds = MillisBetween(start, Clock::now()) / 1000.0;
  if (!session.Device().TakeQueued().empty())
    std::cerr << "    the program sent bytes while idle" << std::endl;
  if (before < 0 || after < 0 || mainBefore < 0 || mainAfter < 0) {
    FailIdle(kind, rows, "the program's process was not found");
    return;
  }
  if (kind == Program::Linux) {
    PrintRow(rows.program, program, ShareOfCore(after - before, seconds),
             MetIf(CorePercent(after - before, seconds) <= IdleShareGoal));
    return;
  }
  const double own = mainAfter - mainBefore;
  PrintRow(rows.program, program + " (program's thread)", ShareOfCore(own, seconds),
           MetIf(CorePercent(own, seconds) <= IdleShareGoal));
  PrintRow(rows.wineThreads, program + " (Wine's threads)", ShareOfCore(after - before - own, seconds),
           Verdict::NoGoal);
  if (server == 0 || serverBefore < 0 || serverAfter < 0) {
    PrintRow(rows.wineServer, program + " (wineserver)", "failed: wineserver not found", Verdict::Failed);
  } else {
    PrintRow(rows.wineServer, program + " (wineserver)", ShareOfCore(serverAfter - serverBefore, seconds),
             Verdict::NoGoal);
  }
}

// After an idle spell the device writes what in one write; the milliseconds from that write, which
// holds the query's last byte, to the reply's first byte.
std::optional<double> ReplyAfterIdle(devsim::Device& device, const devsim::Bytes& what) {
  device.TakeQueued();
  std::this_thread::sleep_for(IdleSpell);
  const Clock::time_point written = Clock::now();
  device.Send(what);
  uint8_t first;
  Clock::time_point at;
  if (!device.ReceiveByte(&first, devsim::Millis(5000), &at) || first != 'M') return std::nullopt;
  if (device.Receive(11, devsim::Millis(2000)).size() != 11) return std::nullopt;
  return MillisBetween(written, at);
}

// Two kinds of sample, taken in turn so that the machine's moods touch both alike: a character and
// the identification query (the character is drawn before the query is read, so its paint is in
// the figure and the figure bounds it), and the query alone (waking up and answering). The
// difference of the medians is the character's share.
void MeasureIdleReaction(ProgramSession& session, const std::string& program) {
  Progress(program, "answering the identification query after " + std::to_string(IdleSpell.count()) +
                        " ms idle, " + std::to_string(2 * IdleSamples) + " times");
  devsim::Bytes withCharacter = {'*'};
  withCharacter.insert(withCharacter.end(), IdentificationQuery.begin(), IdentificationQuery.end());
  std::vector<double> afterCharacter, alone;
  for (int i = 0; i < IdleSamples; ++i) {
    std::optional<double> a = ReplyAfterIdle(session.Device(), withCharacter);
    std::optional<double> b = ReplyAfterIdle(session.Device(), IdentificationQuery);
    if (!a || !b) {
      PrintRow(Measure::IdleCharacterReply, program, "failed: no reply", Verdict::Failed);
      PrintRow(Measure::IdleQueryReply, program, "failed: no reply", Verdict::Failed);
      return;
    }
    afterCharacter.push_back(*a);
    alone.push_back(*b);
  }
  const Summary withPaint = Summarize(afterCharacter);
  const Summary bare = Summarize(alone);
  const double share = withPaint.median - bare.median;
  PrintRow(Measure::IdleCharacterReply, program,
           Fixed(withPaint.median, 3) + " / " + Fixed(withPaint.p99, 3) + " ms (the character " +
               (share >= 0 ? "+" : "") + Fixed(share, 3) + " ms)",
           MetIf(withPaint.median <= IdleReplyGoalMs));
  PrintRow(Measure::IdleQueryReply, program, Fixed(bare.median, 3) + " / " + Fixed(bare.p99, 3) + " ms",
           MetIf(bare.median <= IdleReplyGoalMs));
}

void MeasureDrawing(ProgramSession& session, const std::string& program) {
  Progress(program, "drawing " + std::to_string(DrawnBytes) + " bytes in the window, " +
                        std::to_string(DrawingRuns) + " times");
  devsim::Device& device = session.Device();
  const devsim::Bytes text = PrintableLines(DrawnBytes);
  std::vector<double> rates;
  device.TakeQueued();
  for (int run = 0; run < DrawingRuns; ++run) {
    const Clock::time_point start = Clock::now();
    device.Send(text);
    std::optional<Clock::time_point> done = QueryAndAwaitReply(device, DrawingTimeout);
    if (!done) {
      PrintRow(Measure::DrawingWindow, program, "failed: no reply after the text", Verdict::Failed);
      return;
    }
    rates.push_back(DrawnBytes / (MillisBetween(start, *done) / 1000.0));
  }
  const Summary rate = Summarize(rates);
  PrintRow(Measure::DrawingWindow, program,
           Fixed(rate.median, 0) + " bytes/s (" + Fixed(rate.min, 0) + " to " + Fixed(rate.max, 0) + ")",
           MetIf(rate.median >= 24000));
}

void MeasureSend(ProgramSession& session, const std::string& program, bool recorded) {
  Progress(program, std::string("sending 60 blocks (about 50 s)") + (recorded ? ", recording the line" : ""));
  const Measure pacing = recorded ? Measure::PacingRecorded : Measure::Pacing;
  const Measure send = recorded ? Measure::BlockSendRecorded : Measure::BlockSend;
  devsim::Device& device = session.Device();
  const devsim::Bytes file = Pattern(Blocks * devsim::BlockSize, 7);
  const std::string path = session.Path("send.bin");
  session.WriteFile(path, file);
  device.TakeQueued();
  device.RequestFileFromTerminal();
  TakeTiming timing;
  if (!session.AnswerFileDialog(OpenDialogTitle, path))
    timing.failure = "no Open dialog";
  else
    timing = TakeTimed(device, file);
  if (!timing.failure.empty()) {
    PrintRow(pacing, program, "failed: " + timing.failure, Verdict::Failed);
    PrintRow(send, program, "failed: " + timing.failure, Verdict::Failed);
    return;
  }
  const std::vector<double> gaps = PacedGapsMs(timing);
  const Summary pause = Summarize(gaps);
  const Summary title = Summarize(TitleGapsMs(timing));
  std::cerr << "    " << pause.count << " pauses, " << Fixed(100 * ShareWithin(gaps, 5.0, 5.5), 2)
            << " % within 5.0-5.5 ms; the gap over the title update: median " << Fixed(title.median, 2)
            << " ms, max " << Fixed(title.max, 2) << " ms" << std::endl;
  PrintRow(pacing, program,
           Fixed(pause.min, 2) + " / " + Fixed(pause.median, 2) + " / " + Fixed(pause.p99, 2) + " ms (" +
               Fixed(pause.max, 2) + ")",
           MetIf(pause.median >= 5.0 && pause.median <= 5.5));
  const double seconds = MillisBetween(timing.firstSoh, timing.eot) / 1000.0;
  PrintRow(send, program, Fixed(seconds, 2) + " s (" + Percent(seconds, SendFloorSeconds) + ")",
           MetIf(seconds <= SendFloorSeconds * FloorAllowance));
}

// One receive of 60 blocks into a file that exists already (so the Save dialog asks nothing).
GiveTiming Receive(ProgramSession& session, const std::string& name, devsim::Millis holdChecksum) {
  devsim::Device& device = session.Device();
  const devsim::Bytes file = Pattern(Blocks * devsim::BlockSize, 11);
  const std::string path = session.Path(name);
  session.WriteFile(path, {});
  device.TakeQueued();
  device.OfferFileToTerminal();
  GiveTiming timing;
  if (!session.AnswerFileDialog(SaveDialogTitle, path)) {
    timing.failure = "no Save dialog";
    return timing;
  }
  timing = GiveTimed(device, file, holdChecksum);
  if (timing.failure.empty() && !WaitForFile(session, path, file))
    timing.failure = "the saved file differs from what was sent";
  return timing;
}

void MeasureReceive(ProgramSession& session, const std::string& program) {
  Progress(program, "receiving 60 blocks");
  GiveTiming timing = Receive(session, "received.bin", devsim::Millis(0));
  if (!timing.failure.empty()) {
    PrintRow(Measure::BlockReceive, program, "failed: " + timing.failure, Verdict::Failed);
    return;
  }
  const Summary answer = Summarize(timing.answersMs);
  std::cerr << "    block written to its ACK: median " << Fixed(answer.median, 2) << " ms, p99 "
            << Fixed(answer.p99, 2) << " ms (5 ms of it the pause after the previous ACK)" << std::endl;
  const double seconds = MillisBetween(timing.firstWrite, timing.lastAck) / 1000.0;
  PrintRow(Measure::BlockReceive, program,
           Fixed(seconds, 3) + " s (" + Percent(seconds, ReceiveFloorSeconds) + ")",
           MetIf(seconds <= ReceiveFloorSeconds * FloorAllowance));
}

void MeasureReaction(ProgramSession& session, const std::string& program, bool recorded) {
  Progress(program, std::string("receiving 60 blocks, each checksum byte held back") +
                        (recorded ? ", recording the line" : ""));
  const Measure measure = recorded ? Measure::ReceiveReactionRecorded : Measure::ReceiveReaction;
  GiveTiming timing = Receive(session, "reaction.bin", HeldChecksum);
  if (!timing.failure.empty()) {
    PrintRow(measure, program, "failed: " + timing.failure, Verdict::Failed);
    return;
  }
  const Summary reaction = Summarize(timing.answersMs);
  PrintRow(measure, program, Fixed(reaction.median, 3) + " / " + Fixed(reaction.p99, 3) + " ms",
           MetIf(reaction.median < 1.0));
}

void ReportStartUps(const std::string& program, std::vector<double> seconds) {
  if (seconds.empty()) {
    PrintRow(Measure::StartUp, program, "failed: no main window", Verdict::Failed);
    return;
  }
  std::string all;
  for (double s : seconds) all += (all.empty() ? "" : ", ") + Fixed(s, 2);
  PrintRow(Measure::StartUp, program, Fixed(Summarize(seconds).median, 2) + " s (" + all + ")",
           Verdict::NoGoal);
}

void FailAll(Program kind, const std::string& why) {
  for (Measure m :
       {Measure::Pacing, Measure::PacingRecorded, Measure::BlockSend, Measure::BlockSendRecorded,
        Measure::BlockReceive, Measure::ReceiveReaction, Measure::ReceiveReactionRecorded,
        Measure::IdleCharacterReply, Measure::IdleQueryReply, Measure::DrawingWindow, Measure::StartUp})
    PrintRow(m, ProgramName(kind), "failed: " + why, Verdict::Failed);
  if (kind == Program::Linux) {
    FailIdle(kind, LinuxIdle, why);
  } else {
    FailIdle(kind, LookingIdle, why);
    FailIdle(kind, WaitingIdle, why);
  }
}

// The Windows program once more, its idle wait pending in WaitCommEvent as on a real port; in the
// other sessions Wine ends every such wait at once and the program looks at the line every 1 ms.
void MeasureWaitingPath(Program kind) {
  const std::string program = ProgramName(kind);
  ProgramSession session(kind, Setup::AnswerModemStatus);
  if (!session.Missing().empty()) {
    FailIdle(kind, WaitingIdle, session.Missing());
    return;
  }
  Progress(program, "starting with the modem-status query answered");
  if (!session.StartAndTimeWindow() || !QueryAndAwaitReply(session.Device(), devsim::Millis(10000))) {
    FailIdle(kind, WaitingIdle, "the program did not come up");
    return;
  }
  MeasureIdleProcessor(session, kind, WaitingIdle);
  if (!session.Close()) std::cerr << "  " << program << ": did not close cleanly" << std::endl;
}

int Run(Program kind) {
  const std::string program = ProgramName(kind);
  std::vector<double> startUps;
  {
    ProgramSession session(kind);
    if (!session.Missing().empty()) {
      FailAll(kind, session.Missing());
      return 1;
    }
    Progress(program, "starting");
    std::optional<double> shown = session.StartAndTimeWindow();
    if (!shown || !QueryAndAwaitReply(session.Device(), devsim::Millis(10000))) {
      FailAll(kind, "the program did not come up");
      return 1;
    }
    startUps.push_back(*shown);
    MeasureIdleProcessor(session, kind, kind == Program::Linux ? LinuxIdle : LookingIdle);
    MeasureIdleReaction(session, program);
    // Drawing comes last: Wine goes on starting its background services for some seconds after
    // the window is shown, and they would compete with the first text drawn.
    MeasureSend(session, program, false);
    MeasureReceive(session, program);
    MeasureReaction(session, program, false);
    MeasureDrawing(session, program);
    if (!session.Close()) std::cerr << "  " << program << ": did not close cleanly" << std::endl;
  }
  {
    // The same send and reaction once more with the record of the line on, beside the figures above.
    ProgramSession session(kind, Setup::RecordLine);
    Progress(program, "starting with --log");
    if (session.StartAndTimeWindow() && QueryAndAwaitReply(session.Device(), devsim::Millis(10000))) {
      MeasureSend(session, program, true);
      MeasureReaction(session, program, true);
    }
    session.Close();
  }
  if (kind != Program::Linux) MeasureWaitingPath(kind);
  for (int run = 1; run < 3; ++run) {
    Progress(program, "starting again");
    ProgramSession session(kind);
    std::optional<double> shown = session.StartAndTimeWindow();
    if (shown) startUps.push_back(*shown);
    session.Close();
  }
  ReportStartUps(program, startUps);
  return 0;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  const std::string which = argc == 2 ? argv[1] : "";
  if (which == "linux") return bench::Run(bench::Program::Linux);
  if (which == "wine32") return bench::Run(bench::Program::Wine32);
  if (which == "wine64") return bench::Run(bench::Program::Wine64);
  std::cerr << "usage: window_bench linux|wine32|wine64" << std::endl;
  return 2;
}

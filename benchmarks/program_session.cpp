#include "program_session.h"

#include <chrono>
#include <thread>

#include "observer.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Millis;

constexpr Millis WindowTimeout(60000);
constexpr Millis WindowPoll(10);
// The normal title of COM1 up to the maker's notice, as an xdotool name pattern.
const char NormalTitle[] = "^ Mirelox v2\\.2  \\|   COM1: 4800 8N1   \\|   select comport F1\\.\\.F6   \\|";

std::string Exactly(const std::string& title) {
  std::string pattern = "^";
  for (char c : title) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

}  // namespace

ProgramSession::ProgramSession(e2e::ProgramKind kind)
    : device_(workspace_.Path("com1")), launcher_(e2e::MakeLauncher(kind)) {
  workspace_.WriteConfiguration('1');
  RaiseObserverThreads();
}

ProgramSession::~ProgramSession() {
  if (program_) program_->Kill();
  program_.reset();
  launcher_->CleanUp();
}

std::optional<double> ProgramSession::StartAndTimeWindow() {
  e2e::DisplayName();  // the display is up before the clock starts
  program_ = launcher_->Start(workspace_, {{1, device_.LinkPath()}});
  const auto started = Clock::now();
  const auto deadline = started + WindowTimeout;
  for (;;) {
    auto found = e2e::FindWindows(NormalTitle, Millis(0));
    if (!found.empty()) {
      mainWindow_ = found.front();
      return std::chrono::duration<double>(Clock::now() - started).count();
    }
    if (Clock::now() >= deadline || !program_->Running()) return std::nullopt;
    std::this_thread::sleep_for(WindowPoll);
  }
}

bool ProgramSession::AnswerFileDialog(const std::string& title, const std::string& path) {
  const std::string pattern = Exactly(title);
  e2e::WindowId dialog = e2e::FindWindow(pattern, WindowTimeout);
  if (dialog.empty()) return false;
  launcher_->ChooseInFileDialog(dialog, pattern, path);
  return true;
}

bool ProgramSession::Close() {
  if (!program_ || mainWindow_.empty()) return false;
  e2e::CloseWindow(mainWindow_);
  std::optional<int> code = program_->WaitForExit(Millis(20000));
  program_.reset();
  launcher_->CleanUp();
  return code == 0;
}

}  // namespace bench

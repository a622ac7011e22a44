#include "program_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "observer.h"

extern char** environ;

namespace bench {

const char OpenDialogTitle[] = "Send a file to the device";
const char SaveDialogTitle[] = "Save the file from the device";

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;
using Environment = std::map<std::string, std::string>;  // added to, or replacing, our own

constexpr Millis WindowTimeout(60000);
constexpr Millis CommandTimeout(60000);
constexpr Millis ExitTimeout(10000);

// The digit of COM1, then ten message lines, CR LF ended; lines 3 and 5 title the file dialogs.
const char* const ConfigurationLines[] = {
    "1",
    "Mirelox benchmark configuration",
    "Text page missing: ",
    "Binary files",
    OpenDialogTitle,
    "unused line four",
    SaveDialogTitle,
    "Receiving block ",
    "Cannot create the received file",
    "Cannot open the file to send",
    "Sending block ",
};

// The normal title of COM1 up to the maker's notice, as an xdotool name pattern.
const char NormalTitle[] = "^ Mirelox v2\\.2  \\|   COM1: 4800 8N1   \\|   select comport F1\\.\\.F6   \\|";

std::string Exactly(const std::string& title) {
  std::string pattern = "^";
  for (char c : title) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

// What differs between the two Windows programs: the file, and the prefix made for their bits.
struct WineBits {
  const char* exe;
  const char* prefix;
  const char* arch;
};

WineBits BitsOf(Program program) {
  if (program == Program::Wine32) return {MIRELOX_BENCH_WIN32_EXE, MIRELOX_BENCH_WINEPREFIX32, "win32"};
  return {MIRELOX_BENCH_WIN64_EXE, MIRELOX_BENCH_WINEPREFIX64, "win64"};
}

Environment WineEnvironment(Program program) {
  return {{"WINEPREFIX", BitsOf(program).prefix},
          {"WINEARCH", BitsOf(program).arch},
          {"WINEDEBUG", "-all"},
          {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

// The copy of the modem-lines library that processes of one kind load, lib being what $LIB
// stands for in them.
std::string ModemLinesCopy(const std::string& lib) {
  std::string path = MIRELOX_BENCH_MODEM_LINES;
  const size_t at = path.find("$LIB");
  return at == std::string::npos ? path : path.replace(at, 4, lib);
}

// Starts argv (searched in PATH) in its own process group, with standard output on output and
// standard error on errors (ours when -1), reading nothing. Everything the child needs is made
// before fork: the benchmark has other threads (the simulator's reader), so the child only execs.
pid_t Spawn(const std::vector<std::string>& argv, const Environment& changes, const std::string& folder,
            int output, int errors) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (changes.count(text.substr(0, text.find('='))) == 0) environment.push_back(text);
  }
  for (const auto& [name, value] : changes) environment.push_back(name + "=" + value);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    setpgid(0, 0);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    dup2(nothing, STDIN_FILENO);
    if (output >= 0) dup2(output, STDOUT_FILENO);
    if (errors >= 0) dup2(errors, STDERR_FILENO);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(nothing);
  setpgid(pid, pid);  // also here, so that a kill right after the fork reaches the group
  return pid;
}

std::optional<int> WaitForExit(pid_t pid, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Millis(10));
  }
}

void KillGroup(pid_t pid) {
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Runs a short command to its end and returns its standard output; its errors go to ours. A
// command that hangs (xdotool --sync on a window that went away) is killed after a minute.
std::string Run(const std::vector<std::string>& argv, const Environment& changes = {}) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  const pid_t pid = Spawn(argv, changes, "", fds[1], -1);
  close(fds[1]);
  std::string output;
  const auto deadline = Clock::now() + CommandTimeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    pollfd ready = {fds[0], POLLIN, 0};
    if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) {
      std::cerr << "  " << argv.front() << " did not end; killed" << std::endl;
      kill(-pid, SIGKILL);
      break;
    }
    char buffer[4096];
    const ssize_t count = read(fds[0], buffer, sizeof buffer);
    if (count <= 0) break;
    output.append(buffer, static_cast<size_t>(count));
  }
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<std::string> FindWindows(const std::string& pattern) {
  return Lines(Run({"xdotool", "search", "--onlyvisible", "--name", pattern}));
}

std::string WaitForWindow(const std::string& pattern, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    std::vector<std::string> found = FindWindows(pattern);
    if (!found.empty()) return found.front();
    if (Clock::now() >= deadline) return "";
    std::this_thread::sleep_for(Millis(100));
  }
}

bool WaitUntilGone(const std::string& window, const std::string& pattern, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    std::vector<std::string> open = FindWindows(pattern);
    if (std::find(open.begin(), open.end(), window) == open.end()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(100));
  }
}

std::string WindowsPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows)
    if (c == '/') c = '\\';
  return windows;
}

// The fields of /proc/<pid>/stat (or of a thread's stat file) after the command name, which may
// itself hold blanks: the first is the state, the third the process group, the twelfth and
// thirteenth utime and stime.
std::vector<std::string> StatFields(const std::string& file) {
  std::ifstream in(file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t end = text.rfind(')');
  std::vector<std::string> fields;
  if (end == std::string::npos) return fields;
  std::istringstream rest(text.substr(end + 1));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

std::string StatFile(pid_t pid) {
  return "/proc/" + std::to_string(pid) + "/stat";
}

double ProcessorSecondsIn(const std::string& statFile) {
  const std::vector<std::string> fields = StatFields(statFile);
  if (fields.size() < 13) return -1;
  const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string CommandName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

std::vector<pid_t> Processes() {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid > 0) pids.push_back(pid);
  }
  closedir(proc);
  return pids;
}

}  // namespace

std::string ProgramName(Program program) {
  switch (program) {
    case Program::Linux:
      return "Linux";
    case Program::Wine32:
      return "Wine 32-bit";
    case Program::Wine64:
      return "Wine 64-bit";
  }
  return "?";
}

double ProcessorSeconds(pid_t pid) {
  return pid > 0 ? ProcessorSecondsIn(StatFile(pid)) : -1;
}

double ThreadProcessorSeconds(pid_t process, pid_t thread) {
  if (process <= 0 || thread <= 0) return -1;
  return ProcessorSecondsIn("/proc/" + std::to_string(process) + "/task/" + std::to_string(thread) + "/stat");
}

std::string ProgramSession::MakeWorkspace() {
  char pattern[] = "/tmp/mirelox-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  return pattern;
}

ProgramSession::ProgramSession(Program program, Setup setup)
    : program_(program), setup_(setup), root_(MakeWorkspace()), device_(Path("com1")) {
  std::string configuration;
  for (const char* line : ConfigurationLines) configuration += std::string(line) + "\r\n";
  WriteFile(Path("MIRELOX.CFG"), devsim::ToBytes(configuration));
  RaiseObserverThreads();
}

ProgramSession::~ProgramSession() {
  if (child_ > 0) KillGroup(child_);
  if (program_ != Program::Linux && started_) Run({"wineserver", "-k"}, WineEnvironment(program_));
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string ProgramSession::Missing() const {
  if (std::getenv("DISPLAY") == nullptr) return "no DISPLAY (scripts/bench.sh starts an Xvfb)";
  if (program_ == Program::Linux)
    return access(MIRELOX_BENCH_LINUX_EXE, X_OK) == 0 ? "" : "no program at " MIRELOX_BENCH_LINUX_EXE;
  const WineBits bits = BitsOf(program_);
  if (access(bits.exe, R_OK) != 0) return std::string("no program at ") + bits.exe;
  if (access((std::string(bits.prefix) + "/system.reg").c_str(), R_OK) != 0)
    return std::string("no Wine prefix at ") + bits.prefix + " (scripts/bench.sh makes it)";
  if (setup_ == Setup::AnswerModemStatus) {
    // Debian starts the 64-bit server whenever wine64 is installed, whichever program it serves.
    std::vector<std::string> copies = {ModemLinesCopy("lib/x86_64-linux-gnu")};
    if (program_ == Program::Wine32) copies.push_back(ModemLinesCopy("lib/i386-linux-gnu"));
    for (const std::string& copy : copies)
      if (access(copy.c_str(), R_OK) != 0) return "no " + copy + " (scripts/bench.sh builds it)";
  }
  return "";
}

std::optional<double> ProgramSession::StartAndTimeWindow() {
  const int log = open(Path("program.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (program_ == Program::Linux) {
    std::vector<std::string> argv = {MIRELOX_BENCH_LINUX_EXE};
    if (setup_ == Setup::RecordLine) argv.insert(argv.end(), {"--log", Path("line.txt")});
    child_ = Spawn(argv,
                   {{"MIRELOX_COM1", device_.LinkPath()},
                    {"HOME", root_},
                    {"GSETTINGS_BACKEND", "memory"},
                    {"NO_AT_BRIDGE", "1"}},
                   root_, log, log);
  } else {
    const WineBits bits = BitsOf(program_);
    Environment environment = WineEnvironment(program_);
    std::filesystem::copy_file(bits.exe, Path("mirelox.exe"),
                               std::filesystem::copy_options::overwrite_existing);
    Run({"bash", MIRELOX_BENCH_REPOSITORY "/platform/win32/wine-prefix.sh", "map-port", bits.prefix, "1",
         device_.LinkPath()},
        environment);
    // The wineserver that the program starts inherits the preload; map-port has waited for the
    // previous one to end.
    if (setup_ == Setup::AnswerModemStatus) environment["LD_PRELOAD"] = MIRELOX_BENCH_MODEM_LINES;
    // wine-env.sh names the loader for the program's bits, as in the tests and the demo.
    std::vector<std::string> argv = {"bash", "-c", ". \"$0\" && exec \"$WINE\" \"$@\"",
                                     MIRELOX_BENCH_REPOSITORY "/platform/win32/wine-env.sh", "mirelox.exe"};
    if (setup_ == Setup::RecordLine) argv.insert(argv.end(), {"--log", WindowsPath(Path("line.txt"))});
    child_ = Spawn(argv, environment, root_, log, log);
  }
  close(log);
  started_ = true;
  const auto started = Clock::now();
  const auto deadline = started + WindowTimeout;
  for (;;) {
    std::vector<std::string> found = FindWindows(NormalTitle);
    if (!found.empty()) {
      mainWindow_ = found.front();
      return std::chrono::duration<double>(Clock::now() - started).count();
    }
    if (Clock::now() >= deadline) break;
    if (std::optional<int> code = WaitForExit(child_, Millis(0))) {
      std::cerr << "  the program ended with code " << *code << std::endl;
      child_ = 0;
      break;
    }
    std::this_thread::sleep_for(Millis(10));
  }
  std::ifstream output(Path("program.log"));
  std::cerr << "  no main window; the program's output:\n" << output.rdbuf() << std::endl;
  return std::nullopt;
}

bool ProgramSession::AnswerFileDialog(const std::string& title, const std::string& path) {
  const std::string pattern = Exactly(title);
  const std::string dialog = WaitForWindow(pattern, WindowTimeout);
  if (dialog.empty()) return false;
  if (program_ != Program::Linux) {
    Run({"xdotool", "windowfocus", "--sync", dialog});
    std::this_thread::sleep_for(Millis(300));
    Run({"xdotool", "type", "--delay", "40", WindowsPath(path)});
    Run({"xdotool", "key", "Return"});
    return WaitUntilGone(dialog, pattern, Millis(5000));
  }
  // The chooser's location entry opens on ctrl+L, and a path typed before it is ready loses
  // characters; on a busy machine that still happens now and then, so the typing is repeated over
  // the selected entry while the chooser stays open.
  for (int attempt = 0; attempt < 3; ++attempt) {
    Run({"xdotool", "windowfocus", "--sync", dialog, "key", "ctrl+l"});
    std::this_thread::sleep_for(Millis(500));
    Run({"xdotool", "key", "ctrl+a", "type", "--delay", "40", path});
    std::this_thread::sleep_for(Millis(200));
    Run({"xdotool", "key", "Return"});
    if (WaitUntilGone(dialog, pattern, Millis(3000))) return true;
  }
  return false;
}

bool ProgramSession::Close() {
  if (child_ <= 0 || mainWindow_.empty()) return false;
  std::optional<int> code;
  for (int attempt = 0; attempt < 3 && !code; ++attempt) {
    Run({"xdotool", "windowfocus", "--sync", mainWindow_, "key", "--delay", "100", "alt+f", "x"});
    code = WaitForExit(child_, ExitTimeout);
  }
  if (!code) KillGroup(child_);
  child_ = 0;
  return code == 0;
}

pid_t ProgramSession::ProgramProcess() const {
  if (child_ <= 0) return 0;
  const std::string name = program_ == Program::Linux ? "mirelox" : "mirelox.exe";
  const std::string group = std::to_string(child_);
  for (pid_t pid : Processes()) {
    std::vector<std::string> fields = StatFields(StatFile(pid));
    if (fields.size() > 2 && fields[2] == group && CommandName(pid) == name) return pid;
  }
  return 0;
}

// Wine's server works in a folder named after the prefix's device and inode numbers.
pid_t ProgramSession::WineServerProcess() const {
  struct stat prefix;
  if (program_ == Program::Linux || stat(BitsOf(program_).prefix, &prefix) != 0) return 0;
  char folder[64];
  std::snprintf(folder, sizeof folder, "/server-%llx-%llx", static_cast<unsigned long long>(prefix.st_dev),
                static_cast<unsigned long long>(prefix.st_ino));
  for (pid_t pid : Processes()) {
    if (CommandName(pid).rfind("wineserver", 0) != 0) continue;
    std::error_code error;
    const std::string cwd = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/cwd", error);
    if (!error && cwd.size() >= std::strlen(folder) &&
        cwd.compare(cwd.size() - std::strlen(folder), std::string::npos, folder) == 0)
      return pid;
  }
  return 0;
}

void ProgramSession::WriteFile(const std::string& path, const devsim::Bytes& bytes) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

devsim::Bytes ProgramSession::ReadFile(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  return devsim::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace bench

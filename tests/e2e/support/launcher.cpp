#include "support/launcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

constexpr int PortCount = 6;
const char NoSuchPort[] = "/nonexistent/mirelox-e2e-port";

std::string ProgramLog(const Workspace& workspace) {
  return workspace.Path("program.log");
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The last record of the message log the preloaded library writes: "message:<length>:<text>\n".
std::optional<std::string> LastLoggedMessage(const std::string& path) {
  std::string log = ReadAll(path);
  std::optional<std::string> last;
  for (size_t at = log.find("message:"); at != std::string::npos; at = log.find("message:", at + 1)) {
    size_t colon = log.find(':', at + 8);
    if (colon == std::string::npos) break;
    size_t length = std::stoul(log.substr(at + 8, colon - at - 8));
    last = log.substr(colon + 1, length);
    at = colon + length;
  }
  return last;
}

// Wine's trace of window texts quotes them as C strings: L"...\n...".
std::string UnquoteWineString(const std::string& quoted) {
  std::string text;
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 == quoted.size()) {
      text += quoted[i];
      continue;
    }
    char next = quoted[++i];
    if (next == 'n')
      text += '\n';
    else if (next == 'r')
      text += '\r';
    else if (next == 't')
      text += '\t';
    else if (next == 'x' && i + 2 < quoted.size()) {
      text += static_cast<char>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      text += next;
  }
  return text;
}

// A message box sets its caption and then its text; the text is the window text set right after
// the last caption "Error".
std::optional<std::string> LastWineBoxText(const std::string& logPath) {
  std::istringstream log(ReadAll(logPath));
  const std::string marker = "set_window_text L\"";
  std::optional<std::string> text;
  bool afterCaption = false;
  for (std::string line; std::getline(log, line);) {
    size_t at = line.find(marker);
    if (at == std::string::npos) continue;
    std::string quoted = line.substr(at + marker.size());
    if (!quoted.empty() && quoted.back() == '"') quoted.pop_back();
    if (afterCaption) text = UnquoteWineString(quoted);
    afterCaption = quoted == "Error";
  }
  return text;
}

// The dialog has closed, or a question (with the dialog's title) has come up over it.
bool DialogAnswered(const WindowId& dialog, const std::string& titlePattern, Millis timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto open = FindWindows(titlePattern, Millis(0));
    if (open.size() > 1 || std::find(open.begin(), open.end(), dialog) == open.end()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(100));
  }
}

class LinuxLauncher : public Launcher {
 public:
  ProgramKind Kind() const override { return ProgramKind::Linux; }

  std::string Missing() const override {
    return access(MIRELOX_E2E_LINUX_EXE, X_OK) == 0 ? "" : "no program at " MIRELOX_E2E_LINUX_EXE;
  }

  std::unique_ptr<ChildProcess> Start(const Workspace& workspace, const PortMap& ports) override {
    std::string runtime = workspace.HomeFolder() + "/run";
    mkdir(runtime.c_str(), 0700);
    Environment environment = {{"DISPLAY", DisplayName()},
                               {"HOME", workspace.HomeFolder()},
                               {"XDG_RUNTIME_DIR", runtime},
                               {"GSETTINGS_BACKEND", "memory"},
                               {"NO_AT_BRIDGE", "1"},
                               {"GDK_BACKEND", "x11"},
                               {"LD_PRELOAD", MIRELOX_E2E_MESSAGE_LOG_PRELOAD},
                               {"MIRELOX_E2E_MESSAGE_LOG", workspace.Path("messages.log")}};
    messageLog_ = workspace.Path("messages.log");
    for (int n = 1; n <= PortCount; ++n) {
      auto port = ports.find(n);
      environment["MIRELOX_COM" + std::to_string(n)] = port != ports.end() ? port->second : NoSuchPort;
    }
    return std::make_unique<ChildProcess>(std::vector<std::string>{MIRELOX_E2E_LINUX_EXE}, environment,
                                          workspace.ProgramFolder(), ProgramLog(workspace));
  }

  void ChooseInFileDialog(const WindowId& dialog, const std::string& titlePattern,
                          const std::string& path) override {
    // The chooser's location entry opens on ctrl+L, and a path typed before it is ready loses
    // characters; on a busy machine that still happens now and then, so the typing is repeated
    // (over the selected entry) while the chooser neither closes nor asks a question.
    for (int attempt = 0; attempt < 3; ++attempt) {
      FocusWindow(dialog);
      PressKeys({"ctrl+l"});
      std::this_thread::sleep_for(Millis(500));
      PressKeys({"ctrl+a"});
      TypeText(path);
      std::this_thread::sleep_for(Millis(200));
      PressKeys({"Return"});
      if (DialogAnswered(dialog, titlePattern, Millis(3000))) return;
    }
  }

  bool SaveDialogAsksBeforeCreating() const override { return true; }

  std::optional<std::string> MessageBoxText(const WindowId&) override {
    return LastLoggedMessage(messageLog_);
  }

 private:
  std::string messageLog_;
};

class WineLauncher : public Launcher {
 public:
  ProgramKind Kind() const override { return ProgramKind::Wine; }

  std::string Missing() const override {
    if (access(MIRELOX_E2E_WIN_EXE, R_OK) != 0) return "no program at " MIRELOX_E2E_WIN_EXE;
    if (access(MIRELOX_E2E_WINEPREFIX "/system.reg", R_OK) != 0)
      return "no Wine prefix at " MIRELOX_E2E_WINEPREFIX " (the prefix setup test makes it)";
    return "";
  }

  std::unique_ptr<ChildProcess> Start(const Workspace& workspace, const PortMap& ports) override {
    std::filesystem::copy_file(MIRELOX_E2E_WIN_EXE, workspace.ProgramFolder() + "/mirelox.exe",
                               std::filesystem::copy_options::overwrite_existing);
    MapPorts(workspace, ports);
    programLog_ = ProgramLog(workspace);
    return std::make_unique<ChildProcess>(std::vector<std::string>{"wine", "mirelox.exe"}, WineEnvironment(),
                                          workspace.ProgramFolder(), ProgramLog(workspace));
  }

  void ChooseInFileDialog(const WindowId& dialog, const std::string&, const std::string& path) override {
    FocusWindow(dialog);
    std::this_thread::sleep_for(Millis(300));
    TypeText(WindowsPath(path));
    PressKeys({"Return"});
  }

  bool SaveDialogAsksBeforeCreating() const override { return false; }

  std::optional<std::string> MessageBoxText(const WindowId&) override { return LastWineBoxText(programLog_); }

  void CleanUp() override { RunCommand({"wineserver", "-k"}, WineEnvironment()); }

 private:
  std::string programLog_;

  // The one trace channel on records every window text, message box texts among them.
  static Environment WineEnvironment() {
    return {{"DISPLAY", DisplayName()},
            {"WINEPREFIX", MIRELOX_E2E_WINEPREFIX},
            {"WINEARCH", "win32"},
            {"WINEDEBUG", "-all,trace+win"},
            {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
  }

  static std::string WindowsPath(const std::string& path) {
    std::string windows = "Z:" + path;
    for (char& c : windows)
      if (c == '/') c = '\\';
    return windows;
  }

  // One regedit run for all six ports (each `wine reg add` would start Wine anew), then the wait
  // for wineserver to save, so that the program's Wine session sets its COM devices from it.
  static void MapPorts(const Workspace& workspace, const PortMap& ports) {
    std::string regFile = workspace.Path("ports.reg");
    std::ofstream out(regFile);
    out << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n";
    for (int n = 1; n <= PortCount; ++n) {
      auto port = ports.find(n);
      out << "\"COM" << n << "\"=\"" << (port != ports.end() ? port->second : NoSuchPort) << "\"\r\n";
    }
    out.close();
    RunCommand({"wine", "regedit", "/S", WindowsPath(regFile)}, WineEnvironment(), Millis(60000));
    RunCommand({"wineserver", "-w"}, WineEnvironment(), Millis(60000));
  }
};

}  // namespace

std::string KindName(ProgramKind kind) {
  return kind == ProgramKind::Linux ? "Linux" : "Wine";
}

void PrintTo(ProgramKind kind, std::ostream* out) {
  *out << KindName(kind);
}

std::unique_ptr<Launcher> MakeLauncher(ProgramKind kind) {
  if (kind == ProgramKind::Linux) return std::make_unique<LinuxLauncher>();
  return std::make_unique<WineLauncher>();
}

}  // namespace e2e

// mirelox-devsim: plays the serial device for the terminal program on a pseudo-terminal.
// It prints the pty's name, then either runs the demo once the program has opened the port, or
// (--script) does what the lines of its standard input say, answering each with one line.
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "devsim/block_transfer.h"
#include "devsim/demo.h"
#include "devsim/device.h"
#include "devsim/session.h"

namespace {

using devsim::Bytes;
using devsim::Millis;

struct Options {
  std::string link;
  bool demo = false;
  bool script = false;
  pid_t pid = 0;
  int waitSeconds = 600;
};

void Usage() {
  std::cerr << "usage: mirelox-devsim --link PATH (--demo [--pid PID] [--wait SECONDS] | --script)\n"
               "  --link PATH   symlink to the pty that the terminal opens as its COM port\n"
               "  --demo        draw a menu and act on single keys; its text pages (tools/demo)\n"
               "                must lie beside the terminal's MIRELOX.CFG. It ends when the port\n"
               "                is closed, its link is removed, or on SIGINT or SIGTERM\n"
               "  --pid PID     end the demo when this process ends, rather than when the port is closed\n"
               "  --wait SECS   how long the demo waits for the terminal to open the port (600)\n"
               "  --script      one command a line on stdin, one answer line (ok ... or fail ...) each;\n"
               "                BYTES may hold \\e \\r \\n \\\\ and \\xNN, and ends the line:\n"
               "    send BYTES          write them to the terminal\n"
               "    expect MS BYTES     the terminal sends exactly these within MS: ok SPAN_MS\n"
               "    silence MS          the terminal sends nothing for MS\n"
               "    query               the identification query: ok REPLY\n"
               "    take FILE [reject=K] [eot] [silent=K]   ESC [ R, then receive FILE; block K\n"
               "                        is refused once, the first EOT refused, or no answer after K\n"
               "    give FILE [badsum=K] [missack=K] [silent=K]   ESC [ T, then send FILE; block K\n"
               "                        has a bad checksum once, is sent again, or breaks off\n"
               "    run COMMAND         relay the line to sh -c COMMAND until it ends: ok STATUS\n"
               "    transcript FILE     write two lines to FILE: sent HEX, received HEX (all so far)\n"
               "    unplug              close the device's end of the line and remove the link, as a\n"
               "                        device that is pulled out or powered off\n"
               "    plug                a new pseudo-terminal at the same link: the device is back\n"
               "    quit                once the terminal has read what was sent, close the line and end\n"
               "                        (so does the end of stdin)\n";
}

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--link" && hasValue) {
      options->link = argv[++i];
    } else if (arg == "--demo") {
      options->demo = true;
    } else if (arg == "--script") {
      options->script = true;
    } else if (arg == "--wait" && hasValue) {
      options->waitSeconds = std::atoi(argv[++i]);
    } else if (arg == "--pid" && hasValue) {
      options->pid = static_cast<pid_t>(std::atoi(argv[++i]));
    } else {
      return false;
    }
  }
  return !options->link.empty() && options->demo != options->script;
}

Bytes Unescape(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out.push_back(static_cast<uint8_t>(c));
      continue;
    }
    c = text[++i];
    if (c == 'x' && i + 2 < text.size()) {
      out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(c == 'e' ? devsim::Esc : c == 'r' ? '\r' : c == 'n' ? '\n' : static_cast<uint8_t>(c));
    }
  }
  return out;
}

// The value of "name=K" among the words after a file name, 0 when absent.
int Option(const std::string& words, const std::string& name) {
  std::istringstream in(words);
  for (std::string word; in >> word;)
    if (word.rfind(name + "=", 0) == 0) return std::atoi(word.c_str() + name.size() + 1);
  return 0;
}

std::string Hex(const Bytes& bytes) {
  std::string out;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    out += pair;
  }
  return out;
}

std::string Numbers(const std::vector<uint8_t>& numbers) {
  std::string out;
  for (uint8_t n : numbers) out += (out.empty() ? "" : ",") + std::to_string(n);
  return out;
}

// What a standard peer (say lrzsz) on the device's side makes of the line, through a socket pair.
int Relay(devsim::Device& device, const std::string& command) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    dup2(pair[1], 0);
    dup2(pair[1], 1);
    close(pair[0]);
    close(pair[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pair[1]);
  for (;;) {
    for (const auto& b : device.TakeQueued()) send(pair[0], &b.value, 1, MSG_NOSIGNAL);
    pollfd fd = {pair[0], POLLIN, 0};
    if (poll(&fd, 1, 2) != 1) continue;
    uint8_t buffer[256];
    ssize_t count = read(pair[0], buffer, sizeof buffer);
    if (count <= 0) break;  // the command has ended
    device.Send(Bytes(buffer, buffer + count));
  }
  close(pair[0]);
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Command(devsim::Device& device, const std::string& verb, const std::string& rest) {
  std::istringstream words(rest);
  std::string first;
  words >> first;
  std::string after = rest.substr(std::min(rest.size(), first.size() + 1));
  if (verb == "send") {
    device.Send(Unescape(rest));
  } else if (verb == "expect") {
    Bytes expected = Unescape(after);
    auto got = device.ReceiveTimed(expected.size(), Millis(std::atoi(first.c_str())));
    Bytes values;
    for (const auto& b : got) values.push_back(b.value);
    if (values != expected || got.empty()) return "fail got " + devsim::Printable(values);
    return "ok " + std::to_string(std::chrono::duration_cast<Millis>(got.back().at - got[0].at).count());
  } else if (verb == "silence") {
    Bytes got = device.ReceiveFor(Millis(std::atoi(first.c_str())));
    if (!got.empty()) return "fail got " + devsim::Printable(got);
  } else if (verb == "query") {
    return "ok " + devsim::Printable(device.QueryIdentification(Millis(5000)));
  } else if (verb == "take") {
    device.RequestFileFromTerminal();
    devsim::TakeFaults faults{Option(after, "reject"), after.find("eot") != std::string::npos,
                              Option(after, "silent")};
    auto result = devsim::TakeFileFromTerminal(device, faults, Millis(30000));
    std::ofstream(first, std::ios::binary)
        .write(reinterpret_cast<const char*>(result.data.data()),
               static_cast<std::streamsize>(result.data.size()));
    std::string report = "blocks=" + Numbers(result.numbers) + " eot=" + std::to_string(result.eotCount);
    return result.completed ? "ok " + report : "fail " + result.failure + " " + report;
  } else if (verb == "give") {
    std::ifstream in(first, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    devsim::GiveFaults faults;
    faults.badChecksumBlock = Option(after, "badsum");
    faults.missedAckBlock = Option(after, "missack");
    faults.silentInBlock = Option(after, "silent");
    device.OfferFileToTerminal();
    auto result = devsim::GiveFileToTerminal(device, data, faults, Millis(30000));
    std::string report =
        "sent=" + std::to_string(result.blocksSent) + " naks=" + std::to_string(result.naksReceived);
    return result.completed ? "ok " + report : "fail " + result.failure + " " + report;
  } else if (verb == "run") {
    return "ok " + std::to_string(Relay(device, rest));
  } else if (verb == "transcript") {
    std::ofstream out(first);
    out << "sent " << Hex(device.SentSoFar()) << "\nreceived " << Hex(device.ReceivedSoFar()) << "\n";
    if (!out) return "fail cannot write " + first;
  } else {
    return "fail unknown command " + verb;
  }
  return "ok";
}

int RunScript(std::unique_ptr<devsim::Device> device, const std::string& link) {
  for (std::string line; std::getline(std::cin, line);) {
    size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    if (verb == "quit") {  // once the program has read what was sent
      for (int i = 0; device && i < 500 && device->Unread() > 0; ++i) usleep(10000);
      break;
    }
    std::string answer = "ok";
    if (verb == "unplug") {
      device.reset();
    } else if (verb == "plug") {
      if (!device) device = std::make_unique<devsim::Device>(link);
    } else {
      answer = device ? Command(*device, verb, space == std::string::npos ? "" : line.substr(space + 1))
                      : "fail unplugged";
    }
    std::cout << answer << std::endl;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    Usage();
    return 2;
  }
  try {
    auto device = std::make_unique<devsim::Device>(options.link);
    std::cerr << "pty: " << device->SlavePath() << "\nlink: " << device->LinkPath() << std::endl;
    if (options.script) return RunScript(std::move(device), options.link);
    devsim::Session::InstallStopSignals();
    devsim::Session session(*device, options.pid);
    if (!session.WaitForProgram(Millis(options.waitSeconds * 1000))) {
      std::cerr << "mirelox-devsim: no program opened the port\n";
      return 1;
    }
    return devsim::RunDemo(*device, session);
  } catch (const std::exception& error) {
    std::cerr << "mirelox-devsim: " << error.what() << "\n";
    return 1;
  }
}

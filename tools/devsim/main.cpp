// mirelox-devsim: plays the serial device for the terminal program on a pseudo-terminal.
// It prints the pty's name, waits for the program to open the port, then does what the options
// ask: send a file of raw bytes, take or give a file with the block protocol, echo, or the demo.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>

#include "devsim/block_transfer.h"
#include "devsim/demo.h"
#include "devsim/device.h"
#include "devsim/session.h"

namespace {

struct Options {
  std::string link;
  bool echo = false;
  bool demo = false;
  std::string sendFile;
  std::string takeInto;
  std::string giveFile;
  pid_t pid = 0;
  int waitSeconds = 600;
};

void Usage() {
  std::cerr << "usage: mirelox-devsim --link PATH [--echo] [--send FILE] [--take INTO] [--give FILE]\n"
               "                      [--demo] [--pid PID] [--wait SECONDS]\n"
               "  --link PATH   symlink to the pty that the terminal opens as its COM port\n"
               "  --echo        send back every byte the terminal sends\n"
               "  --send FILE   send the raw bytes of FILE once the terminal has opened the port\n"
               "  --take INTO   ask the terminal for a file (ESC [ R) and store it in INTO\n"
               "  --give FILE   offer FILE to the terminal (ESC [ T) with the block protocol\n"
               "  --demo        draw a menu and act on single keys; its text pages (tools/demo)\n"
               "                must lie beside the terminal's MIRELOX.CFG\n"
               "  --pid PID     end when this process ends, rather than when the port is closed\n"
               "  --wait SECS   how long to wait for the terminal to open the port (600)\n"
               "It also ends when its link is removed, or on SIGINT or SIGTERM.\n";
}

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    std::string pid;
    if (arg == "--link") {
      if (!value(&options->link)) return false;
    } else if (arg == "--echo") {
      options->echo = true;
    } else if (arg == "--demo") {
      options->demo = true;
    } else if (arg == "--send") {
      if (!value(&options->sendFile)) return false;
    } else if (arg == "--take") {
      if (!value(&options->takeInto)) return false;
    } else if (arg == "--give") {
      if (!value(&options->giveFile)) return false;
    } else if (arg == "--wait") {
      std::string seconds;
      if (!value(&seconds)) return false;
      options->waitSeconds = std::atoi(seconds.c_str());
    } else if (arg == "--pid") {
      if (!value(&pid)) return false;
      options->pid = static_cast<pid_t>(std::atoi(pid.c_str()));
    } else {
      return false;
    }
  }
  return !options->link.empty();
}

bool ReadFile(const std::string& path, devsim::Bytes* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

void PrintReceived(devsim::Device& device) {
  auto received = device.TakeQueued();
  if (received.empty()) return;
  devsim::Bytes bytes;
  for (const auto& b : received) bytes.push_back(b.value);
  std::cout << "received: " << devsim::Printable(bytes) << std::endl;
}

int Take(devsim::Device& device, const std::string& into) {
  device.RequestFileFromTerminal();
  std::cout << "asked for a file: pick one in the terminal's Open dialog" << std::endl;
  auto result = devsim::TakeFileFromTerminal(device, {}, devsim::Millis(120000));
  if (!result.completed) {
    std::cerr << "transfer failed: " << result.failure << "\n";
    return 1;
  }
  std::ofstream out(into, std::ios::binary);
  out.write(reinterpret_cast<const char*>(result.data.data()), result.data.size());
  std::cout << "took " << result.blocksAccepted << " blocks into " << into << std::endl;
  return out ? 0 : 1;
}

int Give(devsim::Device& device, const std::string& file) {
  devsim::Bytes data;
  if (!ReadFile(file, &data)) {
    std::cerr << "cannot read " << file << "\n";
    return 1;
  }
  device.OfferFileToTerminal();
  std::cout << "offered a file: pick a name in the terminal's Save dialog" << std::endl;
  auto result = devsim::GiveFileToTerminal(device, data, {}, devsim::Millis(120000));
  if (!result.completed) {
    std::cerr << "transfer failed: " << result.failure << "\n";
    return 1;
  }
  std::cout << "gave " << result.blocksSent << " blocks" << std::endl;
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
    devsim::Device device(options.link);
    devsim::Session::InstallStopSignals();
    devsim::Session session(device, options.pid);
    std::cout << "pty: " << device.SlavePath() << "\nlink: " << device.LinkPath() << std::endl;
    if (!session.WaitForProgram(devsim::Millis(options.waitSeconds * 1000))) {
      std::cerr << "mirelox-devsim: no program opened the port\n";
      return 1;
    }
    if (options.demo) return devsim::RunDemo(device, session);
    if (!options.sendFile.empty()) {
      devsim::Bytes data;
      if (!ReadFile(options.sendFile, &data)) {
        std::cerr << "cannot read " << options.sendFile << "\n";
        return 1;
      }
      device.Send(data);
    }
    if (!options.takeInto.empty() && Take(device, options.takeInto) != 0) return 1;
    if (!options.giveFile.empty() && Give(device, options.giveFile) != 0) return 1;
    device.SetEcho(options.echo);
    while (session.Running()) {
      std::this_thread::sleep_for(devsim::Millis(50));
      PrintReceived(device);
    }
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "mirelox-devsim: " << error.what() << "\n";
    return 1;
  }
}

// zepa-sim: serves a simulated board to a JTAG host (OpenOCD) over the remote_bitbang protocol.
//   zepa-sim --board FILE --remote-bitbang PORT [--port-file FILE] [--once]
// PORT 0 takes a free port; the port in use is printed and, with --port-file, written to that file.
// The board's state is saved beside the board file after every host and when the program ends.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "sim/board.h"
#include "sim/families.h"
#include "sim/remote_bitbang.h"
#include "util/files.h"

namespace {

std::atomic<bool> g_stop{false};  // set by SIGINT / SIGTERM only

extern "C" void OnSignal(int) {
  g_stop.store(true);
}

constexpr const char* kUsage =
    "usage: zepa-sim --board FILE --remote-bitbang PORT [--port-file FILE] [--once]\n"
    "  --board FILE          the board file (port, cable, devices)\n"
    "  --remote-bitbang PORT serve OpenOCD's remote_bitbang on 127.0.0.1:PORT (0: any free port)\n"
    "  --port-file FILE      also write the port in use to FILE\n"
    "  --once                end after the first host is done\n";

struct Options {
  std::string board;
  long port = -1;
  std::string port_file;
  bool once = false;
};

bool ParseArgs(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (arg == "--board") {
      if (!value(options.board)) return false;
    } else if (arg == "--remote-bitbang") {
      std::string text;
      if (!value(text)) return false;
      char* end = nullptr;
      options.port = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || options.port < 0 || options.port > 65535) {
        error = "port '" + text + "' is not a number 0..65535";
        return false;
      }
    } else if (arg == "--port-file") {
      if (!value(options.port_file)) return false;
    } else if (arg == "--once") {
      options.once = true;
    } else {
      error = "unknown argument '" + arg + "'";
      return false;
    }
  }
  if (options.board.empty())
    error = "--board FILE is required";
  else if (options.port < 0)
    error = "--remote-bitbang PORT is required";
  return error.empty();
}

void WritePortFile(const std::string& path, unsigned port) {
  if (!zepa::util::TryReplaceFile(path, std::to_string(port) + "\n")) {
    throw std::runtime_error("cannot write the port file " + path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  Options options;
  std::string error;
  if (!ParseArgs(argc, argv, options, error)) {
    std::cerr << "zepa-sim: " << error << '\n' << kUsage;
    return 2;
  }
  try {
    auto board = zepa::sim::Board::Open(options.board, zepa::sim::AllFamilies());
    const std::string state = zepa::sim::Board::StatePath(options.board);
    zepa::sim::RemoteBitbangServer server(*board, static_cast<std::uint16_t>(options.port));
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!options.port_file.empty()) WritePortFile(options.port_file, server.port());
    std::cout << "zepa-sim: board " << options.board << " (" << board->device_count()
              << " devices) serving remote_bitbang on 127.0.0.1:" << server.port() << std::endl;
    server.Serve(g_stop, options.once, [&] { board->SaveState(state); });
    board->SaveState(state);
  } catch (const std::exception& e) {
    std::cerr << "zepa-sim: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

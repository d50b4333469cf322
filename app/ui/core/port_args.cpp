#include "ui/core/port_args.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

#include "engine/context.h"
#include "port/port_backends.h"

namespace zepa::ui {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

PortChoice parse_io_argument(std::string_view value) {
  const std::size_t colon = value.find(':');
  const std::string name = lower(value.substr(0, colon));
  const std::string argument = colon == std::string_view::npos ? "" : std::string(value.substr(colon + 1));
  if (name == "sim") {
    if (argument.empty()) throw PortArgError("--io sim: name the board file, as in --io sim:board.sim");
    return {PortChoice::Kind::kSim, "", argument};
  }
  std::string known = "sim:BOARD";
  for (const port::PortBackend& backend : port::PortBackends()) {
    known += ", " + std::string(backend.name);
    if (backend.name != name) continue;
    if (name == "remote") {
      try {
        port::ParseRemoteAddress(argument);
      } catch (const std::invalid_argument&) {
        throw PortArgError("--io remote: name the server as HOST:PORT, as in --io remote:127.0.0.1:3335");
      }
      return {PortChoice::Kind::kBackend, name, argument};
    }
    if (!argument.empty() && name != "ppdev")
      throw PortArgError("--io " + name + " takes no argument (\"" + argument + "\" given)");
    return {PortChoice::Kind::kBackend, name, argument};
  }
  throw PortArgError("--io: unknown port backend \"" + name + "\" (known: " + known + ")");
}

int parse_port_argument(std::string_view value) {
  const std::string v = lower(value);
  if (v == "278") return 0;
  if (v == "378") return 1;
  if (v == "3bc") return 2;
  if (v == "auto") return engine::kAutoPortSelection;
  throw PortArgError("--port: \"" + std::string(value) + "\" is not one of 278, 378, 3bc, auto");
}

std::optional<std::int64_t> parse_tck_delay(std::string_view text) {
  if (text.size() > 2 && text.ends_with("ns")) text.remove_suffix(2);
  std::int64_t ns = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ns);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || ns < 0 ||
      ns > 1'000'000'000)
    return std::nullopt;
  return ns;
}

PortChoice default_port_choice() {
  return {PortChoice::Kind::kBackend, std::string(port::PortBackends().front().name), ""};
}

}  // namespace zepa::ui

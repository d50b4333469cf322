// The --io and --port arguments that both programmers take: which port backend (or simulated board) the
// session opens, and which entry of the port setup list a run hands to the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "ui/core/session.h"

namespace zepa::ui {

// An --io or --port value that names nothing known; the text says what is wrong and what is known.
class PortArgError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "sim:BOARD", "ppdev", "ppdev:DEVICE", "direct" (any backend of the port table), compared without regard to
// case in the name. Throws PortArgError.
PortChoice parse_io_argument(std::string_view value);

// "278", "378", "3bc" (any case) or "auto": the port setup list index 0, 1, 2 or 3. Throws PortArgError.
int parse_port_argument(std::string_view value);

// A TCK delay in nanoseconds, 0 to 1000000000: digits with an optional "ns". Empty when the text is none.
std::optional<std::int64_t> parse_tck_delay(std::string_view text);

// The port choice without an --io argument: the port table's first backend.
PortChoice default_port_choice();

}  // namespace zepa::ui

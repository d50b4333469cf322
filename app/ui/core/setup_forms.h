// What the programmer's small dialogs show and set, without the dialogs: the port setup's device-count box
// and port choice, the debug options' ticks, the device ID panel and the review list.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "ui/core/run_path.h"
#include "ui/core/session.h"

namespace zepa::ui {

// ---- Port setup ----

// The device-count box read as a whole number (blanks around it allowed). Nothing for any other text,
// a sign included; a number beyond int's range reads as int's largest value (more than the table holds).
std::optional<int> parse_device_count(std::string_view text);

// The port setup's OK: the port list index and cable of `form`, and the count read from `count_text`, go
// to the programmer's settings and apply_port_setup runs. A box that is no whole number gives the error
// "'" + text + "' is not a valid whole number." and changes nothing; a count above the table's 60 gives
// apply_port_setup's warning and keeps the settings' previous count. True when the dialog may close.
bool apply_port_setup_form(Programmer& programmer, const PortSetup& form, std::string_view count_text,
                           chain::Prompts& prompts);

// Why `choice` cannot open a port: a simulated board without a file or with a file that is not there, a
// ppdev device setting the port table refuses. Empty when it can be tried.
std::string port_choice_problem(const PortChoice& choice);

// ---- Debug options ----

struct DebugTicks {
  bool verify_log = false;      // "Log 'Verify' operation result (.vrf) for ZEPA1 devices"
  bool standard_frame = false;  // "Always use standard data frame for ZEPA2 devices"
  bool off_line = false;        // "Off-line programming (no I/O port access)"
  bool reserved = false;        // "Reserved": no effect
  bool active_io_verify = false;
  bool fuse_listing = false;  // the hidden "ZEPA1 Shift Register vs JEDEC fuse mapping (srfuse.doc)"
};

// The ticks that show the settings.
DebugTicks debug_ticks(const RunSettings& settings);

// The dialog's OK: ActiveIoVerify, OffLine and the IspOptions bits 0x01, 0x02, 0x10 and 0x200 from the
// ticks; the other option bits (the menus' SVF and vector-file outputs) are kept.
void apply_debug_ticks(RunSettings& settings, const DebugTicks& ticks);

// ---- Device ID dialog ----

struct DeviceIdTexts {
  std::string device;  // the device number
  std::string state;   // "not secured", "secured" or empty
  std::string idcode;  // idcode + " (lsb..msb)", cut to 44 characters
  std::string version, architecture, technology, macrocells, voltage, package, manufacturer, bit0;
};

DeviceIdTexts device_id_texts(const chain::ChainTable& table, int n);

// The device the dialog shows when it is activated: the first of 1..DeviceCount whose operation is Read
// device ID, or `current` when there is none.
int device_id_start(const chain::ChainTable& table, int current);

// The spin button: +1 is the lower arrow (the next device, not above DeviceCount), -1 the upper arrow (the
// previous one, not below 1).
int device_id_step(const chain::ChainTable& table, int current, int step);

// ---- Review dialog ----

inline constexpr int kReviewLinesPerDevice = 13;
inline constexpr int kReviewMinDevices = 20;

// The review list: 13 lines per device of the chain, then empty lines up to 20 devices' worth (260
// lines); a chain longer than 20 devices lists them all.
std::vector<std::string> review_lines(const chain::ChainTable& table);

}  // namespace zepa::ui

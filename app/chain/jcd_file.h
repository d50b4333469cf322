// Chain description (".jcd") files as the programmer writes and reads them.
//
// A written file, lines ending in CR LF:
//   #Corvane PLD device JTAG chain description
//   TOTAL_DEVICE <count>
//   two column-heading comment lines
//   one "DEVICE n ..." line per device
//   an empty line, "#User Electronic Signature", "#" and 60 '-'
//   one "UES n $<signature>" line per device
//
// The reader is forgiving in its own way: it looks for substrings rather than fixed columns, and it does not
// clear the table first, so a position the file does not mention keeps what it held.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_table.h"
#include "chain/prompts.h"

namespace zepa::chain {

inline constexpr std::string_view kJcdHeader = "#Corvane PLD device JTAG chain description";
// What the file menu's loader looks for in some line of a chain file.
inline constexpr std::string_view kJcdMarker = "device JTAG chain des";
// What the batch editor's loader looks for.
inline constexpr std::string_view kBatchJcdMarker = "PLD device JTAG chain des";

// The device line of position n: "DEVICE n", eleven blanks, the part name padded to column 31, five blanks,
// the IR length, five blanks, four blanks, the command word, two blanks and, when a design file is set, four
// blanks and its path. No line end.
std::string jcd_device_line(int n, const ChainDevice& dev);

// The whole file for the table's first DeviceCount positions, CR LF line ends.
std::string format_jcd(const ChainTable& table);

// Writes format_jcd to `path` (replacing it through a temporary file in the same folder) and makes `path`
// the table's JcdPath. Throws std::runtime_error naming the file when it cannot be written.
void write_jcd(ChainTable& table, const std::string& path);

// True when some line of the file contains `marker` (case-sensitive); false for a missing or unreadable file.
bool check_jcd(const std::string& path, std::string_view marker);

// Reads chain-file text into the table (the parse pass), then sets `result` of all 60 positions to none.
//  - "TOTAL_DEVICE" sets DeviceCount from the digits after the last 'E' (less one character) and opens the
//    device section;
//  - "User Electronic Signature" opens the signature section (where reading starts);
//  - in the device section, a line with "DEVICE" and without "_DEV" sets loc, part, cmnd, IR_len and jed
//    (and cmnd_word when the word names no operation);
//  - in the signature section, a line with "UES" and "$" sets ues to the text after the '$'.
// A text the programmer cannot run as written is refused: a device count above MaxDevices or below 0, a
// DEVICE or UES line naming a position outside 1..60, an IR length that is not 2..10 or 16. The faults come
// back, one per fault as "line k: what is wrong", and the table is left as it was; empty when read.
std::vector<std::string> parse_jcd(ChainTable& table, std::string_view text);

// parse_jcd on the file's contents; false (table untouched) when the file cannot be read (`error`, when
// given, receives the path and the system's reason) or is refused (the path and its faults, one per line
// after a CR).
bool load_jcd(ChainTable& table, const std::string& path, std::string* error = nullptr);

// The file menu's load: when the file exists and passes the check with kJcdMarker, JcdPath := path and the
// file is read; without the marker the error "Not a valid JCD file or not allow to access." is shown and the
// table is left alone, as it is (with the load's error shown) for a file that cannot be read or is refused.
// In every case the results are cleared afterwards. True when the file was read.
bool open_jcd(ChainTable& table, const std::string& path, Prompts& prompts);

// The batch editor's load: a missing file gives the error "<path>\rfile not found!", a file without
// kBatchJcdMarker the error "Not a valid Corvane' JCD file"; otherwise the file is read (a refused file
// shows the load's error). True when read.
bool load_batch_jcd(ChainTable& table, const std::string& path, Prompts& prompts);

}  // namespace zepa::chain

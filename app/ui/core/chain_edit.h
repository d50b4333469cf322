// The configuration grid's editing rules without the grid: what each cell shows, which double-clicks open
// which pop-up list, and what a choice from the part, IR-length and operation lists, a design file chosen
// in the file dialog, the "Delete" item and a typed signature do to the chain table. The desktop window
// only shows these texts and forwards the user's gestures here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "ui/core/run_path.h"

namespace zepa::ui {

// The columns of the configuration grid; row n is device n, row 0 the header.
enum GridColumn : int {
  kColDevice = 0,
  kColPart = 1,
  kColIrLength = 2,
  kColOperation = 3,
  kColDesignFile = 4,
  kColResult = 5,
};
inline constexpr int kGridColumns = 6;
inline constexpr std::array<std::string_view, kGridColumns> kGridHeaders = {
    "Device #", "Device Name", "IR_length", "Operation", "Design file name", "result"};

// The pop-up lists' items; the item index is the part, IR-length or operation code it chooses.
inline constexpr std::array<std::string_view, chain::kPartCount> kPartListItems = {
    "VTL3032A",  "VTL3032C",  "VTL5032C", "VTL3064A",  "VTL5064C",  "VTL3128",
    "VTL5128",   "VTL3128A",  "VTL5128C", "VTL3032XL", "VTL3064XL", "VTL3128XL",
    "VTL3256XL", "VTL3384XL", "VTL3320",  "VTL3960",   "Others"};
inline constexpr std::array<std::string_view, 10> kIrListItems = {"2", "3", "4", "5",  "6",
                                                                  "7", "8", "9", "10", "16"};
inline constexpr std::array<std::string_view, 11> kOperationListItems = {"Bulk Erase",
                                                                         "Blank Check",
                                                                         "Program",
                                                                         "Verify",
                                                                         "Prog_&_Verify",
                                                                         "Read Device ID",
                                                                         "Secure Device",
                                                                         "Program User Signature",
                                                                         "Read User Signature",
                                                                         "Upload Device",
                                                                         "No Operation (Bypass)"};

// The warning a VTL3320 or VTL3960 choice gives.
inline constexpr std::string_view kZepa2OnlyProgram =
    "Only PROGRAM operation is available for VTL3320/960\rat this time, other operations are prohibited.";

// The cell texts of grid row n (1..60): device number, part, IR length, operation, design file, result.
// Rows above the device count are empty.
std::array<std::string, kGridColumns> grid_row_texts(const chain::ChainTable& table, int n);

// True for the rows an edit may change: 1..DeviceCount.
bool row_editable(const chain::ChainTable& table, int row);

// What a double-click (completed by the button release) on a cell does.
enum class CellAction { kNone, kPartList, kIrList, kOperationList, kDesignFile };
CellAction cell_action(const chain::ChainTable& table, int row, int column);

// A choice from the part list for `row`: the part, and with it the IR length (4 for ZEPA1, 5 for ZEPA2
// and ZEPA3 parts) and, for ZEPA2 parts, "Program", for "Others" "No Operation". Any other operation
// already set is kept. A ZEPA2 part gives the warning kZepa2OnlyProgram. False (nothing changed) for a row
// outside 1..DeviceCount or an item outside the list.
bool choose_part(chain::ChainTable& table, int row, int item, chain::Prompts& prompts);

// A choice from the IR-length list: only "Others" and unknown parts take it; a known part keeps the
// length its choice set. False when nothing changed.
bool choose_ir_length(chain::ChainTable& table, int row, int item);

// A choice from the operation list: "Others" and unknown parts stay at "No Operation", ZEPA2 parts take
// "Program" and turn anything else into "No Operation", every other part takes the item. False when the
// row is not editable or the item is outside the list.
bool choose_operation(chain::ChainTable& table, int row, int item);

// The file dialog a double-click on a design-file cell opens.
struct DesignFileBrowse {
  bool upload = false;  // the file an upload writes: it need not exist
  std::string preset;   // upload: "*.jed" for ZEPA3 parts, "*.bin" for any other; empty otherwise
};
DesignFileBrowse design_file_browse(const chain::ChainDevice& device);

// Longest design file name the table keeps.
inline constexpr std::size_t kMaxDesignFileName = chain::FixedText<250>::capacity;

// A file chosen in the design-file dialog of `row`. It becomes the programmer's last file (and its folder
// the current one) and the row's design file, name as given (case kept). A JEDEC file that does not exist
// gives the error "Can not find: " + path and changes only the last file; a name longer than the table
// keeps is refused with an error rather than cut to another file's name. False when `jed` did not change.
bool choose_design_file(chain::ChainTable& table, Programmer& programmer, int row, const std::string& path,
                        chain::Prompts& prompts);

// The design-file cell's "Delete": empties `jed`. False for a row outside 1..DeviceCount.
bool delete_design_file(chain::ChainTable& table, int row);

// A signature typed into row n of the signature grid, stored at once (cut to 120 characters), so a chain
// file written later carries it. False for a row outside 1..DeviceCount.
bool set_signature(chain::ChainTable& table, int row, std::string_view text);

}  // namespace zepa::ui

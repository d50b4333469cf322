// The check a chain must pass before it runs or is saved.
#pragma once

#include "chain/chain_table.h"
#include "chain/prompts.h"

namespace zepa::ui {

// Checks devices 1..DeviceCount and shows an error for every problem found (all devices are checked):
//  - no devices: "No device found!";
//  - part or IR length not known: "No Device Name or IR_length specified for device #n!";
//  - no operation: "No operation specified for device #n!", or with the chain file's word that named none:
//    "Unknown operation "XX" for device #n!";
//  - Program, Verify or Prog & Verify without an existing design file:
//    "No design file specified or not exist for device #n!";
//  - Upload on a ZEPA1 part without a ".bin" file name or on a ZEPA3 part without a ".jed" file name (either
//    case): "No upload file specified for device #n!" and how to name one;
//  - Upload on a ZEPA1 or ZEPA3 part into an existing file: asks "File already exist, do you want to
//    overwrite?" (OK / Cancel); Cancel fails the check.
// Relative design file names are looked up from the current folder. True when nothing was found.
bool validate_chain(const chain::ChainTable& table, chain::Prompts& prompts);

}  // namespace zepa::ui

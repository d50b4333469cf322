#include "chain/chain_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zepa::chain {
namespace {

constexpr std::array<std::string_view, kPartCount> kPartNames = {
    "VTL3032A",  "VTL3032C",  "VTL5032C", "VTL3064A",  "VTL5064C",  "VTL3128",
    "VTL5128",   "VTL3128A",  "VTL5128C", "VTL3032XL", "VTL3064XL", "VTL3128XL",
    "VTL3256XL", "VTL3384XL", "VTL3320",  "VTL3960",   "Others",
};

// Substring tests of the reader, in the order they are tried.
struct PartRule {
  std::string_view needle;
  int part;
};
constexpr PartRule kPartRules[] = {
    {"5032C", kPartVtl5032C},  {"xx32", kPartVtl5032C},    {"x032", kPartVtl5032C},
    {"3032A", kPartVtl3032A},  {"3032C", kPartVtl3032C},   {"5064C", kPartVtl5064C},
    {"x064", kPartVtl5064C},   {"xx64", kPartVtl5064C},    {"3064A", kPartVtl3064A},
    {"32XL", kPartVtl3032XL},  {"64XL", kPartVtl3064XL},   {"128XL", kPartVtl3128XL},
    {"256XL", kPartVtl3256XL}, {"384XL", kPartVtl3384XL},  {"x128_as", kPartVtl3128A},
    {"128A", kPartVtl3128A},   {"x128_cs", kPartVtl5128C}, {"128C", kPartVtl5128C},
    {"5128", kPartVtl5128},    {"3128", kPartVtl3128},     {"qdx320", kPartVtl3320},
    {"VTL3320", kPartVtl3320}, {"qdx960", kPartVtl3960},   {"VTL3960", kPartVtl3960},
    {"Others", kPartOthers},   {"Non", kPartOthers},
};

struct OperationNames {
  int op;
  std::string_view word;
  std::string_view grid_text;
  std::string_view list_item;
};
constexpr OperationNames kOperations[] = {
    {kOpBulkErase, "ER", "Bulk Erase", "Bulk Erase"},
    {kOpBlankCheck, "CK", "Blank Check", "Blank Check"},
    {kOpProgram, "PR", "Program", "Program"},
    {kOpVerify, "VE", "Verify", "Verify"},
    {kOpProgramVerify, "PV", "Prog & Verify", "Prog_&_Verify"},
    {kOpReadId, "ID", "Read device ID", "Read Device ID"},
    {kOpSecure, "SE", "Secure Device", "Secure Device"},
    {kOpProgramUes, "PU", "Program UES", "Program User Signature"},
    {kOpReadUes, "RU", "Read UES", "Read User Signature"},
    {kOpUpload, "UP", "Upload Device", "Upload Device"},
    {kOpNoOperation, "NO", "No Operation", "No Operation (Bypass)"},
    {kOpRs, "RS", "", ""},
    {kOpScan, "SC", "", ""},
};

// The words the reader accepts: every written word except "SC".
constexpr std::string_view kReadableWords[] = {"ER", "CK", "PR", "VE", "PV", "ID",
                                               "SE", "PU", "RU", "UP", "RS", "NO"};

const OperationNames* find_operation(int op) {
  for (const auto& entry : kOperations) {
    if (entry.op == op) return &entry;
  }
  return nullptr;
}

constexpr std::array<std::string_view, 10> kIrTexts = {"2", "3", "4", "5", "6", "7", "8", "9", "10", "16"};

}  // namespace

std::string_view part_name(int part) {
  if (part < 0 || part >= kPartCount) return "???";
  return kPartNames[static_cast<std::size_t>(part)];
}

int part_code(std::string_view name) {
  for (const auto& rule : kPartRules) {
    if (name.find(rule.needle) != std::string_view::npos) return rule.part;
  }
  return kPartUnknown;
}

std::string_view command_word(int op) {
  const OperationNames* entry = find_operation(op);
  return entry ? entry->word : "???";
}

int command_code(std::string_view word) {
  auto same_word = [word](std::string_view known) {
    return word.size() == known.size() &&
           std::equal(word.begin(), word.end(), known.begin(), [](char a, char b) {
             return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
           });
  };
  for (std::string_view known : kReadableWords) {
    if (!same_word(known)) continue;
    for (const auto& entry : kOperations) {
      if (entry.word == known) return entry.op;
    }
  }
  return kOpUnknown;
}

std::string_view operation_text(int op) {
  const OperationNames* entry = find_operation(op);
  return entry ? entry->grid_text : "Unknown ???";
}

std::string_view operation_list_item(int op) {
  const OperationNames* entry = find_operation(op);
  return entry ? entry->list_item : "";
}

std::string_view ir_length_text(int ir_code) {
  if (ir_code < 0 || ir_code >= static_cast<int>(kIrTexts.size())) return "";
  return kIrTexts[static_cast<std::size_t>(ir_code)];
}

int ir_code_from_length(long length) {
  if (length >= 2 && length <= 10) return static_cast<int>(length - 2);
  if (length == 16) return 9;
  return kIrUnknown;
}

}  // namespace zepa::chain

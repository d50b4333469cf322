#include "engine/records.h"

#include <cctype>

#include "util/path.h"

namespace zepa::engine {
namespace {

// side_rows, sec_pos, first_ues_bit and ues_offset are 0 where a family has no such parameter.
constexpr std::array<DeviceTableRow, kDeviceTableSize> kDeviceTable{{
    {"VTL3032A", codes::kZepa1_32, 1, 4, 255, 0, 2743, 0, 135, 255, 20542, 21930, 1},
    {"VTL3032C", codes::kZepa1_32, 1, 4, 255, 0, 2743, 0, 135, 255, 20542, 21930, 1},
    {"VTL5032C", codes::kZepa1_32, 1, 4, 255, 0, 2743, 0, 135, 255, 20542, 21930, 1},
    {"VTL3064A", codes::kZepa1_64, 2, 4, 512, 0, 5505, 0, 136, 256, 41306, 44032, 1},
    {"VTL5064C", codes::kZepa1_64, 2, 4, 512, 0, 5505, 0, 136, 256, 41241, 44032, 1},
    {"VTL3128", codes::kZepa1_128, 4, 4, 1028, 0, 11052, 257, 137, 257, 82802, 88408, 1},
    {"VTL5128", codes::kZepa1_128, 4, 4, 1028, 0, 11052, 257, 137, 257, 82802, 88408, 1},
    {"VTL3128A", codes::kZepa1_128A, 4, 4, 1028, 0, 11052, 257, 137, 257, 82930, 88408, 1},
    {"VTL5128C", codes::kZepa1_128C, 4, 4, 1028, 0, 11052, 514, 137, 257, 82930, 88408, 1},
    {"VTL3032XL", codes::kVtl3032XL, 2, 5, 114, 52, 3348, 0, 0, 0, 11529, 12312, 1},
    {"VTL3064XL", codes::kVtl3064XL, 4, 5, 123, 104, 6996, 0, 0, 0, 24481, 25830, 1},
    {"VTL3128XL", codes::kVtl3128XL, 8, 5, 266, 104, 14628, 0, 0, 0, 52009, 55860, 1},
    {"VTL3256XL", codes::kVtl3256XL, 16, 5, 304, 208, 32760, 0, 0, 0, 115869, 127072, 1},
    {"VTL3384XL", codes::kVtl3384XL, 24, 5, 507, 208, 54180, 0, 0, 0, 189969, 211926, 1},
    {"VTL3320", codes::kVtl3320, 8, 5, 1028, 0, 47712, 0, 0, 0, 173492, 173492, 1},
    {"VTL3960", codes::kVtl3960, 48, 5, 1028, 0, 143136, 0, 0, 0, 520476, 520476, 1},
    {"Others", codes::kUnknownPart, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0},
}};

}  // namespace

const std::array<DeviceTableRow, kDeviceTableSize>& DeviceTable() {
  return kDeviceTable;
}

std::string_view TypeName(int type_code) {
  switch (type_code) {
    case codes::kUnknownPart:
      return "unknown";
    case codes::kZepa1_32:
      return "VTLx032_C/A";
    case codes::kZepa1_64:
      return "VTL5064C";
    case codes::kZepa1_128:
      return "VTLx128";
    case codes::kZepa1_128C:
      return "VTL5128C";
    case codes::kZepa1_128A:
      return "VTL3128A";
    case codes::kVtl3320:
      return "VTL3320";
    case codes::kVtl3960:
      return "VTL3960";
    case codes::kVtl3032XL:
      return "VTL3032XL";
    case codes::kVtl3064XL:
      return "VTL3064XL";
    case codes::kVtl3128XL:
      return "VTL3128XL";
    case codes::kVtl3256XL:
      return "VTL3256XL";
    case codes::kVtl3384XL:
      return "VTL3384XL";
    default:
      return "";
  }
}

JcdRec RecordForPart(int part) {
  JcdRec rec;
  if (part < 0 || part >= kDeviceTableSize) return rec;
  const DeviceTableRow& row = kDeviceTable[static_cast<std::size_t>(part)];
  rec.id = row.id;
  rec.lb = row.lb;
  rec.IR_len = row.IR_len;
  rec.DR_len = row.DR_len;
  rec.side_rows = row.side_rows;
  rec.bin_size = row.bin_size;
  rec.sec_pos = row.sec_pos;
  rec.first_ues_bit = row.first_ues_bit;
  rec.ues_offset = row.ues_offset;
  rec.jed_fuse = row.jed_fuse;
  rec.stream_len = row.stream_len;
  rec.vendor = row.vendor;
  rec.part = row.part;
  return rec;
}

void LoadChainRecords(ChainState& chain, const chain::ChainTable& table, const EngineHost& host) {
  chain.DeviceCount = table.device_count();
  for (int k = 1; k <= chain.DeviceCount; ++k) {
    const chain::ChainDevice& device = table[k];
    JcdRec rec = RecordForPart(device.part);
    // Instruction-length codes 0..8 stand for 2..10 bits and 9 for 16; an unknown code keeps the part's.
    if (device.IR_len == 9) {
      rec.IR_len = 16;
    } else if (device.IR_len >= 0 && device.IR_len <= 8) {
      rec.IR_len = device.IR_len + 2;
    }
    const int op = device.cmnd;
    rec.cmnd = chain::IsGridOperation(op) || op == chain::kOpRs || op == chain::kOpScan ? op : chain::kOpNone;
    rec.bypass = op == chain::kOpNoOperation ? 1 : 0;
    rec.jed = device.jed.str();
    rec.ues = device.ues.str().substr(0, 120);
    chain.Rec(k) = std::move(rec);
    const std::string& jed = chain.Rec(k).jed;
    if (!jed.empty() && !util::HasExtension(jed, ".jed") && !util::HasExtension(jed, ".bin") &&
        !util::HasExtension(jed, ".isp"))
      AbortDevice(host, k, "Illegal file entry: " + jed);
  }
}

}  // namespace zepa::engine

#include "engine/checks.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <span>
#include <string_view>

#include "engine/records.h"
#include "engine/workdir.h"
#include "engine/zepa1_protocol.h"
#include "engine/zepa2_protocol.h"
#include "engine/zepa3_protocol.h"
#include "util/files.h"
#include "util/hex.h"
#include "util/lines.h"
#include "util/path.h"

namespace zepa::engine {
namespace {

constexpr std::array<std::string_view, 12> kLegalFuseCounts{"QF20542", "QF41306",  "QF41241",  "QF82802",
                                                            "QF82930", "QF173492", "QF520476", "QF11529",
                                                            "QF24481", "QF52009",  "QF115869", "QF189969"};

struct FuseCountCode {
  std::string_view qf;
  int code;
};
// QF82930 is either 121 or 120; the caller's expectation decides.
constexpr std::array<FuseCountCode, 13> kFuseCountCodes{{{"QF20542", codes::kZepa1_32},
                                                         {"QF41306", codes::kZepa1_64},
                                                         {"QF41241", codes::kZepa1_64},
                                                         {"QF82802", codes::kZepa1_128},
                                                         {"QF82930", codes::kZepa1_128C},
                                                         {"QF173492", codes::kVtl3320},
                                                         {"QF520476", codes::kVtl3960},
                                                         {"QF11529", codes::kVtl3032XL},
                                                         {"QF24481", codes::kVtl3064XL},
                                                         {"QF52009", codes::kVtl3128XL},
                                                         {"QF115869", codes::kVtl3256XL},
                                                         {"QF189969", codes::kVtl3384XL},
                                                         {"", codes::kUnknownPart}}};

// The IDCODE fields of each family's parts.
struct FamilyIdcodes {
  std::string_view family_field;
  std::span<const IdcodePart> parts;
};
constexpr FamilyIdcodes kFamilyIdcodes[] = {
    {zepa1::kIdcodeFamily, zepa1::kIdcodeParts},
    {zepa2::kIdcodeFamily, zepa2::kIdcodeParts},
    {zepa3::kIdcodeFamily, zepa3::kIdcodeParts},
};

std::string Tag(int position) {
  return "(Device #" + std::to_string(position) + ")";
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
  return text;
}

// The file's lines without their line ends (LF, CR LF or a lone CR).
template <typename Visit>
void ForEachLine(const std::string& bytes, Visit visit) {
  const std::string_view text(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    const util::LineBounds bounds = util::FindLineEnd(text, start);
    if (!visit(text.substr(start, bounds.end - start))) return;
    start = bounds.next;
  }
}

// The QF text of the first line (skipping "NOTE" lines) that names a known fuse count; empty when none.
std::string_view FirstKnownFuseCount(const std::string& bytes) {
  std::string_view found;
  ForEachLine(bytes, [&](std::string_view line) {
    if (line.find("NOTE") != std::string_view::npos) return true;
    for (std::string_view qf : kLegalFuseCounts) {
      if (line.find(qf) != std::string_view::npos) {
        found = qf;
        return false;
      }
    }
    return true;
  });
  return found;
}

// The parts fusebuild makes a signature image for.
bool ConvertedZepa1Part(int id) {
  using namespace codes;
  return id == kZepa1_32 || id == kZepa1_64 || id == kZepa1_128 || id == kZepa1_128C || id == kZepa1_128A;
}
bool ConvertedZepa3Part(int id) {
  using namespace codes;
  return id == kVtl3032XL || id == kVtl3064XL || id == kVtl3128XL || id == kVtl3256XL || id == kVtl3384XL;
}

}  // namespace

std::unique_ptr<JedecContents> ReadJedecForCheck(const std::string& file) {
  const std::string bytes = util::ReadFileOrThrow(file);
  auto jedec = std::make_unique<JedecContents>();
  jedec->legal = !FirstKnownFuseCount(bytes).empty();
  if (!jedec->legal) return jedec;

  constexpr long kFuses = kJedecFuseWords * 16L;
  ForEachLine(bytes, [&](std::string_view line) {
    if (!line.empty() && line[0] == 'L') {
      const std::size_t gap = line.find_first_of(" \t", 1);
      if (gap == std::string_view::npos || gap == 1 || gap > 7) return true;
      long fuse = 0;
      for (std::size_t i = 1; i < gap; ++i) {
        if (line[i] < '0' || line[i] > '9') return true;
        fuse = fuse * 10 + (line[i] - '0');
      }
      for (std::size_t i = gap + 1; i < line.size() && line[i] != '*' && fuse < kFuses; ++i, ++fuse) {
        std::uint16_t& word = jedec->words[static_cast<std::size_t>(fuse / 16)];
        const auto bit = static_cast<std::uint16_t>(1u << (fuse % 16));
        word = static_cast<std::uint16_t>(line[i] == '1' ? word | bit : word & ~bit);
      }
    } else if (!line.empty() && line[0] == 'C' && line.size() >= 5) {
      unsigned value = 0;
      for (std::size_t i = 1; i <= 4; ++i) {
        const int digit = util::HexDigitValue(line[i]);
        if (digit < 0) return true;
        value = value * 16 + static_cast<unsigned>(digit);
      }
      jedec->stated_checksum = static_cast<std::uint16_t>(value);
    }
    return true;
  });
  unsigned sum = 0;
  for (std::uint16_t word : jedec->words) sum += (word & 0xFFu) + (word >> 8);
  jedec->computed_checksum = static_cast<std::uint16_t>(sum);
  return jedec;
}

std::uint16_t CheckJedec(EngineContext& context, int position, const std::string& file) {
  if (!util::HasExtension(file, ".jed")) return 0;
  const std::unique_ptr<JedecContents> jedec = ReadJedecForCheck(file);
  if (!jedec->legal) {
    context.host.prompts.show(BoxIcon::kError, "Error", "Not a legal JEDEC file for Corvane's ISP device!");
    return 0;
  }
  const std::uint16_t computed = jedec->computed_checksum;
  const std::uint16_t stated = jedec->stated_checksum.value_or(0);
  if (stated != computed) {
    AbortDevice(
        context.host, position,
        Tag(position) + " JEDEC checksum error! <Read:" + Hex4(stated) + ", Actual:" + Hex4(computed) + ">");
  }
  context.messages().add_message(Tag(position) + " JEDEC checksum=" + Hex4(computed));

  const JcdRec& rec = context.rec(position);
  long isp_fuse = -1;
  if (rec.id >= codes::kZepa1_128 && codes::IsZepa1Type(rec.id)) {
    isp_fuse = 82801;
  } else if (rec.id < codes::kZepa1_128) {
    isp_fuse = rec.jed_fuse - 1;
  }
  if (isp_fuse >= 0 && !jedec->Fuse(isp_fuse) &&
      context.host.prompts.ask("Warning", "ISP bit turned off! stop operation?",
                               chain::Prompts::Answers::kYesNo)) {
    AbortDevice(context.host, position,
                Tag(position) + " ISP bit Turned off! Check JEDEC fuse# L" + std::to_string(isp_fuse));
  }
  return computed;
}

int DetectJedecPart(EngineContext& context, int position, int expected, const std::string& file) {
  if (file.empty()) return expected;
  const std::string_view qf = FirstKnownFuseCount(util::ReadFileOrThrow(file));
  int detected = 0;
  for (const FuseCountCode& entry : kFuseCountCodes) {
    if (!qf.empty() && entry.qf == qf) {
      detected = entry.code;
      break;
    }
  }
  if (detected == codes::kZepa1_128C && expected == codes::kZepa1_128A) detected = codes::kZepa1_128A;
  // A file without a fuse count names no part: checked for a known part that is a mismatch with "unknown",
  // which says what the file lacks; only for a part of no family is it just an illegal file.
  std::string message;
  if (qf.empty()) message = "An illegal jedec file. " + Tag(position);
  if (detected != expected) {
    message =
        Tag(position) + " does not match with (a possible " +
        (detected == codes::kZepa1_128C ? std::string("VTL3128A/5128C") : std::string(TypeName(detected))) +
        ") design file!";
  }
  if (!message.empty()) AbortDevice(context.host, position, message);
  return detected;
}

IdcodeRead DecodeIdcodeBits(const std::string& bits) {
  IdcodeRead read;
  read.bits = bits;
  if (bits.size() < 32) return read;
  read.manufacturer = bits.substr(1, 11);
  read.flag15 = bits[15];
  read.part = bits.substr(16, 6);
  read.family = bits.substr(25, 3);
  read.manufacturer_accepted = read.manufacturer == "10101000000" || read.manufacturer == "10010010000";
  for (const FamilyIdcodes& family : kFamilyIdcodes) {
    if (read.family != family.family_field) continue;
    for (const IdcodePart& part : family.parts) {
      if (read.part == part.part_field && (part.flag15 == 0 || read.flag15 == part.flag15)) {
        read.type_code = part.type_code;
        break;
      }
    }
  }
  return read;
}

IdcodeRead ReadIdcode(Jtag& jtag) {
  ChainState& chain = jtag.chain();
  for (int i = chain.DeviceCount - chain.TargetDevice; i > 0; --i) jtag.TapStep(ShiftDr);
  std::string bits;
  for (int i = 0; i < 32; ++i) {
    jtag.TapStep(ShiftDr);
    jtag.cable().RequestTdo();
  }
  for (std::uint8_t b : jtag.cable().TakeTdo()) bits += b ? '1' : '0';
  return DecodeIdcodeBits(bits);
}

std::optional<std::string> IdentityProblem(const JcdRec& rec, int position, const IdcodeRead& read) {
  if (read.type_code != 0 && read.manufacturer_accepted) {
    if (read.type_code == rec.id) return std::nullopt;
    return Tag(position) + " does not match with (a possible " + std::string(TypeName(read.type_code)) +
           ") target device.";
  }
  return Tag(position) + " is an unknown target device.";
}

void IdentifyTarget(EngineContext& context, int position) {
  if (context.cable().OffLine || (context.cable().IspOptions & kOptBif)) return;
  Jtag& jtag = context.jtag;
  // The 4-bit loader serves every family here: its IDCODE code is the same in five bits.
  LoadInstructionZ1(jtag, zepa1::kResetToIdle);
  LoadInstructionZ1(jtag, zepa1::kIdcode);
  jtag.TapStep(RunTestIdle);
  jtag.Delay(zepa1::kShortWait);
  jtag.TapStep(SelectDrScan);
  jtag.TapStep(CaptureDr);
  const IdcodeRead read = ReadIdcode(jtag);
  jtag.TapStep(Exit1Dr);
  jtag.TapStep(UpdateDr);
  LoadInstructionZ1(jtag, zepa1::kLeaveThroughReset);
  if (auto problem = IdentityProblem(context.rec(position), position, read))
    AbortDevice(context.host, position, *problem);
}

bool NeedsConversion(const JcdRec& rec, int options) {
  // The extension's first four characters: ".jed" also covers ".jedec".
  const std::string ext = util::ExtensionOf(rec.jed).substr(0, 4);
  if (util::HasExtension("x" + ext, ".jed")) return true;
  if (rec.jed.empty() && rec.cmnd == chain::kOpProgramUes) return true;
  return options > 63 && rec.cmnd == chain::kOpReadUes;
}

std::string ImageFileName(const EngineContext& context, int position, int type_code, const std::string& jed) {
  const int cmnd = context.jtag.chain().Rec(position).cmnd;
  const bool signature_run = jed.empty() && chain::IsSignatureOperation(cmnd);
  if (ConvertedZepa1Part(type_code))
    return signature_run ? context.WorkFile("tempues.bin")
           : jed.empty() ? ""
                         : util::ChangeExtension(jed, "bin");
  if (ConvertedZepa3Part(type_code))
    return signature_run ? context.WorkFile("tempues.isp")
           : jed.empty() ? ""
                         : util::ChangeExtension(jed, "isp");
  if (type_code == codes::kVtl3320 || type_code == codes::kVtl3960)
    return jed.empty() ? "" : util::ChangeExtension(jed, "isp");
  return "";
}

std::string RunFusebuild(EngineContext& context, int position, int op, int options,
                         const std::string& jcd_file) {
  JcdRec& rec = context.rec(position);
  if (!((rec.bypass == 0 && chain::IsProgramOrVerify(op)) || chain::IsSignatureOperation(op))) return "";
  DetectJedecPart(context, position, rec.id, rec.jed);
  if (const Zepa2Geometry* zepa2 = Zepa2GeometryOf(rec.id)) {
    context.messages().add_message("Generate " + std::string(zepa2->name) + " MCS/ISP files...");
    context.zepa2_frame_mode = zepa2->frame_mode;
    context.zepa2_last_address = zepa2->last;
  }
  const std::string output = ImageFileName(context, position, rec.id, rec.jed);
  if (!output.empty()) util::RemoveFile(output);

  context.cable().Flush();  // TCK rests low on the port while the converter runs
  const ProcessResult result =
      context.launcher.Run(ProgramBeside(context.program_dir, "fusebuild"),
                           {jcd_file, std::to_string(position), std::to_string(options)},
                           {std::string(kWorkDirVariable) + "=" + context.work_dir});
  if (!result.started) context.host.prompts.show(BoxIcon::kError, "Error", "Error running FUSEBUILD!");
  if (!result.started || result.exit_status != 0 || !util::FileExists(output))
    AbortDevice(context.host, position, "No output bin/isp files generated!");
  return output;
}

void CheckImageFile(EngineContext& context, int position, int op, const std::string& file) {
  if (!chain::IsProgramOrVerify(op)) return;
  const JcdRec& rec = context.rec(position);
  // The families of the 5-bit instruction register take .isp images; the others .bin images.
  const bool five_bit_family = codes::IsZepa2Type(rec.id) || codes::IsZepa3Type(rec.id);
  if (util::HasExtension(file, ".bin")) {
    if (five_bit_family)
      AbortDevice(context.host, position, "Incorrect file type (.bin) for ZEPA2/ZEPA3 device!");
    const std::string bytes = util::ReadFileOrThrow(file);
    const int first = bytes.empty() ? -1 : static_cast<unsigned char>(bytes[0]);
    if (first != rec.id) {
      AbortDevice(context.host, position,
                  "Specified device does not match with (a possible " + std::string(TypeName(first)) +
                      ") design file " + Tag(position));
    }
  } else if (util::HasExtension(file, ".isp")) {
    if (!five_bit_family) AbortDevice(context.host, position, "Incorrect file type (.isp) for ZEPA1 device!");
    if (const Zepa2Geometry* zepa2 = Zepa2GeometryOf(rec.id)) {
      if (rec.bin_size != zepa2->isp_bytes) context.messages().add_message("Not a legal ZEPA2 .isp file!");
    } else {
      static constexpr std::array<std::array<int, 2>, 5> kSizes{{{codes::kVtl3032XL, 3348},
                                                                 {codes::kVtl3064XL, 6996},
                                                                 {codes::kVtl3128XL, 14628},
                                                                 {codes::kVtl3256XL, 32760},
                                                                 {codes::kVtl3384XL, 54180}}};
      bool legal = false;
      for (const auto& [id, size] : kSizes) legal = legal || (rec.id == id && rec.bin_size == size);
      if (!legal) context.messages().add_message("Not a legal ZEPA3 .isp file!");
    }
  }
}

}  // namespace zepa::engine

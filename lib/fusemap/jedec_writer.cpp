#include "fusemap/jedec_writer.h"

#include <cstdio>
#include <optional>

#include "fusemap/fatal_error.h"
#include "util/files.h"
#include "util/local_time.h"
#include "util/path.h"

namespace zepa::fusemap {

std::string CtimeText(std::time_t t) {
  const std::tm local = util::LocalTime(t);
  char buf[64];
  // ctime's layout: the day of the month is padded with a blank, not a zero.
  std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d %d",
                &"SunMonTueWedThuFriSat"[3 * (local.tm_wday % 7)],
                &"JanFebMarAprMayJunJulAugSepOctNovDec"[3 * (local.tm_mon % 12)], local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, 1900 + local.tm_year);
  return buf;
}

std::string ChecksumDigits(std::uint16_t checksum) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(checksum));
  return buf;
}

namespace {

std::string JedecText(const FuseArray& fuse, const JedecHeader& header,
                      std::span<const JedecSection> sections, std::uint16_t checksum) {
  std::string out;
  long total_width = 0;
  for (const auto& s : sections)
    total_width += static_cast<long>(s.rows) * (s.width + 10) + s.title.size() + 2;
  out.reserve(static_cast<std::size_t>(total_width) + 256);

  out += '\x02';
  out += " Chip readback JEDECFILE:" + header.file_name + " Created on:" + header.created + "\n";
  out += "NOTE DEVICE " + header.part_name + "*\n";
  out += "QF" + std::to_string(fuse.TotalFuseNum()) + "* F0*\n";
  out += "QV0* X0*\n";

  bool first = true;
  for (const auto& s : sections) {
    out += first ? "\n" : "\n\n";
    first = false;
    out += s.title;
    for (int r = 0; r < s.rows; ++r) {
      const long start = s.first_fuse + static_cast<long>(r) * s.width;
      char label[24];
      std::snprintf(label, sizeof label, "\nL%06ld ", start);
      out += label;
      for (long n = start; n < start + s.width; ++n) out += fuse.read_fuse(n) ? '1' : '0';
      out += '*';
    }
  }
  out += '\n';
  out += "\nC" + ChecksumDigits(checksum) + "*\n";
  return out;
}

}  // namespace

std::string jedec_text(const FuseArray& fuse, const JedecHeader& header,
                       std::span<const JedecSection> sections) {
  return JedecText(fuse, header, sections, fuse.Checksum());
}

std::optional<std::string> readback_jedec_name(std::string_view image_file, int chip_flag) {
  return util::ReplaceExtension(image_file, chip_flag == 1 ? "_chip.jed" : ".jed");
}

std::uint16_t fuse2jed(const FuseArray& fuse, const JedecHeader& header,
                       std::span<const JedecSection> sections, const std::string& jedec_path,
                       const std::string& chksum_path) {
  const std::uint16_t checksum = fuse.Checksum();
  if (!util::TryReplaceFile(util::NativePath(jedec_path), JedecText(fuse, header, sections, checksum))) {
    throw FatalError(kErrBitOpen, "File " + jedec_path + " open failed.");
  }
  if (!util::TryReplaceFile(util::NativePath(chksum_path), ChecksumDigits(checksum))) {
    throw FatalError(kErrBitOpen, "File " + chksum_path + " open failed.");
  }
  return checksum;
}

}  // namespace zepa::fusemap

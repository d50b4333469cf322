#include "fusemap/zepa3_isp.h"

#include "fusemap/fatal_error.h"
#include "util/files.h"
#include "util/path.h"

namespace zepa::fusemap {

std::string printout_zepa3_data_map(const Zepa3Map& map, int frame, const FuseArray& fuse) {
  std::string line;
  const auto bits = map.bits(frame);
  line.reserve(bits.size());
  for (const auto& b : bits) line += (b.fuse == kNoFuse || fuse.read_fuse(b.fuse)) ? '1' : '0';
  return line;
}

std::string printout_zepa3_ues_field(const Zepa3Map& map, int upper, std::string_view ues) {
  const ZEPA3_type& g = map.geometry();
  const ZEPA3_UES_type& u = map.ues_layout();
  while (!ues.empty() && (ues.back() == '\n' || ues.back() == '\r')) ues.remove_suffix(1);
  const auto chars = std::min<std::size_t>(ues.size(), static_cast<std::size_t>(u.total_ues_bit / 8));

  // Signature bit s: bit 7 - s mod 8 of character s / 8; 1 past the text.
  auto signature_bit = [&](int s) {
    const auto i = static_cast<std::size_t>(s / 8);
    if (i >= chars) return '1';
    return ((static_cast<unsigned char>(ues[i]) >> (7 - s % 8)) & 1u) ? '1' : '0';
  };

  std::string line(static_cast<std::size_t>(g.DR_LEN), '1');
  int s = upper ? u.total_ues_bit / 2 : 0;
  for (auto [first, last] : {std::pair{u.par1_start, u.par1_end}, std::pair{u.par2_start, u.par2_end},
                             std::pair{u.par3_start, u.par3_end}}) {
    for (int bit = first; bit <= last; ++bit) line[static_cast<std::size_t>(bit)] = signature_bit(s++);
  }
  return line;
}

std::string convert_bit_2_isp_line(std::string_view bit_line, int dr_len) {
  if (dr_len <= 0 || bit_line.size() != static_cast<std::size_t>(dr_len))
    throw FatalError(kErrBitLineLength, "Error .bit file data length!");
  static constexpr char kHex[] = "0123456789ABCDEF";
  const int digits = (dr_len + 3) / 4;
  std::string out(static_cast<std::size_t>(digits), '0');
  for (int d = 0; d < digits; ++d) {
    unsigned v = 0;
    for (int j = 0; j < 4; ++j) {
      const int bit = dr_len - 1 - (4 * d + j);  // the last bit goes first
      v = (v << 1) | ((bit >= 0 && bit_line[static_cast<std::size_t>(bit)] == '1') ? 1u : 0u);
    }
    out[static_cast<std::size_t>(d)] = kHex[v];
  }
  return out;
}

Zepa3Image build_zepa3_image(const Zepa3Map& map, const FuseArray& fuse, std::string_view ues) {
  const int dr_len = map.geometry().DR_LEN;
  Zepa3Image image;
  image.bit_text.reserve(static_cast<std::size_t>(map.frame_count()) * static_cast<std::size_t>(dr_len + 1));
  image.isp_text.reserve(static_cast<std::size_t>(map.frame_count()) *
                         static_cast<std::size_t>(map.geometry().HexDigits() + 1));
  for (int i = 0; i < map.frame_count(); ++i) {
    const Zepa3FrameId& f = map.frame(i);
    const std::string line = f.kind == Zepa3FrameKind::kSignature
                                 ? printout_zepa3_ues_field(map, f.upper, ues)
                                 : printout_zepa3_data_map(map, i, fuse);
    image.bit_text += line;
    image.bit_text += '\n';
    image.isp_text += convert_bit_2_isp_line(line, dr_len);
    image.isp_text += '\n';
  }
  return image;
}

std::optional<std::string> get_base_name(const jcd_type& rec, std::string_view jedfile_name,
                                         std::string_view root_path) {
  if (!jedfile_name.empty())
    return util::ReplaceExtension(jedfile_name, "").value_or(std::string(jedfile_name));
  if (rec.cmnd == kOpProgramUes || rec.cmnd == kOpReadUes) return std::string(root_path) + "tempues";
  return std::nullopt;
}

std::optional<std::string> assemble_zepa3_frame(const jcd_type& rec, const FuseArray& fuse,
                                                std::string_view jedfile_name, std::string_view root_path) {
  const std::optional<std::string> base = get_base_name(rec, jedfile_name, root_path);
  if (!base) return std::nullopt;
  const Zepa3Map map(rec.id);
  const Zepa3Image image = build_zepa3_image(map, fuse, rec.ues);
  const std::string bit_path = *base + ".bit", isp_path = *base + ".isp";
  if (!util::TryReplaceFile(util::NativePath(bit_path), image.bit_text))
    throw FatalError(kErrBitOpen, "File .bit open failed. (" + bit_path + ")");
  if (!util::TryReplaceFile(util::NativePath(isp_path), image.isp_text))
    throw FatalError(kErrIspOpen, "File .isp open failed. (" + isp_path + ")");
  return base;
}

}  // namespace zepa::fusemap

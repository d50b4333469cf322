#include "fusemap/zepa1_image.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "fusemap/fatal_error.h"
#include "fusemap/file_io.h"
#include "fusemap/zepa1_map.h"
#include "util/files.h"

namespace zepa::fusemap {
namespace {

constexpr int kUesFieldChars = 15;
constexpr int kUesFieldBits = kUesFieldChars * 8;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  std::array<char, 64> buf{};
  const int n = std::snprintf(buf.data(), buf.size(), format, args...);
  return std::string(buf.data(), static_cast<std::size_t>(n < 0 ? 0 : n));
}

char SideLetter(int side) {
  return side == 0 ? 'L' : 'R';
}
char BlockLetter(int block) {
  return static_cast<char>('A' + block);
}

}  // namespace

Zepa1Image::Zepa1Image(const jcd_type& rec)
    : row_len_(Zepa1RowLength(rec.id)), stream_len_(rec.stream_len), bin_size_(rec.bin_size) {
  if (row_len_ == 0 || rec.DR_len != row_len_ || stream_len_ != 2L * kZepa1Rows * row_len_ ||
      bin_size_ > static_cast<unsigned>(stream_len_ / 8 + 2) || bin_size_ == 0) {
    throw std::invalid_argument("device record of part " + rec.part + " has no ZEPA1 image geometry");
  }
  cr_.assign(static_cast<std::size_t>(stream_len_ / 8 + 2), 0xFF);
  cr_.front() = static_cast<std::uint8_t>(rec.id);
  cr_.back() = 0x00;
  // The 32-macrocell stream ends two bits into the last byte: those bits are ones like every other.
  for (long b = 8L * static_cast<long>(cr_.size() - 2); b < stream_len_; ++b) SetStreamBit(b, 1);
}

long Zepa1Image::Index(int side, int row, int j) const {
  if (side < 0 || side > 1 || row < 0 || row >= kZepa1Rows || j < 0 || j >= row_len_) {
    throw std::out_of_range("row bit outside the ZEPA1 image");
  }
  return (static_cast<long>(side) * kZepa1Rows + row) * row_len_ + j;
}

int Zepa1Image::StreamBit(long b) const {
  if (b < 0 || b >= stream_len_) throw std::out_of_range("stream bit outside the ZEPA1 image");
  return (cr_[static_cast<std::size_t>(1 + b / 8)] >> (7 - b % 8)) & 1;
}

void Zepa1Image::SetStreamBit(long b, int value) {
  if (b < 0 || b >= stream_len_) throw std::out_of_range("stream bit outside the ZEPA1 image");
  const auto mask = static_cast<std::uint8_t>(0x80u >> (b % 8));
  std::uint8_t& byte = cr_[static_cast<std::size_t>(1 + b / 8)];
  byte = value ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

std::string Zepa1Image::FileBytes() const {
  return std::string(reinterpret_cast<const char*>(cr_.data()), bin_size_);
}

void map2stream(Zepa1Image& image, const std::vector<std::int32_t>& stream_map, const FuseArray& fuse) {
  for (long b = 0; b < static_cast<long>(stream_map.size()); ++b) {
    const std::int32_t source = stream_map[static_cast<std::size_t>(b)];
    image.SetStreamBit(b, source >= 0 ? fuse.read_fuse(source) : 1);
  }
}

void loadUESfile(Zepa1Image& image, const jcd_type& rec) {
  const int used = rec.lb * 2 * kUesFieldChars;
  std::array<std::uint8_t, kUesCapacity> ues{};
  ues.fill(0xFF);
  const auto first = rec.ues.empty() ? 0u : static_cast<unsigned char>(rec.ues[0]);
  if (first >= 32 && first <= 127) {
    std::size_t n = 0;
    for (; n < rec.ues.size() && n + 1 < ues.size() && rec.ues[n] != '\0'; ++n) {
      ues[n] = static_cast<std::uint8_t>(rec.ues[n]);
    }
    ues[n] = 0;
  }
  ues[static_cast<std::size_t>(used)] = 0;

  const int L = image.row_length();
  std::vector<std::uint8_t> placed(static_cast<std::size_t>(L));
  for (int side = 0; side < 2; ++side) {
    // Fields are laid out counting from the row's far end, then the row is turned round into shift order.
    std::fill(placed.begin(), placed.end(), 1);
    for (int j = 0; j < rec.lb; ++j) {
      const int ues_word_pos = side * rec.lb * kUesFieldChars + j * kUesFieldChars;
      const long start = rec.first_ues_bit + static_cast<long>(j) * rec.ues_offset;
      for (int t = 0; t < kUesFieldBits; ++t) {
        const long p = start + t;
        if (p < 0 || p >= L) continue;  // a field reaching past the row has nowhere to go
        placed[static_cast<std::size_t>(p)] =
            (ues[static_cast<std::size_t>(ues_word_pos + t / 8)] >> (t % 8)) & 1;
      }
    }
    for (int k = 0; k < L; ++k)
      image.SetRowBit(side, kZepa1UesRow, k, placed[static_cast<std::size_t>(L - 1 - k)]);
  }
}

Zepa1Image BuildZepa1Image(const jcd_type& rec, const FuseArray& fuse) {
  Zepa1Image image(rec);
  if (fuse.TotalFuseNum() < rec.jed_fuse) throw std::invalid_argument("fuse array smaller than the part");
  map2stream(image, Zepa1StreamMap(rec.id), fuse);
  loadUESfile(image, rec);
  return image;
}

Zepa1Image BuildUesImage(const jcd_type& rec) {
  Zepa1Image image(rec);
  loadUESfile(image, rec);
  return image;
}

std::string SRfuseListing(const jcd_type& rec, const std::vector<std::int32_t>& stream_map,
                          const FuseArray& fuse) {
  const int L = Zepa1RowLength(rec.id);
  const int seg = Zepa1SegmentBits(rec.id);
  const bool wide = L == 1028;  // the 128-macrocell listing has its own layout
  const int per_line = wide ? 11 : 10;
  std::string out;
  if (!wide)
    out += rec.id == kZepa1_64 ? "\nqd3064-isp Jedec/SR Cell mapping table\n"
                               : "\nqd3032-isp Jedec/SR Cell mapping table\n";
  for (int side = 0; side < 2; ++side) {
    if (wide) out += Format("\n<<SIDE %c>>\n", SideLetter(side));
    for (int row = 0; row <= 40; ++row) {
      if (wide) out += Format("\n     << ROW %02d>>\n", row);
      for (int slot = 0; slot * seg < L; ++slot) {
        const int block = Zepa1BlockAt(rec.id, side, slot);
        out += wide ? Format("\n          << BLOCK %c>>\n", BlockLetter(block))
                    : Format("\n\n<< BLOCK %c, ROW %2d, SR bit #%d->#0 >>\n", BlockLetter(block), row, L - 1);
        for (int k = 0; k < seg; ++k) {
          const std::int32_t src = stream_map[static_cast<std::size_t>(
              (static_cast<long>(side) * kZepa1Rows + row) * L + slot * seg + k)];
          const char* constant = src == kSecOne ? "-SEC-" : "-----";
          if (wide) {
            out += src >= 0 ? Format("%05ld  ", static_cast<long>(src)) : Format("%s  ", constant);
          } else {
            out += src >= 0 ? Format("%5ld[%d]  ", static_cast<long>(src), fuse.read_fuse(src))
                            : Format("%s[1]  ", constant);
          }
          if ((k + 1) % per_line == 0 || k + 1 == seg) out += '\n';
        }
      }
    }
  }
  return out;
}

std::string StreamHexListing(const Zepa1Image& image) {
  const int L = image.row_length();
  const bool wide = L == 1028;
  const int words = (L + 15) / 16;
  std::string out;
  for (int side = 0; side < 2; ++side) {
    for (int row = 0; row < kZepa1Rows; ++row) {
      if (row % 10 == 0 && row <= 40) {
        if (wide) {
          out += Format("//Side_%c, Address_%d\n", SideLetter(side), row);
          out += "  SR bit #1027 --> #0\n";
        } else {
          out += Format("\n//Side_%c, Address_%d\n", SideLetter(side), row);
          out += Format("SR bit #%d <-- #0 (last bit in each line pad with a '0')\n", L - 1);
          for (int w = 0; w < words; ++w) out += Format(w + 1 < words ? "%-4d " : "%-4d\n", L - 1 - 16 * w);
        }
      }
      for (int w = 0; w < words; ++w) {
        unsigned value = 0;
        for (int i = 0; i < 16; ++i) {
          const int j = 16 * w + i;
          value = (value << 1) | static_cast<unsigned>(j < L ? image.RowBit(side, row, j) : 0);
        }
        out += Format(w + 1 < words ? "%04x " : "%04x\n", value);
      }
    }
  }
  return out;
}

std::string Fuse2Stream(const jcd_type& rec, const std::string& image_name, const FuseArray& fuse,
                        int dbgLevel, const Zepa1Output& out) {
  if (!IsZepa1Part(rec.id)) return {};
  std::ostream& messages = *out.messages;
  const bool signature_only = image_name.empty();
  const std::string name = signature_only ? std::string("tempues.bin") : image_name;
  const std::string path =
      ResolveInFolder(signature_only && !out.ues_dir.empty() ? out.ues_dir : out.work_dir, name);

  std::string image_bytes;
  if (signature_only) {
    image_bytes = BuildUesImage(rec).FileBytes();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  } else {
    const Zepa1Image image = BuildZepa1Image(rec, fuse);
    image_bytes = image.FileBytes();
    if (dbgLevel & 1) {
      if (!util::TryReplaceFile(ResolveInFolder(out.work_dir, "SRfuse.doc"),
                                SRfuseListing(rec, Zepa1StreamMap(rec.id), fuse))) {
        messages << "SRfuse.doc: File open failed.\n";
      }
      if (!util::TryReplaceFile(ResolveInFolder(out.work_dir, "stream.hex"), StreamHexListing(image))) {
        messages << "Stream.hex: File open failed.\n";
      }
    }
  }
  if (!util::TryReplaceFile(path, image_bytes)) {
    messages << name << ": File open failed.\n";
    throw FatalError(kErrImageOpen, name + ": File open failed.");
  }
  return path;
}

}  // namespace zepa::fusemap

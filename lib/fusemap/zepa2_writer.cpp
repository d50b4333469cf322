#include "fusemap/zepa2_writer.h"

#include <charconv>
#include <ctime>
#include <fstream>
#include <system_error>

#include "fusemap/fatal_error.h"
#include "fusemap/file_io.h"
#include "fusemap/zepa2_mcs.h"
#include "fusemap/zepa2_packet.h"

namespace zepa::fusemap::zepa2 {
namespace {

void AppendNumber(std::string& out, long value, int width) {
  char buf[24];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  const auto len = static_cast<int>(end - buf);
  if (len < width) out.append(static_cast<std::size_t>(width - len), ' ');
  out.append(buf, end);
}

// The fuse address a listing shows for a bit: -1 when no fuse feeds it.
long ListedAddress(const BitSource& s) {
  return s.kind == BitSource::Kind::kNoFuse ? -1 : s.fuse;
}

void AppendFrameListing(std::string& dbg, int sfb, int lb, int address, const Header& h,
                        std::string_view header_bits, std::string_view data_frame, std::string_view grey_addr,
                        std::string_view packet) {
  dbg.append("\n[SFB=").append(std::to_string(sfb));
  dbg.append("  LB=").append(std::to_string(lb));
  dbg.append("  Address=").append(std::to_string(address)).append("] [following field:lsb ... msb]");
  dbg.append("\nLeading 1s  :").append(h.leading_ones);
  dbg.append("\nPreamble    :").append(h.preamble);
  dbg.append("\nCRC Enable  :").push_back(h.crc_enable);
  dbg.append("\nCRC bits    :").append(h.crc_bits);
  dbg.append("\nComp bits   :").append(h.comp_bits);
  if (h.standard) {
    dbg.append("\nHeader        <0:31>:").append(header_bits);
    dbg.append("\nAlign/Stop   <32:34>:110");
    dbg.append("\ndata_frame  <35:580>:").append(data_frame);
    dbg.append("\ngrey_addr  <581:591>:").append(grey_addr);
  } else {
    dbg.append("\nHeader        <0:33>:").append(header_bits);
    dbg.append("\nAlign/Stop   <34:36>:110");
    dbg.append("\ndata_frame          :compressed");
    dbg.append("\ngrey_addr    <37:47>:").append(grey_addr);
  }
  dbg.append("\n").append(PacketHexBackwards(packet));
}

void AppendEndListing(std::string& dbg, std::string_view packet) {
  dbg += "\n[End of configuration] [following field:lsb ... msb]";
  dbg += "\nLeading 1s  :" + std::string(packet.substr(0, 11));
  dbg += "\nPreamble    :" + std::string(packet.substr(11, 4));
  dbg += "\nTrailing 1s :" + std::string(packet.substr(15));
  dbg += "\n" + PacketHexBackwards(packet) + "\n";
}

// One table per super fast block: a header row of its frame numbers, then one row per data-frame bit
// with the fuse address of that bit in every frame.
std::string JedMapTable(const std::vector<long>& addresses, int sfb) {
  std::string table;
  for (int f = 0; f < kFramesPerSfb; ++f) AppendNumber(table, f, 7);
  table += '\n';
  const std::size_t first = static_cast<std::size_t>(sfb) * kFramesPerSfb * kDataFrameBits;
  for (int bit = 0; bit < kDataFrameBits; ++bit) {
    AppendNumber(table, bit, 7);
    for (int f = 0; f < kFramesPerSfb; ++f) {
      AppendNumber(table, addresses[first + static_cast<std::size_t>(f) * kDataFrameBits + bit], 7);
    }
    table += '\n';
  }
  return table;
}

// Writes files under temporary names; Commit() renames them all into place. Files not committed are
// removed when the set goes away.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles() {
    for (const Entry& e : entries_) {
      std::error_code ec;
      std::filesystem::remove(e.temp, ec);
    }
  }

  void Add(const std::filesystem::path& target, std::string_view content, int error_code) {
    std::filesystem::path temp = target;
    temp += ".tmp";
    entries_.push_back({target, temp, error_code});
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (out) out.close();
    if (!out) Fail(entries_.back());
  }

  // When one rename fails the files already renamed are removed again: the set is complete or absent.
  void Commit() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      std::error_code ec;
      std::filesystem::rename(entries_[i].temp, entries_[i].target, ec);
      if (ec) {
        for (std::size_t done = 0; done < i; ++done) std::filesystem::remove(entries_[done].target, ec);
        Fail(entries_[i]);
      }
    }
    entries_.clear();
  }

 private:
  struct Entry {
    std::filesystem::path target, temp;
    int error_code;
  };
  [[noreturn]] static void Fail(const Entry& e) {
    throw FatalError(e.error_code, e.target.string() + ": File open failed.");
  }
  std::vector<Entry> entries_;
};

}  // namespace

std::string SystemClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  const std::size_t n = std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &local);
  return std::string(buf, n);
}

Outputs BuildOutputs(const FuseArray& fuses, const Geometry& g, int dbg_level, const Clock& clock) {
  if (fuses.TotalFuseNum() < g.fuse_count()) {
    throw std::invalid_argument("fuse array of " + std::to_string(fuses.TotalFuseNum()) +
                                " fuses is too small for a part of " + std::to_string(g.fuse_count()));
  }
  const bool list_addresses = (dbg_level & kDbgFuseAddressListing) != 0;
  const bool always_standard = (dbg_level & kDbgAlwaysStandard) != 0;
  const McsBitOrder order = (dbg_level & kDbgMcsMsbFirst) ? McsBitOrder::kMsbFirst : McsBitOrder::kLsbFirst;

  Outputs out;
  const auto frames = static_cast<std::size_t>(g.frame_count());
  out.isp.reserve(frames * (kIspLineBits / 4 + 1));
  out.bit.reserve(frames * (kStandardPacketBits + 1) + kCompressedPacketBits);
  out.dbg.reserve(frames * 1024);
  std::vector<long> addresses;
  if (list_addresses) addresses.reserve(frames * kDataFrameBits);

  BitPacker mcs_bytes(order);
  std::string previous_data_frame;
  for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
    out.dbg += "\n[SFB=" + std::to_string(sfb) + "] Created on:" + clock.Now();
    for (int lb = 0; lb < kLogicBlocks; ++lb) {
      for (int column = 0; column < kColumns; ++column) {
        const FrameMap map = MapFrame(g, sfb, lb, column);
        std::string data_frame = assemble_data_field(fuses, map);
        if (list_addresses) {
          for (const BitSource& s : map) {
            AppendNumber(out.doc, ListedAddress(s), 6);
            out.doc += ' ';
            addresses.push_back(ListedAddress(s));
          }
          out.doc += '\n';
        }
        const std::string grey_addr = assemble_grey_code_address(sfb, lb, column);
        const FrameClass cls = data_bit_compare(data_frame, previous_data_frame);
        const Header header = get_header(cls, always_standard, data_frame, grey_addr);
        const std::string packet = assemble_all(header, data_frame, grey_addr);
        (header.standard ? out.standard_frames : out.compressed_frames) += 1;

        out.bit += packet;
        out.bit += '\n';
        mcs_bytes.Append(packet);
        out.isp += write_to_isp_file(data_frame, grey_addr);
        out.isp += '\n';
        AppendFrameListing(out.dbg, sfb, lb, sfb * kFramesPerSfb + lb * kColumns + column, header,
                           std::string_view(packet).substr(0, header.standard ? 32 : 34), data_frame,
                           grey_addr, packet);
        previous_data_frame = std::move(data_frame);
      }
    }
  }
  const std::string end_packet = assemble_end_config_frame();
  out.bit += end_packet;
  mcs_bytes.Append(end_packet);
  AppendEndListing(out.dbg, end_packet);
  out.mcs = McsRecords(mcs_bytes.Finish());
  if (list_addresses) {
    for (int sfb = 0; sfb < g.sfb_count(); ++sfb) out.jedmaps.push_back(JedMapTable(addresses, sfb));
  }
  return out;
}

std::string OutputRootName(std::string_view jedfile_name) {
  const std::size_t dot = jedfile_name.rfind('.');
  if (dot == std::string_view::npos || dot < FileNameStart(jedfile_name)) return std::string(jedfile_name);
  return std::string(jedfile_name.substr(0, dot));
}

Outputs assemble_std_frame(const FuseArray& fuses, int part, std::string_view jedfile_name,
                           const Options& options) {
  const SystemClock system_clock;
  const Clock& clock = options.clock ? *options.clock : static_cast<const Clock&>(system_clock);
  Outputs out = BuildOutputs(fuses, Geometry::ForPart(part), options.dbg_level, clock);

  const std::string root = OutputRootName(jedfile_name);
  try {
    StagedFiles files;
    if (options.dbg_level & kDbgFuseAddressListing)
      files.Add(NativePath(root + ".doc"), out.doc, kErrDocOpen);
    files.Add(NativePath(root + ".bit"), out.bit, kErrBitOpen);
    files.Add(NativePath(root + ".isp"), out.isp, kErrIspOpen);
    files.Add(NativePath(root + ".dbg"), out.dbg, kErrDbgOpen);
    files.Add(NativePath(root + ".mcs"), out.mcs, kErrMcsOpen);
    for (std::size_t sfb = 0; sfb < out.jedmaps.size(); ++sfb) {
      files.Add(options.listing_dir / ("jedmap" + std::to_string(sfb) + ".doc"), out.jedmaps[sfb],
                kErrDocOpen);
    }
    files.Commit();
  } catch (const FatalError& e) {
    if (options.messages) *options.messages << e.what() << "\n";
    throw;
  }
  std::error_code ignored;
  std::filesystem::remove(options.listing_dir / "jed_map.doc", ignored);
  return out;
}

}  // namespace zepa::fusemap::zepa2

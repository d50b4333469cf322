#include "fusemap/zepa2_writer.h"

#include <charconv>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <system_error>

#include "fusemap/fatal_error.h"
#include "fusemap/zepa2_mcs.h"
#include "fusemap/zepa2_packet.h"
#include "util/files.h"
#include "util/local_time.h"
#include "util/path.h"

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
  dbg.append("\n[End of configuration] [following field:lsb ... msb]");
  dbg.append("\nLeading 1s  :").append(packet.substr(0, 11));
  dbg.append("\nPreamble    :").append(packet.substr(11, 4));
  dbg.append("\nTrailing 1s :").append(packet.substr(15));
  dbg.append("\n").append(PacketHexBackwards(packet)).append("\n");
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

// Writes files under temporary names; Commit() closes them and puts them all in place. Files not committed
// are removed when the set goes away.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // The stream of a new temporary file for `target`; throws FatalError `error_code` when it cannot be made.
  std::ostream& Open(const std::string& target, int error_code) {
    try {
      entries_.push_back({std::make_unique<util::PendingFile>(target), error_code});
    } catch (const util::FileError&) {
      Fail(target, error_code);
    }
    return entries_.back().file->stream();
  }

  // Every file is completed before the first is put in place; when one cannot be put in place, the files
  // already placed are removed again: the set is complete or absent.
  void Commit() {
    for (Entry& e : entries_) {
      try {
        e.file->Finish();
      } catch (const util::FileError&) {
        Fail(e.file->path(), e.error_code);
      }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      try {
        entries_[i].file->Commit();
      } catch (const util::FileError&) {
        for (std::size_t done = 0; done < i; ++done) util::RemoveFile(entries_[done].file->path());
        Fail(entries_[i].file->path(), entries_[i].error_code);
      }
    }
    entries_.clear();
  }

 private:
  struct Entry {
    std::unique_ptr<util::PendingFile> file;
    int error_code = 0;
  };
  [[noreturn]] static void Fail(const std::string& target, int error_code) {
    throw FatalError(error_code, target + ": File open failed.");
  }
  std::vector<Entry> entries_;
};

// Collects text for one stream and hands it over in pieces of about 64 KB, so a run never holds a
// whole output file in memory.
class ChunkedText {
 public:
  explicit ChunkedText(std::ostream& out) : out_(out) { text_.reserve(kChunk + 8192); }
  ChunkedText(const ChunkedText&) = delete;
  ChunkedText& operator=(const ChunkedText&) = delete;

  std::string& text() { return text_; }
  void MaybeFlush() {
    if (text_.size() >= kChunk) Flush();
  }
  void Flush() {
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
  }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;
  std::ostream& out_;
  std::string text_;
};

void CheckFuseArray(const FuseArray& fuses, const Geometry& g) {
  if (fuses.TotalFuseNum() < g.fuse_count()) {
    throw std::invalid_argument("fuse array of " + std::to_string(fuses.TotalFuseNum()) +
                                " fuses is too small for a part of " + std::to_string(g.fuse_count()));
  }
}

}  // namespace

std::string CtimeText(const std::tm& time) {
  // The day padded with a blank is put in by hand: Windows' C runtime (msvcrt) has no "%e".
  char buf[32];
  std::string text(buf, std::strftime(buf, sizeof buf, "%a %b ", &time));
  AppendNumber(text, time.tm_mday, 2);
  text.append(buf, std::strftime(buf, sizeof buf, " %H:%M:%S %Y", &time));
  return text;
}

std::string SystemClock::Now() const {
  return CtimeText(util::LocalTimeNow());
}

WalkSummary WriteOutputs(const FuseArray& fuses, const Geometry& g, int dbg_level, const Clock& clock,
                         const OutputStreams& streams) {
  CheckFuseArray(fuses, g);
  const bool list_addresses = (dbg_level & kDbgFuseAddressListing) != 0;
  if (list_addresses &&
      (streams.doc == nullptr || streams.jedmaps.size() != static_cast<std::size_t>(g.sfb_count()))) {
    throw std::invalid_argument("fuse address listings need the .doc stream and one table stream per block");
  }
  const bool always_standard = (dbg_level & kDbgAlwaysStandard) != 0;
  const McsBitOrder order = (dbg_level & kDbgMcsMsbFirst) ? McsBitOrder::kMsbFirst : McsBitOrder::kLsbFirst;

  WalkSummary summary;
  ChunkedText isp(streams.isp), bit(streams.bit), dbg(streams.dbg);
  std::optional<ChunkedText> doc;
  std::vector<long> addresses;
  if (list_addresses) {
    doc.emplace(*streams.doc);
    addresses.reserve(static_cast<std::size_t>(g.frame_count()) * kDataFrameBits);
  }

  const FrameMapper frames(g);
  BitPacker mcs_bytes(order);
  std::string previous_data_frame;
  for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
    dbg.text() += "\n[SFB=" + std::to_string(sfb) + "] Created on:" + clock.Now();
    for (int lb = 0; lb < kLogicBlocks; ++lb) {
      for (int column = 0; column < kColumns; ++column) {
        std::string data_frame = frames.Data(fuses, sfb, lb, column);
        if (list_addresses) {
          for (const BitSource& s : frames.Map(sfb, lb, column)) {
            AppendNumber(doc->text(), ListedAddress(s), 6);
            doc->text() += ' ';
            addresses.push_back(ListedAddress(s));
          }
          doc->text() += '\n';
          doc->MaybeFlush();
        }
        const std::string grey_addr = assemble_grey_code_address(sfb, lb, column);
        const FrameClass cls = data_bit_compare(data_frame, previous_data_frame);
        const Header header = get_header(cls, always_standard, data_frame, grey_addr);
        const std::string packet = assemble_all(header, data_frame, grey_addr);
        (header.standard ? summary.standard_frames : summary.compressed_frames) += 1;

        bit.text().append(packet).push_back('\n');
        mcs_bytes.Append(packet);
        isp.text().append(write_to_isp_file(data_frame, grey_addr)).push_back('\n');
        AppendFrameListing(dbg.text(), sfb, lb, sfb * kFramesPerSfb + lb * kColumns + column, header,
                           std::string_view(packet).substr(0, header.standard ? 32 : 34), data_frame,
                           grey_addr, packet);
        bit.MaybeFlush();
        isp.MaybeFlush();
        dbg.MaybeFlush();
        previous_data_frame = std::move(data_frame);
      }
    }
  }
  const std::string end_packet = assemble_end_config_frame();
  bit.text() += end_packet;
  mcs_bytes.Append(end_packet);
  AppendEndListing(dbg.text(), end_packet);
  bit.Flush();
  isp.Flush();
  dbg.Flush();
  if (doc) doc->Flush();
  streams.mcs << McsRecords(mcs_bytes.Finish());
  if (list_addresses) {
    for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
      *streams.jedmaps[static_cast<std::size_t>(sfb)] << JedMapTable(addresses, sfb);
    }
  }
  return summary;
}

Outputs BuildOutputs(const FuseArray& fuses, const Geometry& g, int dbg_level, const Clock& clock) {
  std::ostringstream isp, bit, mcs, dbg, doc;
  std::vector<std::ostringstream> tables(static_cast<std::size_t>(g.sfb_count()));
  OutputStreams streams{isp, bit, mcs, dbg, nullptr, {}};
  if (dbg_level & kDbgFuseAddressListing) {
    streams.doc = &doc;
    for (auto& t : tables) streams.jedmaps.push_back(&t);
  }
  const WalkSummary summary = WriteOutputs(fuses, g, dbg_level, clock, streams);
  Outputs out;
  out.isp = std::move(isp).str();
  out.bit = std::move(bit).str();
  out.mcs = std::move(mcs).str();
  out.dbg = std::move(dbg).str();
  out.doc = std::move(doc).str();
  for (std::ostream* t : streams.jedmaps) out.jedmaps.push_back(static_cast<std::ostringstream*>(t)->str());
  out.standard_frames = summary.standard_frames;
  out.compressed_frames = summary.compressed_frames;
  return out;
}

std::string OutputRootName(std::string_view jedfile_name) {
  return util::StemPath(jedfile_name);
}

WalkSummary assemble_std_frame(const FuseArray& fuses, int part, std::string_view jedfile_name,
                               const Options& options) {
  const Geometry g = Geometry::ForPart(part);
  CheckFuseArray(fuses, g);
  const SystemClock system_clock;
  const Clock& clock = options.clock ? *options.clock : static_cast<const Clock&>(system_clock);
  const bool list_addresses = (options.dbg_level & kDbgFuseAddressListing) != 0;
  const std::string root = OutputRootName(jedfile_name);
  WalkSummary summary;
  try {
    StagedFiles files;
    std::ostream* doc = list_addresses ? &files.Open(util::NativePath(root + ".doc"), kErrDocOpen) : nullptr;
    std::ostream& bit = files.Open(util::NativePath(root + ".bit"), kErrBitOpen);
    std::ostream& isp = files.Open(util::NativePath(root + ".isp"), kErrIspOpen);
    std::ostream& dbg = files.Open(util::NativePath(root + ".dbg"), kErrDbgOpen);
    std::ostream& mcs = files.Open(util::NativePath(root + ".mcs"), kErrMcsOpen);
    OutputStreams streams{isp, bit, mcs, dbg, doc, {}};
    if (list_addresses) {
      for (int sfb = 0; sfb < g.sfb_count(); ++sfb) {
        streams.jedmaps.push_back(&files.Open(
            (options.listing_dir / ("jedmap" + std::to_string(sfb) + ".doc")).string(), kErrDocOpen));
      }
    }
    summary = WriteOutputs(fuses, g, options.dbg_level, clock, streams);
    files.Commit();
  } catch (const FatalError& e) {
    if (options.messages) *options.messages << e.what() << "\n";
    throw;
  }
  std::error_code ignored;
  std::filesystem::remove(options.listing_dir / "jed_map.doc", ignored);
  return summary;
}

}  // namespace zepa::fusemap::zepa2

#include "fusedump/fusedump.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "codes/type_codes.h"
#include "fusemap/fatal_error.h"
#include "fusemap/fuse_array.h"
#include "fusemap/jedec_writer.h"
#include "fusemap/zepa3_readback.h"
#include "util/path.h"

namespace zepa::fusedump {

using fusemap::FatalError;

int bin_to_jedec(const fusemap::jcd_type& rec, const std::string& image_file, int chip_flag,
                 Environment& env) {
  const fusemap::Zepa3Map map(rec.id);
  const auto jedec_path = fusemap::readback_jedec_name(image_file, chip_flag);
  if (!jedec_path) {
    throw FatalError(
        fusemap::kErrDesignPathNoExt,
        image_file + ": the image file name has no extension, so no JEDEC name can be made from it.");
  }
  if (*jedec_path == image_file) {
    throw FatalError(fusemap::kErrBitOpen,
                     "File " + *jedec_path + " open failed. (it is the image being read)");
  }

  std::ifstream in(util::NativePath(image_file), std::ios::binary);
  if (!in) throw FatalError(fusemap::kErrIspOpen, "File " + image_file + " open failed.");
  fusemap::FuseArray fuse(rec.jed_fuse, fusemap::FuseArray::Fill::kZeros);
  const auto report = fusemap::Isp2Fuse(map, in, image_file, fuse, env.out);

  const fusemap::JedecHeader header{
      .file_name = jedec_path->substr(util::FileNameStart(*jedec_path)),
      .created = fusemap::CtimeText(env.clock.Now()),
      .part_name = std::string(map.geometry().PART_NAME),
  };
  fusemap::fuse2jed(fuse, header, fusemap::zepa3_jedec_sections(map.geometry()), *jedec_path,
                    env.chksum_path);
  return report.invalid_digits;
}

namespace {

std::string SystemErrorText() {
  return std::strerror(errno);
}

}  // namespace

int Run(const std::vector<std::string>& args, Environment& env) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    env.out << "Usage:fusedump bin/isp_file device_name [chip_flag]\n"
            << "example:fusedump vtl256.isp VTL3256XL\n"
            << "Converts a ZEPA3 read-back image (hexadecimal text) into a JEDEC fuse file named after the\n"
            << "image with \".jed\". Exit status 0 on success, 1 on any fault.\n";
    return 0;
  }
  if (args.size() < 2) {
    const std::string sys = SystemErrorText();
    env.err << "Usage:fusedump bin/isp_file device_name: " << sys << "\n";
    env.err << "example:fusedump vtl256.isp VTL3256XL: " << sys << "\n";
    return 1;
  }
  const std::string& image_file = args[0];
  {
    std::error_code ec;
    if (std::filesystem::is_directory(util::NativePath(image_file), ec)) {
      env.err << "Error opening " << image_file << ": " << std::strerror(EISDIR) << "\n";
      return 1;
    }
    std::ifstream probe(util::NativePath(image_file), std::ios::binary);
    if (!probe) {
      env.err << "Error opening " << image_file << ": " << SystemErrorText() << "\n";
      return 1;
    }
  }
  int chip_flag = 0;
  if (args.size() > 2) {
    const std::string& a = args[2];
    const auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), chip_flag);
    if (ec != std::errc() || end != a.data() + a.size()) {
      env.err << "fusedump: chip flag \"" << a << "\" is not a decimal number\n";
      return 1;
    }
  }

  fusemap::jcd_type rec;
  rec.loc = 1;
  fusemap::get_part(rec, args[1], fusemap::Match128::kWholeName);
  if (!codes::IsZepa3Type(rec.id)) {
    env.err << "fusedump: " << args[1] << " is not a ZEPA3 part; nothing to convert.\n";
    return 1;
  }
  try {
    const int invalid = bin_to_jedec(rec, image_file, chip_flag, env);
    if (invalid > 0) {
      env.err << "fusedump: " << image_file << ": " << invalid
              << " characters were not hexadecimal digits; their bits read as 0 in the JEDEC file.\n";
      return 1;
    }
  } catch (const FatalError& e) {
    env.err << "FUSEDUMP error # " << e.code() << "\n" << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    env.err << "fusedump: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace zepa::fusedump

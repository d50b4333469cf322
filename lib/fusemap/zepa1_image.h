// The ZEPA1 device image: the shift-register rows of both sides with the user signature in row 41, as the
// programmer shifts them into the part, and its file <design>.bin (or tempues.bin for a signature alone).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "fusemap/file_io.h"
#include "fusemap/fuse_array.h"
#include "fusemap/part_table.h"

namespace zepa::fusemap {

// Image buffer of one ZEPA1 device: byte 0 is the part code ('3', 'U', 'w', 'x', 'y'); stream bit b lives in
// byte 1 + b / 8 at bit 7 - b % 8 (most significant bit first). A new buffer holds ones in every stream bit
// and zeros in the bits of its last byte that carry none; the file is its first `bin_size` bytes.
class Zepa1Image {
 public:
  // Throws std::invalid_argument when `rec` is not a ZEPA1 part with its geometry.
  explicit Zepa1Image(const jcd_type& rec);

  int row_length() const { return row_len_; }
  int StreamBit(long b) const;
  void SetStreamBit(long b, int value);
  int RowBit(int side, int row, int j) const { return StreamBit(Index(side, row, j)); }
  void SetRowBit(int side, int row, int j, int value) { SetStreamBit(Index(side, row, j), value); }

  const std::vector<std::uint8_t>& buffer() const { return cr_; }
  std::string FileBytes() const;

 private:
  long Index(int side, int row, int j) const;

  int row_len_;
  long stream_len_;
  unsigned bin_size_;
  std::vector<std::uint8_t> cr_;
};

// Fills every row of both sides from the fuse array through the part's stream map (zepa1_map.h); rows
// 41 and 42 become ones.
void map2stream(Zepa1Image& image, const std::vector<std::int32_t>& stream_map, const FuseArray& fuse);

// Writes the user signature `rec.ues` into row 41 of both sides. The text counts only when its first
// character is 32..127; it ends at its first zero byte or after lb * 30 characters, and the byte after it
// is a zero. Field j (15 characters) of side s holds characters (s * lb + j) * 15 ..; character bit t
// (least significant first) of field j goes to row position
// DR_len - 1 - (first_ues_bit + j * ues_offset + t). Every other bit of row 41 is a one.
void loadUESfile(Zepa1Image& image, const jcd_type& rec);

// The image of a design: rows from the fuses, then the signature.
Zepa1Image BuildZepa1Image(const jcd_type& rec, const FuseArray& fuse);
// The signature-only image of a device that has no design file: ones except the signature.
Zepa1Image BuildUesImage(const jcd_type& rec);

// Debug listings: the fuse number behind every row bit ("SRfuse.doc") and every row in hexadecimal
// ("stream.hex").
std::string SRfuseListing(const jcd_type& rec, const std::vector<std::int32_t>& stream_map,
                          const FuseArray& fuse);
std::string StreamHexListing(const Zepa1Image& image);

struct Zepa1Output {
  std::string work_dir;    // the current folder: tempues.bin and the listings go here ("" = process folder)
  std::string ues_dir;     // where tempues.bin goes instead, when set (the programmer's working folder)
  std::ostream* messages;  // standard output
};

// Writes the ZEPA1 image of `rec` (whose `id` is what the JEDEC reader found) to `image_name`, or, when
// `image_name` is empty, the signature-only image "tempues.bin" in the work folder (an old one is deleted
// first). With bit 0 of `dbgLevel` also the listings. Does nothing for a code without a ZEPA1 image.
// Returns the path written. An image that cannot be written prints "<name>: File open failed." and throws
// FatalError 907; an old image file is then left as it was.
std::string Fuse2Stream(const jcd_type& rec, const std::string& image_name, const FuseArray& fuse,
                        int dbgLevel, const Zepa1Output& out);

}  // namespace zepa::fusemap

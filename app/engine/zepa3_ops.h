// The operations of the chain grid on one ZEPA3 part (VTL3032XL .. VTL3384XL): bulk erase, blank check,
// program, verify, program and verify, read IDCODE with the security state, secure, program and read the
// user signature, upload and bypass. The part has a 5-bit instruction register and two sides of R + 2 rows
// (rows 0..R+1 lower, R+2..2R+3 upper; the last row of each side holds the user signature), addressed by
// side bit and Gray-coded row. Designs come as the .isp image (one hexadecimal line per row, the row's first
// bit the most significant bit of the first digit); what is read back goes to a .rd file of the same layout,
// which fusedump turns into JEDEC and the chip checksum.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "engine/runner.h"

namespace zepa::engine {

class Zepa3Operations final : public FamilyOperations {
 public:
  // `file` is the .isp image the runner chose (fusebuild's output or the design itself); operations that
  // write no rows ignore it.
  void Run(EngineContext& context, int op, int position, const std::string& file) override;
};

// The longest .isp line the engine reads (a 507-bit row is 127 digits).
inline constexpr std::size_t kZepa3LineLimit = 127;

// A row as '0'/'1' characters from its hexadecimal line: four bits per digit, most significant first, the
// first `bits` of them. A digit that is not hexadecimal gives four '?' characters.
std::string Zepa3RowBits(std::string_view line, int bits);
// A row read back as its .rd line: ceil(bits / 4) upper-case digits, the unused low bits of the last one 0.
std::string Zepa3RowText(std::string_view bits);

// The positions (first bit read = DR_len - 1, last = 0) of a ZEPA3 part's signature row that hold signature
// bits, in increasing order; empty for type codes without a signature layout.
std::vector<int> Zepa3SignaturePositions(int type_code);
// The signature text of the two signature rows as read (first bit read first): the kept bits of the lower
// row then of the upper row, packed eight to a byte, most significant first; a last incomplete byte is
// dropped.
std::string Zepa3SignatureBytes(int type_code, std::string_view lower_row, std::string_view upper_row);

}  // namespace zepa::engine

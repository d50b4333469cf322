// The ZEPA1 operations (4-bit instruction register, rows of 255, 512 or 1028 bits) as SVF statements.
#pragma once

#include "engine/jtag.h"
#include "svf/svf_output.h"
#include "svf/svf_writer.h"

namespace zepa::svf {

// Row r of the image: bit p is image bit r*L + p; with the address, its 7 bits follow, bit 6 first.
ScanBits Zepa1RowValue(const engine::BitBuffer& image, int row, int length, bool with_address);
// The security row: L ones but bit L-1-sec_pos, then the address of row 83.
ScanBits Zepa1SecurityValue(int length, int sec_pos);

// The hex digits of a row value (L or L+7 bits) laid out over lines: the last 20 digits on a line of their
// own, 60 digits on each line before them, the rest on the statement's first line; continuation lines
// start with 14 blanks. Rows of any length other than 255, 512 and 1028 bits write nothing.
void WriteZ1RowHex(SvfText& out, const ScanBits& value, int length);

// Writes operation `op` (Bulk Erase .. Read User Signature) of a ZEPA1 part. Program, verify and
// program-and-verify read the image from the engine's image buffer; the caller loads it for the signature
// operations.
void Zepa1Svf(SvfJob& job, SvfText& out, int op);

}  // namespace zepa::svf

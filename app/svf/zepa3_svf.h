// The ZEPA3 operations (5-bit instruction register, Gray-coded rows on a lower and an upper side) as SVF
// statements. Program, verify and the signature operations read the rows from the part's .isp image: one
// row per line in hex digits, the first digit shifted first.
#pragma once

#include <string>
#include <vector>

#include "svf/svf_output.h"
#include "svf/svf_writer.h"

namespace zepa::svf {

// The hex digits of a ZEPA3 row value laid out for the part's row length (114, 123, 266, 304 or 507 bits);
// any other length writes nothing.
void WriteZ3RowHex(SvfText& out, const ScanBits& value, int length);

// Writes operation `op` (Bulk Erase .. Read User Signature) of a ZEPA3 part; `isp_file` is its .isp image.
void Zepa3Svf(SvfJob& job, SvfText& out, int op, const std::string& isp_file);

}  // namespace zepa::svf

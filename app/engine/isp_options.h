// The option bits of a run: the programmer's IspOptions, copied into every request and read by the cable,
// the JTAG primitives, the chain scan, the operations and the converters' command line.
#pragma once

namespace zepa::engine {

enum IspOption : int {
  kOptFuseListing = 0x01,    // converters write their shift-register / fuse listings
  kOptOffLine = 0x02,        // no port is read or written
  kOptVerifyLog = 0x10,      // ZEPA1 verify writes its .vrf report; the chain scan logs its bits
  kOptBif = 0x20,            // record every clock into a pin-vector (.bif) file
  kOptSvf = 0x40,            // write SVF statements instead of driving the chain
  kOptStandardFrame = 0x200  // ZEPA2: never compress the data frames
};

}  // namespace zepa::engine

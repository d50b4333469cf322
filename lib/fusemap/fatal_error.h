// The converters' one way to fail: an exception carrying a numbered error code and its detail text.
// fusebuild and fusedump catch it in main, print it and exit with status 1; the programmer only looks at the
// exit status and at whether the expected output file exists.
#pragma once

#include <stdexcept>
#include <string>

namespace zepa::fusemap {

// Every code a converter can end with, in one table.
enum FatalCode : int {
  // Reading the inputs.
  kErrJedecOpen = 200,         // "%s: File open failed."  the JEDEC file cannot be opened
  kErrFuseOutsidePart = 201,   // an L field names fuses at or beyond the part's fuse count
  kErrDeviceNumber = 300,      // device number outside 1 .. number of DEVICE lines
  kErrTooManyDevices = 301,    // more than 60 DEVICE lines in the chain file
  kErrPartNameLength = 302,    // part name of 20 characters or more
  kErrDesignPathLength = 303,  // design path of 200 characters or more
  kErrDesignPathNoExt = 304,   // design path whose file name has no '.' (no image name can be derived)
  kErrProgramPath = 305,       // the program's own folder cannot be found
  kErrNoDesign = 306,          // a device to convert without a design file (and no signature image to make)
  kErrWrongPart = 321,         // the JEDEC file's fuse count belongs to another part
  kErrNoLegalPart = 322,       // the JEDEC file has no known fuse count
  kErrUnknownPart = 323,       // the chain file names a part that is not in the part table
  kErrBitLineLength = 501,     // ZEPA3 .bit line of the wrong length
  // Writing the outputs.
  kErrAddressData = 901,  // ZEPA2 ISP line of other than 560 bits
  kErrMcsOpen = 902,      // ZEPA2 .mcs cannot be created
  kErrDocOpen = 903,      // ZEPA2 .doc listing cannot be created
  kErrBitOpen = 904,      // .bit (or the readback JEDEC) cannot be created
  kErrIspOpen = 905,      // .isp cannot be created or opened
  kErrDbgOpen = 906,      // ZEPA2 .dbg cannot be created
  kErrImageOpen = 907,    // ZEPA1 image (<design>.bin or tempues.bin) cannot be created
};

class FatalError : public std::runtime_error {
 public:
  FatalError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace zepa::fusemap

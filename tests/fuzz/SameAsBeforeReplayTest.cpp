#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "TestSupport.h"

// The fuzz target that holds every quick way to the way it stands in for
// (fuzz/FuzzSameAsBefore.cpp), linked in whole beside FuzzReplayTest.cpp
// (its seeds): here it meets numbers the seeds hold few of. A quick way that
// reads otherwise aborts the test with the name of the check it failed.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(std::string_view bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Numbers at the edges of the quick readers, three to a line, in lines
// that end every way (CR LF, LF, a blank and no break at all): signs;
// whole parts of up to 20 digits, around 2^53 and the eight read unrolled;
// decimals of up to 19 digits, around the six read at once; exponents
// around 10^22 either way, without digits, and too long to hold.
TEST(SameAsBeforeReplayTest, NumbersAtTheQuickWaysEdges) {
  const char* const signs[] = {"", "-", "+"};
  const char* const wholes[] = {"",         "0",         "7",
                                "000123",   "12345678",  "123456789",
                                "9007199254740992", "9007199254740993", "1234567890123456789",
                                "12345678901234567890"};
  const char* const decimals[] = {"", ".", ".5", ".123456", ".1234567", ".00000001",
                                  ".9999999999999999999"};
  const char* const exponents[] = {"",    "e5",  "E-3",    "e+22",           "e-22",
                                   "e23", "e-23", "e",     "e-", "e0000000000007", "e999999"};
  for (const char* sign : signs) {
    for (const char* whole : wholes) {
      for (const char* decimal : decimals) {
        for (const char* exponent : exponents) {
          const std::string x = std::string(sign) + whole + decimal + exponent;
          SCOPED_TRACE(x);
          Replay(x + " 1.5 " + x + "\n-2 " + x + " 3\r\n" + x + "\t" + x + " " + x + " ");
        }
      }
    }
  }
}

}  // namespace

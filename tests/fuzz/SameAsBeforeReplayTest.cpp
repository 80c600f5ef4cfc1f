#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// Doubles at the edges of the number forms' quick ways, eight bytes each,
// as the fuzzer reads them: around 1 (where the unit vectors' quick ways
// end), the fifth and sixth decimals' halfway points, whole parts from
// 10^5 to 10^11 (two
// triples and five digits), 2^52 / 10^6 and 2^52 / 10^5, zeros of either
// sign and values that round to zero. Each is read as a number, a vector's
// component and a corner's coordinate.
TEST(SameAsBeforeReplayTest, NumberFormsAtTheQuickWaysEdges) {
  std::vector<double> values = {0.0, -0.0, 4e-7, -4e-7, 5e-7, -5e-7, 1e-300, 0.9999995,
                                0.99999949999999, 1.0, -1.0, 1.0000005, 1.4999999, 1.5,
                                0x1p52 / 1e6, 0x1p52 / 1e5, 99999.9999995, 99999.999995,
                                100000.0, -100000.0, 0.999995, 0.99999499999, 4e-6, 5e-6,
                                -5e-6, 0.123455};
  for (double whole = 1e5; whole <= 1e11; whole *= 10) {
    for (const double step : {-1.0, 0.0, 0.5, 1.0}) values.push_back(whole + step);
  }
  std::vector<double> all;
  for (const double v : values) {
    for (const double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300), -v}) {
      all.push_back(w);
    }
  }
  std::string bytes(all.size() * sizeof(double), '\0');
  std::memcpy(bytes.data(), all.data(), bytes.size());
  Replay(bytes);
  // Shifted by one value and by two, so that each value falls into each
  // place of a vector and of a polygon's corners.
  for (std::size_t shift = 8; shift < 24; shift += 8) Replay(bytes.substr(shift));
}

}  // namespace

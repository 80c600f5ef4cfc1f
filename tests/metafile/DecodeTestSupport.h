#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/RunError.h"

namespace testing_support {

// One object's data that its decoder must refuse.
struct BadCase {
  std::string name;
  std::string kind;
  std::string data;
  Kelvane::ErrorKind error;
  std::string text;  // part of the message
};

// Each case must raise a RunError of its kind whose message holds its text
// and whose place holds `place`.
template <typename Decode>
void ExpectRefused(const std::vector<BadCase>& cases, Decode decode, const std::string& place) {
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      decode(c.kind, c.data);
      ADD_FAILURE() << "no error";
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), c.error) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
      EXPECT_NE(e.Place().find(place), std::string::npos) << e.Place();
    }
  }
}

}  // namespace testing_support

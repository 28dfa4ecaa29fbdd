// Readable parameterised tests. A case struct either carries a `name` or has a
// `std::string NameOf(const Case &)` beside it; simtest::CaseName turns that into the
// test's name, and SIMTEST_PRINTS_CASE(Case) makes a failure print it for GetParam()
// instead of the struct's raw bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace simtest {

template <typename Case>
std::string CaseText(const Case &c) {
  if constexpr (requires { c.name; }) {
    return std::string(c.name);
  } else {
    return NameOf(c);
  }
}

// Characters a test name cannot hold become '_'.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case> &info) {
  std::string name = CaseText(info.param);
  for (char &c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace simtest

#define SIMTEST_PRINTS_CASE(Case)                                                                                      \
  [[maybe_unused]] inline void PrintTo(const Case &c, std::ostream *out) { *out << ::simtest::CaseText(c); }

// Cases that differ only in data, as an array of rows with a name each: TEST_ROWS(Suite, rows) makes
// Suite a test of one row (GetParam() in TEST_P(Suite, ...)) and runs it for every row, named after it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#define TEST_ROWS(suite, rows)                                           \
  using suite = ::testing::TestWithParam<std::decay_t<decltype(*rows)>>; \
  void PrintTo(const suite::ParamType& row, std::ostream* out) {         \
    *out << row.name;                                                    \
  }                                                                      \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::ValuesIn(rows),           \
                           [](const auto& info) { return std::string(info.param.name); })

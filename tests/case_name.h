// Names the cases of a table-driven test after their `what` text, so that a
// failing case reads "Examples/ExtractCases.GivesTheArticleOrFails/notagonly"
// rather than a dump of bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace corvane::testing {

template <typename Case>
std::string NameFromWhat(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c != '\0'; ++c) {
    if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
  }
  return name;
}

}  // namespace corvane::testing

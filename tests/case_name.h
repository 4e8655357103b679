// Names the cases of a table-driven test after their `what` text, each word
// starting with a capital, so that a failing case reads
// "Examples/ExtractCases.GivesTheArticleOrFails/NoTagOnly" rather than a
// dump of bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace corvane::testing {

// "link around two removals, the older 14 letters" gives
// "LinkAroundTwoRemovalsTheOlder14Letters": what is no letter or digit
// breaks the words and goes.
inline std::string CamelCaseName(const char* what) {
  std::string name;
  bool word_start = true;
  for (const char* c = what; *c != '\0'; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    if (!std::isalnum(byte)) {
      word_start = true;
      continue;
    }
    name += word_start ? static_cast<char>(std::toupper(byte)) : *c;
    word_start = false;
  }
  return name;
}

template <typename Case>
std::string NameFromWhat(const ::testing::TestParamInfo<Case>& info) {
  return CamelCaseName(info.param.what);
}

}  // namespace corvane::testing

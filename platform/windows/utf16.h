// UTF-16 text, as the Win32 calls take and give it. The program holds names
// and messages in UTF-8 and converts them at each call.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// UTF-16 for the UTF-8 `name`; throws RuntimeError 75 naming `operation` and
// `name` when it is not valid UTF-8.
std::wstring WideName(std::string_view name, const std::string& operation);

// UTF-16 for the UTF-8 `text`, for showing: what is not UTF-8 becomes
// U+FFFD rather than losing the message.
std::wstring WideText(std::string_view text);

// UTF-8 for the UTF-16 `text`. An unpaired surrogate, which no UTF-8 text
// can hold, becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

// The text that a Win32 call puts into a buffer it is given, asked again
// with a larger buffer while it does not fit. `call(buffer, size)` returns
// the length written, or the size needed when the buffer is too small, or 0
// on failure; the result is then empty, and GetLastError tells why.
template <typename Call>
std::wstring GrowingBuffer(Call call) {
  std::wstring buffer(260, L'\0');  // MAX_PATH, enough for most names
  for (;;) {
    const std::size_t length = call(buffer.data(), static_cast<unsigned long>(buffer.size()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(std::max(length + 1, buffer.size() * 2));
  }
}

}  // namespace corvane

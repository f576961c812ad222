// Text at the Windows API's wide-character boundary: the host keeps every
// name and message in UTF-8 and converts only where it calls the system.
#pragma once

#if defined(_WIN32)
#include <algorithm>
#include <string>

namespace velk::host {

// `text` (UTF-8) as UTF-16 for a wide Windows function. Bytes that are not
// UTF-8 become U+FFFD, so such a name never matches an existing file.
std::wstring WideFromUtf8(const std::string& text);

// A UTF-16 text from Windows as UTF-8.
std::string Utf8FromWide(const std::wstring& text);

// What the system says of error `error` (GetLastError()), in words, on one
// line and without a closing full stop; "Windows error N" when it says
// nothing.
std::string SystemMessage(unsigned long error);

// The text that a Windows call writes into a buffer: `fill(buffer, size)`
// answers the length written, a length of at least `size` when the buffer
// is too short (grown then, and the call made again), or 0 when it fails,
// which gives an empty text.
template <typename Fill>
std::wstring FilledText(Fill fill) {
  for (std::wstring text(260, L'\0');;) {
    const unsigned long length =
        fill(text.data(), static_cast<unsigned long>(text.size()));
    if (length == 0) return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(std::max<std::size_t>(length + 1, 2 * text.size()));
  }
}

// `path` made absolute (GetFullPathNameW): relative to the current folder,
// or to the current folder of its drive ("C:name"). `path` itself when the
// system cannot.
std::wstring FullPath(const std::wstring& path);

}  // namespace velk::host
#endif

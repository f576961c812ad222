// Text at the Windows API's wide-character boundary: the host keeps every
// name and message in UTF-8 and converts only where it calls the system.
#pragma once

#if defined(_WIN32)
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

// `path` made absolute (GetFullPathNameW): relative to the current folder,
// or to the current folder of its drive ("C:name"). `path` itself when the
// system cannot.
std::wstring FullPath(const std::wstring& path);

}  // namespace velk::host
#endif

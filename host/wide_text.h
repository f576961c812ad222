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

}  // namespace velk::host
#endif

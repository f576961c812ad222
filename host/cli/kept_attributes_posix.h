// What a replaced file keeps on a POSIX system: its owner and group where
// the caller may set them, its extended attributes (among them its access
// ACL, system.posix_acl_access) and its mode, without setuid and setgid
// when the owner or group could not be kept.
#pragma once

#if !defined(_WIN32)
#include <string>

namespace velk::host {

// Gives the file open as `replacement` the attributes of the file open as
// `original`, which messages call `shown`. Returns an empty text when done,
// else what failed and why ("cannot keep the extended attribute user.x of
// out.png: Operation not supported").
std::string KeepAttributes(int original, int replacement,
                           const std::string& shown);

// Gives a new file the mode of an ordinary create, 0666 less the umask.
// Returns an empty text when done, else what failed and why.
std::string GiveCreatedMode(int file, const std::string& shown);

}  // namespace velk::host
#endif

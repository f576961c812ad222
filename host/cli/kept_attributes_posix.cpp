#include "host/cli/kept_attributes_posix.h"

#include "host/cli/safe_file.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace velk::host {

namespace {

// "WHAT of FILE: REASON" from errno.
std::string Failed(const std::string& what, const std::string& file) {
  return what + " of " + file + ": " + std::strerror(LastErrno());
}

// The names of `file`'s extended attributes, each ended by '\0'; false
// when they cannot be listed (an unsupported file system lists none).
bool ListAttributes(int file, std::vector<char>& names) {
  for (;;) {
    const ssize_t size = flistxattr(file, nullptr, 0);
    if (size < 0) {
      names.clear();
      return errno == ENOTSUP;
    }
    names.resize(static_cast<std::size_t>(size));
    if (size == 0) return true;
    const ssize_t listed = flistxattr(file, names.data(), names.size());
    if (listed >= 0) {
      names.resize(static_cast<std::size_t>(listed));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: it grew meanwhile
  }
}

bool ReadAttribute(int file, const char* name, std::vector<char>& value) {
  for (;;) {
    const ssize_t size = fgetxattr(file, name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = fgetxattr(file, name, value.data(), value.size());
    if (read >= 0) {
      value.resize(static_cast<std::size_t>(read));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

}  // namespace

std::string KeepAttributes(int original, int replacement,
                           const std::string& shown) {
  struct stat was {};
  struct stat now {};
  errno = 0;
  if (fstat(original, &was) != 0 || fstat(replacement, &now) != 0) {
    return Failed("cannot read the attributes", shown);
  }
  // The owner first: a change of owner clears setuid, setgid and file
  // capabilities, which the mode and the attributes below then set again.
  if (now.st_uid != was.st_uid || now.st_gid != was.st_gid) {
    if (fchown(replacement, was.st_uid, was.st_gid) != 0) {
      // Not allowed (only root gives a file away): the caller's own, and
      // the group when the caller is a member of it.
      fchown(replacement, static_cast<uid_t>(-1), was.st_gid);
    }
    if (fstat(replacement, &now) != 0) {
      return Failed("cannot read the attributes", shown);
    }
  }
  const bool sameOwner = now.st_uid == was.st_uid && now.st_gid == was.st_gid;
  std::vector<char> names;
  if (!ListAttributes(original, names)) {
    return Failed("cannot list the extended attributes", shown);
  }
  std::vector<char> value;
  for (std::size_t at = 0; at < names.size();
       at += std::strlen(&names[at]) + 1) {
    const char* name = &names[at];
    // Capabilities, like setuid, are not carried to another owner.
    if (!sameOwner && std::strcmp(name, "security.capability") == 0) continue;
    errno = 0;
    if (!ReadAttribute(original, name, value)) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return Failed(std::string("cannot read the extended attribute ") + name,
                    shown);
    }
    if (fsetxattr(replacement, name, value.data(), value.size(), 0) != 0) {
      return Failed(std::string("cannot keep the extended attribute ") + name,
                    shown);
    }
  }
  mode_t mode = was.st_mode & 07777;
  if (!sameOwner) mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  errno = 0;
  if (fchmod(replacement, mode) != 0)
    return Failed("cannot keep the mode", shown);
  return "";
}

std::string GiveCreatedMode(int file, const std::string& shown) {
  const mode_t mask = umask(0);
  umask(mask);
  errno = 0;
  if (fchmod(file, 0666 & ~mask) != 0)
    return Failed("cannot set the mode", shown);
  return "";
}

}  // namespace velk::host
#endif

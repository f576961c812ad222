#include "host/cli/output_path_posix.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "host/cli/safe_file.h"

namespace velk::host {

Descriptor::~Descriptor() {
  if (descriptor_ >= 0) close(descriptor_);
}

Descriptor::Descriptor(Descriptor&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

int Descriptor::Close() {
  return descriptor_ >= 0 ? close(std::exchange(descriptor_, -1)) : 0;
}

namespace {

// As many links as the system follows in one path.
constexpr int kMaxLinks = 40;

// The descriptor that `digits` names, or -1.
int DescriptorNumber(const std::string& digits) {
  if (digits.empty() || digits.size() > 9) return -1;
  int number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

// The descriptor that `text` names by one of its usual spellings
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N, ...), or -1. Known by name,
// these need no /proc to be mounted.
int DescriptorAlias(const std::string& text) {
  if (text == "/dev/stdin") return 0;
  if (text == "/dev/stdout") return 1;
  if (text == "/dev/stderr") return 2;
  for (const std::string& prefix :
       {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
        std::string("/proc/thread-self/fd/"),
        "/proc/" + std::to_string(getpid()) + "/fd/"}) {
    if (text.compare(0, prefix.size(), prefix) == 0) {
      return DescriptorNumber(text.substr(prefix.size()));
    }
  }
  return -1;
}

bool SameFile(const struct stat& a, const char* path) {
  struct stat b {};
  return stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `folder` is this process's own descriptor folder under /proc.
bool IsOwnDescriptorFolder(int folder) {
  struct stat information {};
  return fstat(folder, &information) == 0 &&
         (SameFile(information, "/proc/self/fd") ||
          SameFile(information, "/proc/thread-self/fd"));
}

bool OnProc(int folder) {
  struct statfs information {};
  return fstatfs(folder, &information) == 0 &&
         information.f_type == PROC_SUPER_MAGIC;
}

// `folder` opened for reading (so that it can be synced), or only as a
// place when it may not be read.
Descriptor OpenFolder(int from, const std::string& path) {
  int descriptor =
      openat(from, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0 && errno == EACCES) {
    descriptor = openat(from, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  return Descriptor(descriptor);
}

// The text of the link `name` in `folder`, however long.
bool ReadLink(int folder, const std::string& name, std::string& text) {
  for (std::size_t size = 256;; size *= 2) {
    text.assign(size, '\0');
    const ssize_t length = readlinkat(folder, name.c_str(), text.data(), size);
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < size) {
      text.resize(static_cast<std::size_t>(length));
      return true;
    }
  }
}

}  // namespace

void FailToWrite(const std::string& path, int error) {
  throw FileError("cannot write " + path + ": " + std::strerror(error));
}

std::string FolderShown(const std::string& shown) {
  const std::size_t slash = shown.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : shown.substr(0, slash);
}

OutputPath ResolveOutputPath(const std::string& path) {
  OutputPath out;
  out.shown = path;
  if (path == "-") {
    out.kind = OutputPath::Kind::kDescriptor;
    out.descriptor = 1;
    return out;
  }
  if (path.empty()) FailToWrite(path, ENOENT);
  std::string text = path;  // the next hop, relative to out.folder
  out.folder = OpenFolder(AT_FDCWD, ".");
  if (!out.folder.open()) FailToWrite(path, errno);
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    const int alias = text[0] == '/' ? DescriptorAlias(text) : -1;
    if (alias >= 0) {
      out.kind = OutputPath::Kind::kDescriptor;
      out.descriptor = alias;
      out.folder = Descriptor();
      return out;
    }
    const std::size_t slash = text.find_last_of('/');
    out.name = slash == std::string::npos ? text : text.substr(slash + 1);
    if (slash != std::string::npos) {
      Descriptor folder = OpenFolder(out.folder.get(),
                                     slash == 0 ? "/" : text.substr(0, slash));
      if (!folder.open()) FailToWrite(path, errno);
      out.folder = std::move(folder);
    }
    struct stat information {};
    if (out.name.empty() || out.name == "." || out.name == "..") {
      // A name that can only be a folder.
      if (fstatat(out.folder.get(), out.name.empty() ? "." : out.name.c_str(),
                  &information, 0) != 0) {
        FailToWrite(path, errno);
      }
      FailToWrite(path, S_ISDIR(information.st_mode) ? EISDIR : ENOTDIR);
    }
    if (fstatat(out.folder.get(), out.name.c_str(), &information,
                AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) FailToWrite(path, errno);
      out.kind = OutputPath::Kind::kCreate;
      return out;
    }
    if (S_ISLNK(information.st_mode)) {
      if (OnProc(out.folder.get()) && DescriptorNumber(out.name) >= 0) {
        // A descriptor's link under /proc leads to no path that could be
        // replaced: this process's own is written through, another's in
        // place.
        if (IsOwnDescriptorFolder(out.folder.get())) {
          out.kind = OutputPath::Kind::kDescriptor;
          out.descriptor = DescriptorNumber(out.name);
          out.folder = Descriptor();
        } else {
          out.kind = OutputPath::Kind::kInPlace;
        }
        return out;
      }
      if (!ReadLink(out.folder.get(), out.name, text)) FailToWrite(path, errno);
      if (text.empty()) FailToWrite(path, ENOENT);
      const std::string folder = FolderShown(out.shown);
      out.shown = text[0] == '/'  ? text
                  : folder == "." ? text
                  : folder == "/" ? "/" + text
                                  : folder + "/" + text;
      continue;
    }
    if (S_ISDIR(information.st_mode)) FailToWrite(path, EISDIR);
    out.kind = S_ISREG(information.st_mode) ? OutputPath::Kind::kReplace
                                            : OutputPath::Kind::kInPlace;
    return out;
  }
  FailToWrite(path, ELOOP);
}

}  // namespace velk::host
#endif

// Where the render tool's output goes on a POSIX system. OUT is followed
// symbolic link by symbolic link, each relative link from the folder that
// holds it, through open folder descriptors: no path is ever joined into a
// longer one, so neither the current folder's depth nor the chain's length
// meets a path length limit.
#pragma once

#if !defined(_WIN32)
#include <sys/stat.h>

#include <string>

namespace velk::host {

// Owns one open file descriptor.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept;
  Descriptor& operator=(Descriptor&& other) noexcept;

  int get() const { return descriptor_; }
  bool open() const { return descriptor_ >= 0; }
  // Closes it now; returns what close() returned (0 when none was open).
  int Close();

 private:
  int descriptor_ = -1;
};

struct OutputPath {
  enum class Kind {
    // One of this process's open descriptors: "-", /dev/stdout, /dev/fd/N,
    // /proc/self/fd/N or a link to one. Written through a copy of it, its
    // offset and append mode as they are.
    kDescriptor,
    // An existing file that is no regular file (a device, a FIFO), or
    // another process's descriptor under /proc: opened and written in place.
    kInPlace,
    // An existing regular file: replaced through a temporary file.
    kReplace,
    // Nothing there yet (perhaps at the end of a link): made through a
    // temporary file.
    kCreate,
  };
  Kind kind = Kind::kCreate;
  int descriptor = -1;  // kDescriptor: the process's own descriptor
  Descriptor folder;    // the others: the folder that holds `name`
  std::string name;     // the file's name in `folder`
  std::string shown;    // the file, through the links, for messages
};

// Throws FileError "cannot write PATH: " and the text of `error`.
[[noreturn]] void FailToWrite(const std::string& path, int error);

// The folder part of a path shown in messages: "." for a plain name.
std::string FolderShown(const std::string& shown);

// Resolves `path`. Throws FileError "cannot write PATH: ..." when a folder
// on the way is missing, a link cannot be read or leads round in a loop,
// or the path is a folder.
OutputPath ResolveOutputPath(const std::string& path);

}  // namespace velk::host
#endif

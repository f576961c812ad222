// The render command's files on a POSIX system (see safe_file.h).
#include "host/cli/safe_file.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/cli/kept_attributes_posix.h"
#include "host/cli/output_path_posix.h"
#include "host/cli/signal_cleanup.h"

namespace velk::host {

namespace {}  // namespace

struct OutputFile::Destination {
  OutputPath where;
  Descriptor file;        // what Write() writes to
  Descriptor original;    // kReplace: the file replaced, for its attributes
  std::string temporary;  // its name in where.folder; empty: none (left)
  int slot = -1;          // its slot for the signal handler
  int error = 0;          // errno of the first failed write

  // Makes the temporary file, mode 0600 whatever the umask leaves; throws.
  void CreateTemporary() {
    const int folder = where.folder.get();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = ".velk-host-" + std::to_string(getpid()) + "-" +
                               std::to_string(attempt) + ".tmp";
      errno = 0;
      const SignalsHeld held;  // made and registered as one step
      const int made = openat(
          folder, name.c_str(),
          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
          0600);
      if (made >= 0) {
        file = Descriptor(made);
        temporary = name;
        slot = RegisterTemporaryFile(folder, name);
        return;
      }
      if (errno != EEXIST) break;
    }
    throw FileError("cannot create a temporary file in " +
                    FolderShown(where.shown) + ": " +
                    std::strerror(LastErrno()));
  }

  void RemoveTemporary() {
    if (temporary.empty()) return;
    const SignalsHeld held;
    unlinkat(where.folder.get(), temporary.c_str(), 0);
    ForgetTemporaryFile(slot);
    temporary.clear();
  }
};

File OpenToRead(const std::string& path) {
  errno = 0;
  std::FILE* file = nullptr;
  if (path == "-") {
    const int copy = fcntl(0, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) {
      file = fdopen(copy, "rb");
      if (file == nullptr) close(copy);
    }
  } else {
    file = std::fopen(path.c_str(), "rbe");
  }
  if (file == nullptr) {
    throw FileError("cannot open " + path + ": " + std::strerror(LastErrno()));
  }
  return File(file);
}

OutputFile::OutputFile(const std::string& path)
    : path_(path), destination_(std::make_unique<Destination>()) {
  Destination& out = *destination_;
  out.where = ResolveOutputPath(path);
  const int folder = out.where.folder.get();
  const char* name = out.where.name.c_str();
  errno = 0;
  switch (out.where.kind) {
    case OutputPath::Kind::kDescriptor: {
      const int flags = fcntl(out.where.descriptor, F_GETFL);
      if (flags < 0) FailToWrite(path, LastErrno());
      if ((flags & O_ACCMODE) == O_RDONLY) FailToWrite(path, EBADF);
      out.file = Descriptor(fcntl(out.where.descriptor, F_DUPFD_CLOEXEC, 3));
      if (!out.file.open()) FailToWrite(path, LastErrno());
      return;
    }
    case OutputPath::Kind::kInPlace:
      out.file = Descriptor(
          openat(folder, name, O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
      if (!out.file.open()) FailToWrite(path, LastErrno());
      return;
    case OutputPath::Kind::kReplace:
      // Refused as cp refuses it: a file that this user may not write.
      if (faccessat(folder, name, W_OK, AT_EACCESS) != 0) {
        FailToWrite(path, LastErrno());
      }
      for (const int access : {O_RDONLY, O_WRONLY}) {
        errno = 0;
        out.original = Descriptor(
            openat(folder, name,
                   access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (out.original.open() || errno != EACCES) break;
      }
      if (!out.original.open()) FailToWrite(path, LastErrno());
      out.CreateTemporary();
      return;
    case OutputPath::Kind::kCreate:
      out.CreateTemporary();
      return;
  }
}

OutputFile::~OutputFile() { destination_->RemoveTemporary(); }

void OutputFile::Write(const void* data, std::size_t size) {
  Destination& out = *destination_;
  const char* bytes = static_cast<const char*>(data);
  while (out.error == 0 && size > 0) {
    errno = 0;
    const ssize_t written = write(out.file.get(), bytes, size);
    if (written > 0) {
      bytes += written;
      size -= static_cast<std::size_t>(written);
    } else if (written == 0 || errno != EINTR) {
      out.error = LastErrno();
    }
  }
}

void OutputFile::Commit() {
  Destination& out = *destination_;
  if (out.error != 0) FailToWrite(path_, out.error);
  const int file = out.file.get();
  if (out.temporary.empty()) {  // written in place
    errno = 0;
    if (out.file.Close() != 0) {
      FailToWrite(path_, LastErrno());
    }
    return;
  }
  errno = 0;
  if (fsync(file) != 0) FailToWrite(path_, LastErrno());
  const std::string failed =
      out.where.kind == OutputPath::Kind::kReplace
          ? KeepAttributes(out.original.get(), file, out.where.shown)
          : GiveCreatedMode(file, out.where.shown);
  if (!failed.empty()) throw FileError(failed);
  errno = 0;
  if (out.file.Close() != 0) {
    FailToWrite(path_, LastErrno());
  }
  const int folder = out.where.folder.get();
  int renamed = -1;
  {
    const SignalsHeld held;  // renamed and forgotten as one step
    errno = 0;
    renamed =
        renameat(folder, out.temporary.c_str(), folder, out.where.name.c_str());
    if (renamed == 0) {
      ForgetTemporaryFile(out.slot);
      out.temporary.clear();
    }
  }
  if (renamed != 0) {
    throw FileError("cannot rename the temporary file to " + out.where.shown +
                    ": " + std::strerror(LastErrno()));
  }
  // The rename itself lasts once the folder is synced. A folder open only
  // as a place (no read permission) cannot be.
  errno = 0;
  if ((fcntl(folder, F_GETFL) & O_PATH) == 0 && fsync(folder) != 0 &&
      errno != EINVAL) {
    throw FileError("cannot sync the folder " + FolderShown(out.where.shown) +
                    ": " + std::strerror(LastErrno()));
  }
}

}  // namespace velk::host
#endif

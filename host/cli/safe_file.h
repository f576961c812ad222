// Files of the render command, named in UTF-8 on every system: the input
// opened for reading, and the output written whole or not at all.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace velk::host {

// A file that cannot be opened, read, decoded or written; the message names
// the file and the reason, on one line.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// errno after a failed call, never 0.
inline int LastErrno() { return errno != 0 ? errno : EIO; }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading bytes; "-" is standard input (a copy of it, in
// binary mode). Throws FileError "cannot open PATH: ...".
File OpenToRead(const std::string& path);

// The output file, as careful editors write one.
//
// "-" is standard output, and so are /dev/stdout, /dev/fd/1 and
// /proc/self/fd/1 (and a link to any of them): written through the
// descriptor as it is, at its offset and in its append mode, never renamed
// over. /dev/fd/N writes through descriptor N the same way. A device, a
// FIFO or another process's descriptor is written in place.
//
// Any other path, through its symbolic links (followed one by one, a
// relative one from its own folder; a link loop is an error), names a
// regular file or nothing yet. It is written to a temporary file made in
// its folder with mode 0600, which is flushed and synced, given the kept
// attributes, and renamed over it only once every byte is there; then the
// folder is synced. A failure or an ending signal leaves the path as it was
// and removes only the temporary file. An existing file that the caller may
// not write is refused as cp refuses it; one that is replaced keeps its
// mode, its owner and group (where the caller may set them; setuid and
// setgid only with them), its ACL and its extended attributes. A new file
// gets the mode of an ordinary create. The checks run when the object is
// made, before anything is written.
//
// On Windows every path is made absolute first; an existing file is
// replaced with ReplaceFileW, which keeps its attributes and security, and
// a read-only one is refused.
class OutputFile {
 public:
  // Throws FileError "cannot write PATH: ..." when the path cannot be
  // written, or "cannot create a temporary file in FOLDER: ...".
  explicit OutputFile(const std::string& path);
  ~OutputFile();  // without Commit(): removes the temporary file, if any
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes bytes; the first failure is kept and reported by Commit().
  void Write(const void* data, std::size_t size);

  // Puts the file in place; throws FileError for the first write, flush,
  // sync, attribute or rename that failed.
  void Commit();

 private:
  struct Destination;  // what the system needs, per system
  std::string path_;   // as given, for messages
  std::unique_ptr<Destination> destination_;
};

}  // namespace velk::host

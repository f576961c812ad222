// Files of the render command, named in UTF-8 on every system: the input
// opened for reading, and the output written whole or not at all.
#pragma once

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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading bytes; throws FileError "cannot open PATH: ...".
File OpenToRead(const std::string& path);

// The output file. A new or existing regular file (through any symbolic
// links to it) is written to a temporary file in its folder, which replaces
// it by a rename only once every byte is written, flushed and closed: a
// failure leaves the path as it was and removes only the temporary file. The
// replacement keeps an existing file's permissions; a new file gets those of
// an ordinary create. An existing path that is no regular file (a device, a
// FIFO, standard output) is written in place and never removed.
class OutputFile {
 public:
  // Throws FileError "cannot write PATH: ..." when the file or the
  // temporary file cannot be made.
  explicit OutputFile(const std::string& path);
  ~OutputFile();  // without Commit(): removes the temporary file, if any
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes bytes; the first failure is kept and reported by Commit().
  void Write(const void* data, std::size_t size);

  // Flushes and closes the file and puts it in place; throws FileError for
  // the first write, flush, close or rename that failed.
  void Commit();

 private:
  [[noreturn]] void Fail(int error);

  std::string path_;       // as given, for messages
  std::string target_;     // the file that the temporary file replaces
  std::string temporary_;  // empty when writing in place
  std::FILE* stream_ = nullptr;
  int error_ = 0;  // errno of the first failed write
};

}  // namespace velk::host

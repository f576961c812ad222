#include "host/cli/safe_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include "host/wide_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velk::host {

namespace {

// errno after a failed call, never 0.
int LastErrno() { return errno != 0 ? errno : EIO; }

std::string FolderOf(const std::string& path) {
#if defined(_WIN32)
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

#if defined(_WIN32)

std::FILE* OpenStream(const std::string& path, const char* mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

std::string WindowsErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? Utf8FromWide(std::wstring(text, length))
                                   : "Windows error " + std::to_string(error);
  LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' ||
          message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

// What is at `path`: nothing (or nothing that can be opened to look), a
// directory, a file on disk (`target` its final path, links resolved), or
// something else, such as a device or a pipe.
enum class Found { kNothing, kDirectory, kFile, kOther };

Found Look(const std::string& path, std::string& target) {
  const HANDLE handle =
      CreateFileW(WideFromUtf8(path).c_str(), 0,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  target = path;
  if (handle == INVALID_HANDLE_VALUE) return Found::kNothing;
  Found found = Found::kOther;
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(handle) == FILE_TYPE_DISK &&
      GetFileInformationByHandle(handle, &information)) {
    found = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                ? Found::kDirectory
                : Found::kFile;
    wchar_t final[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleW(handle, final, MAX_PATH * 4,
                                                   FILE_NAME_NORMALIZED);
    if (length > 0 && length < MAX_PATH * 4) {
      target = Utf8FromWide(std::wstring(final, length));
    }
  }
  CloseHandle(handle);
  return found;
}

int CreateExclusive(const std::string& name) {
  return _wopen(WideFromUtf8(name).c_str(),
                _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
}

int ProcessId() { return _getpid(); }

void RemoveFile(const std::string& path) {
  DeleteFileW(WideFromUtf8(path).c_str());
}

// Empty when done, else the reason.
std::string ReplaceFile(const std::string& from, const std::string& to) {
  if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return "";
  }
  return WindowsErrorText(GetLastError());
}

#else

std::FILE* OpenStream(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

// The path that a chain of symbolic links to nothing ends in, or `path`.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat information {};
    if (lstat(path.c_str(), &information) != 0 ||
        !S_ISLNK(information.st_mode)) {
      return path;
    }
    std::string target(4096, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
      return path;
    }
    target.resize(static_cast<std::size_t>(length));
    path = target[0] == '/' ? target : FolderOf(path) + target;
  }
  return path;  // creating it fails: too many levels of links
}

enum class Found { kNothing, kDirectory, kFile, kOther };

Found Look(const std::string& path, std::string& target, mode_t& mode) {
  struct stat information {};
  target = path;
  if (stat(path.c_str(), &information) != 0) {
    target = FollowLinks(path);
    return Found::kNothing;
  }
  if (S_ISDIR(information.st_mode)) return Found::kDirectory;
  if (!S_ISREG(information.st_mode)) return Found::kOther;
  mode = information.st_mode & 07777;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved != nullptr) {
    target = resolved;
    std::free(resolved);
  }
  return Found::kFile;
}

int ProcessId() { return static_cast<int>(getpid()); }

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::string ReplaceFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return "";
  return std::strerror(LastErrno());
}

#endif

}  // namespace

File OpenToRead(const std::string& path) {
  errno = 0;
  File file(OpenStream(path, "rb"));
  if (!file) {
    throw FileError("cannot open " + path + ": " + std::strerror(LastErrno()));
  }
  return file;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
#if defined(_WIN32)
  const Found found = Look(path, target_);
#else
  mode_t keptMode = 0;
  const Found found = Look(path, target_, keptMode);
#endif
  if (found == Found::kDirectory) Fail(EISDIR);
  errno = 0;
  if (found == Found::kOther) {
    // A device, FIFO or standard output: written in place, never replaced.
    stream_ = OpenStream(path, "wb");
    if (stream_ == nullptr) Fail(LastErrno());
    return;
  }
  const std::string folder = FolderOf(target_);
  int descriptor = -1;
  for (int attempt = 0; descriptor < 0 && attempt < 100; ++attempt) {
    temporary_ = folder + ".velk-host-" + std::to_string(ProcessId()) + "-" +
                 std::to_string(attempt) + ".tmp";
    errno = 0;
#if defined(_WIN32)
    descriptor = CreateExclusive(temporary_);
#else
    // 0666 less the umask, as any new file gets.
    descriptor =
        open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (descriptor < 0 && errno != EEXIST) break;
  }
  if (descriptor < 0) {
    const int error = LastErrno();
    temporary_.clear();  // not made: nothing to remove
    Fail(error);
  }
  // From here on a failure removes the temporary file: the destructor does
  // not run for an object whose constructor throws.
  int error = 0;
#if defined(_WIN32)
  stream_ = _fdopen(descriptor, "wb");
  if (stream_ == nullptr) {
    error = LastErrno();
    _close(descriptor);
  }
#else
  if (found == Found::kFile && fchmod(descriptor, keptMode) != 0) {
    error = LastErrno();
  } else {
    stream_ = fdopen(descriptor, "wb");
    if (stream_ == nullptr) error = LastErrno();
  }
  if (stream_ == nullptr) close(descriptor);
#endif
  if (stream_ == nullptr) {
    RemoveFile(temporary_);
    temporary_.clear();
    Fail(error);
  }
}

OutputFile::~OutputFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!temporary_.empty()) RemoveFile(temporary_);
}

void OutputFile::Write(const void* data, std::size_t size) {
  if (error_ != 0) return;
  errno = 0;
  if (std::fwrite(data, 1, size, stream_) != size) error_ = LastErrno();
}

void OutputFile::Commit() {
  errno = 0;
  if (std::fflush(stream_) != 0 && error_ == 0) error_ = LastErrno();
  errno = 0;
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0 && error_ == 0) error_ = LastErrno();
  if (error_ != 0) Fail(error_);
  if (temporary_.empty()) return;
  const std::string failed = ReplaceFile(temporary_, target_);
  if (!failed.empty()) {
    throw FileError("cannot write " + path_ + ": " + failed);
  }
  temporary_.clear();  // in place: nothing to remove
}

void OutputFile::Fail(int error) {
  throw FileError("cannot write " + path_ + ": " + std::strerror(error));
}

}  // namespace velk::host

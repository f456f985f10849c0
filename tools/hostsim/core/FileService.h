// The host's file functions on local paths: FILE*-backed handles that the
// add-on gets back as opaque pointers. Handles are checked, so a stale or
// foreign handle is reported instead of crashing, and files left open are
// counted.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace hostsim {

class FileService {
 public:
  using ErrorSink = std::function<void(const std::string&)>;

  explicit FileService(ErrorSink onError = nullptr) : onError_(std::move(onError)) {}
  ~FileService();
  FileService(const FileService&) = delete;
  FileService& operator=(const FileService&) = delete;

  void* open(const char* path, unsigned int flags);
  void* openForWrite(const char* path, bool overwrite);
  ssize_t read(void* file, void* buf, size_t size);
  // Reads one line, newline included, at most size-1 bytes; false at the end.
  bool readString(void* file, char* line, int size);
  ssize_t write(void* file, const void* buf, size_t size);
  void flush(void* file);
  int64_t seek(void* file, int64_t pos, int whence);  // the new position, or -1
  int truncate(void* file, int64_t size);
  int64_t position(void* file);
  int64_t length(void* file);
  void close(void* file);
  int chunkSize(void* file);

  bool exists(const char* path);
  int stat(const char* path, struct stat* buffer);
  bool remove(const char* path);
  bool canOpenDirectory(const char* path);
  bool createDirectory(const char* path);
  bool directoryExists(const char* path);
  bool removeDirectory(const char* path);

  // Writes into files under `folder` fail (ENOSPC) once such writes have
  // taken `bytes` in all, as on a full disk; a negative limit lifts it.
  void limitFolder(const std::string& folder, int64_t bytes);
  // The same for several folders on one disk: their writes share the bytes.
  void limitFolders(const std::vector<std::string>& folders, int64_t bytes);

  size_t openCount() const;
  // Closes whatever the add-on left open; returns how many.
  size_t closeAll();

  // "file://" URLs name local paths too.
  static std::string localPath(const char* path);

 private:
  struct Handle;
  Handle* lookup(void* file, const char* operation);
  void error(const std::string& text) const;

  ErrorSink onError_;
  mutable std::mutex mutex_;
  std::set<Handle*> open_;
  std::vector<std::string> limitedFolders_;  // these three under mutex_
  int64_t limit_ = -1;
  int64_t used_ = 0;
};

}  // namespace hostsim

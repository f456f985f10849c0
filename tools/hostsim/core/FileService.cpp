#include "core/FileService.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hostsim {

struct FileService::Handle {
  FILE* file = nullptr;
  std::string path;
};

FileService::~FileService() {
  closeAll();
}

std::string FileService::localPath(const char* path) {
  if (path == nullptr) return std::string();
  std::string p(path);
  if (p.compare(0, 7, "file://") == 0) p.erase(0, 7);
  return p;
}

void FileService::error(const std::string& text) const {
  if (onError_) onError_(text);
}

// Every operation holds the handle for the call only; the add-on owns the
// handle's life and closes it from one thread at a time.
FileService::Handle* FileService::lookup(void* file, const char* operation) {
  auto* h = static_cast<Handle*>(file);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (h != nullptr && open_.count(h)) return h;
  }
  error(std::string(operation) + " on a file handle that is not open");
  return nullptr;
}

void* FileService::open(const char* path, unsigned int) {
  std::string p = localPath(path);
  struct stat st;
  if (p.empty() || ::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
  FILE* f = std::fopen(p.c_str(), "rb");
  if (f == nullptr) return nullptr;
  auto* h = new Handle{f, p};
  std::lock_guard<std::mutex> lock(mutex_);
  open_.insert(h);
  return h;
}

void* FileService::openForWrite(const char* path, bool overwrite) {
  std::string p = localPath(path);
  if (p.empty()) return nullptr;
  // Without overwrite an existing file is opened at its start, unchanged.
  int fd = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : 0), 0644);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, "r+b");
  if (f == nullptr) {
    ::close(fd);
    return nullptr;
  }
  auto* h = new Handle{f, p};
  std::lock_guard<std::mutex> lock(mutex_);
  open_.insert(h);
  return h;
}

ssize_t FileService::read(void* file, void* buf, size_t size) {
  Handle* h = lookup(file, "read_file");
  if (h == nullptr || buf == nullptr) return -1;
  size_t n = std::fread(buf, 1, size, h->file);
  if (n == 0 && std::ferror(h->file)) {
    std::clearerr(h->file);
    return -1;
  }
  return static_cast<ssize_t>(n);
}

bool FileService::readString(void* file, char* line, int size) {
  Handle* h = lookup(file, "read_file_string");
  if (h == nullptr || line == nullptr || size <= 0) return false;
  if (std::fgets(line, size, h->file) == nullptr) {
    line[0] = '\0';
    return false;
  }
  return true;
}

void FileService::limitFolder(const std::string& folder, int64_t bytes) {
  limitFolders({folder}, bytes);
}

void FileService::limitFolders(const std::vector<std::string>& folders, int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  limitedFolders_.clear();
  for (const std::string& folder : folders) {
    std::string path = localPath(folder.c_str());
    if (path.empty()) continue;
    if (path.back() != '/') path += '/';
    limitedFolders_.push_back(path);
  }
  limit_ = bytes;
  used_ = 0;
}

ssize_t FileService::write(void* file, const void* buf, size_t size) {
  Handle* h = lookup(file, "write_file");
  if (h == nullptr || (buf == nullptr && size > 0)) return -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool limited = false;
    for (const std::string& folder : limitedFolders_)
      limited = limited || h->path.compare(0, folder.size(), folder) == 0;
    if (limit_ >= 0 && limited) {
      if (used_ + static_cast<int64_t>(size) > limit_) {
        errno = ENOSPC;
        return -1;
      }
      used_ += static_cast<int64_t>(size);
    }
  }
  size_t n = std::fwrite(buf, 1, size, h->file);
  if (n < size && std::ferror(h->file)) {
    std::clearerr(h->file);
    return n == 0 ? -1 : static_cast<ssize_t>(n);
  }
  return static_cast<ssize_t>(n);
}

void FileService::flush(void* file) {
  if (Handle* h = lookup(file, "flush_file")) std::fflush(h->file);
}

int64_t FileService::seek(void* file, int64_t pos, int whence) {
  Handle* h = lookup(file, "seek_file");
  if (h == nullptr) return -1;
  if (::fseeko(h->file, pos, whence) != 0) return -1;
  return ::ftello(h->file);
}

int FileService::truncate(void* file, int64_t size) {
  Handle* h = lookup(file, "truncate_file");
  if (h == nullptr) return -1;
  std::fflush(h->file);
  return ::ftruncate(::fileno(h->file), size);
}

int64_t FileService::position(void* file) {
  Handle* h = lookup(file, "get_file_position");
  return h == nullptr ? -1 : ::ftello(h->file);
}

int64_t FileService::length(void* file) {
  Handle* h = lookup(file, "get_file_length");
  if (h == nullptr) return -1;
  std::fflush(h->file);
  struct stat st;
  return ::fstat(::fileno(h->file), &st) == 0 ? st.st_size : -1;
}

void FileService::close(void* file) {
  auto* h = static_cast<Handle*>(file);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (h == nullptr || open_.erase(h) == 0) h = nullptr;
  }
  if (h == nullptr) {
    error("close_file on a file handle that is not open");
    return;
  }
  std::fclose(h->file);
  delete h;
}

int FileService::chunkSize(void* file) {
  lookup(file, "get_file_chunk_size");
  return 0;  // local files have no chunking
}

bool FileService::exists(const char* path) {
  struct stat st;
  std::string p = localPath(path);
  return !p.empty() && ::stat(p.c_str(), &st) == 0;
}

int FileService::stat(const char* path, struct stat* buffer) {
  std::string p = localPath(path);
  if (p.empty() || buffer == nullptr) return -1;
  return ::stat(p.c_str(), buffer);
}

bool FileService::remove(const char* path) {
  std::string p = localPath(path);
  return !p.empty() && ::unlink(p.c_str()) == 0;
}

bool FileService::canOpenDirectory(const char* path) {
  std::string p = localPath(path);
  DIR* d = p.empty() ? nullptr : ::opendir(p.c_str());
  if (d == nullptr) return false;
  ::closedir(d);
  return true;
}

bool FileService::createDirectory(const char* path) {
  std::string p = localPath(path);
  if (p.empty()) return false;
  if (::mkdir(p.c_str(), 0755) == 0) return true;
  return errno == EEXIST && directoryExists(path);
}

bool FileService::directoryExists(const char* path) {
  struct stat st;
  std::string p = localPath(path);
  return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileService::removeDirectory(const char* path) {
  std::string p = localPath(path);
  return !p.empty() && ::rmdir(p.c_str()) == 0;
}

size_t FileService::openCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.size();
}

size_t FileService::closeAll() {
  std::set<Handle*> handles;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handles.swap(open_);
  }
  for (Handle* h : handles) {
    std::fclose(h->file);
    delete h;
  }
  return handles.size();
}

}  // namespace hostsim

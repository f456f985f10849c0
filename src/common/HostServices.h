// What the add-on's subsystems ask of the host: log lines, notifications,
// localized strings, code-page conversion, file access and the triggers that
// make the host read a list again. The host binding implements it; every
// subsystem reaches the host only through it, never through the host's API.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

enum class LogLevel { Debug, Info, Notice, Error };
enum class NoticeKind { Info, Warning, Error };

class HostServices {
 public:
  virtual ~HostServices() = default;

  virtual void Log(LogLevel level, const std::string& text) = 0;
  virtual void Notify(NoticeKind kind, const std::string& text) = 0;
  // Text of a numeric id of the add-on's language file; empty when unknown.
  virtual std::string LocalizedString(int id) = 0;
  // Text of unknown code page, as UTF-8.
  virtual std::string UnknownToUtf8(const std::string& text) = 0;

  // Files on local paths; a file handle is the host's, null on failure.
  virtual void* OpenFile(const std::string& path, unsigned int flags) = 0;
  virtual void* OpenFileForWrite(const std::string& path, bool overwrite) = 0;
  virtual ssize_t ReadFile(void* file, void* buffer, size_t size) = 0;
  virtual ssize_t WriteFile(void* file, const void* data, size_t size) = 0;
  virtual void FlushFile(void* file) = 0;
  virtual int64_t SeekFile(void* file, int64_t position, int whence) = 0;
  virtual int64_t FilePosition(void* file) = 0;
  virtual int64_t FileLength(void* file) = 0;
  virtual void CloseFile(void* file) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // Within one file system; false when it could not be done.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool RemoveDirectory(const std::string& path) = 0;

  // The host asks for the list again a little later.
  virtual void TriggerChannelUpdate() = 0;
  virtual void TriggerChannelGroupsUpdate() = 0;
  virtual void TriggerTimerUpdate() = 0;
  virtual void TriggerRecordingUpdate() = 0;
  virtual void TriggerEpgUpdate(unsigned int channelUid) = 0;
};

// The host the add-on runs in. Before create and after destroy it is a host
// that logs nothing, has no files and ignores every request.
HostServices& TheHost();
// Installed by the host binding once it is complete; null uninstalls.
void InstallHost(HostServices* host);

// A notification with the text of a localized string.
void NotificarCadena(NoticeKind kind, int stringId);

// One file of the host, closed when the value dies.
class HostFile {
 public:
  HostFile() = default;
  static HostFile ForWrite(const std::string& path, bool overwrite = true);
  static HostFile ForRead(const std::string& path);
  ~HostFile();
  HostFile(HostFile&& other) noexcept;
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  explicit operator bool() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }
  // True when every byte was written.
  bool Write(const std::string& data);
  bool Write(const void* data, size_t size);
  ssize_t Read(void* buffer, size_t size);
  void Close();

 private:
  explicit HostFile(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

// Writes the whole text to a file, replacing it; true when all of it was
// written.
bool EscribirFichero(const std::string& path, const std::string& text);

// A file's bytes, at most `limite` of them (`cortado`, when given, tells
// whether there were more); empty when it can't be opened.
std::string LeerFicheroEntero(const std::string& path, size_t limite = std::string::npos,
                              bool* cortado = nullptr);

// Writes the whole text, flushed and closed; true when all of it was written.
bool EscribirFicheroEntero(const std::string& path, const std::string& text);

// The host's files have no rename, so a stored file is rewritten through a
// complete copy "<name>.tmp" first: when the disk is full the old file stays
// as it was, and when the file itself is cut the copy is whole for the next
// load. The copy goes once the file is written.
constexpr char kSufijoCopia[] = ".tmp";
bool ReescribirFichero(const std::string& path, const std::string& text);

// Moves a file: a rename, or where the host cannot rename (another file
// system, a network share) a copy through the host's files and the
// source's removal. On failure the source stays and no destination is left.
bool MoverFichero(const std::string& from, const std::string& to);

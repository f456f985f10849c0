#include "addon/AddonBinding.h"

#include <cstdarg>
#include <cstdio>

#include "common/Library.h"

CHelper_libXBMC_addon* XBMC = nullptr;

namespace {
// Both wrappers format into a buffer of this size before calling the host.
constexpr size_t kFormatBuffer = 16384;
}  // namespace

CHelper_libXBMC_addon::~CHelper_libXBMC_addon() {
  Release();
}

bool CHelper_libXBMC_addon::RegisterMe(void* handle) {
  m_Handle = handle;
  m_libXBMC_addon = library::Open(XbmcLibraryPath(handle, XBMC_ADDON_LIBRARY_PATH));
  if (m_libXBMC_addon == nullptr) return false;

  void* lib = m_libXBMC_addon;
  const bool resolved =
      library::Resolve(lib, "XBMC_register_me", XBMC_register_me) &&
      library::Resolve(lib, "XBMC_unregister_me", XBMC_unregister_me) &&
      library::Resolve(lib, "XBMC_log", XBMC_log) &&
      library::Resolve(lib, "XBMC_get_setting", XBMC_get_setting) &&
      library::Resolve(lib, "XBMC_queue_notification", XBMC_queue_notification) &&
      library::Resolve(lib, "XBMC_wake_on_lan", XBMC_wake_on_lan) &&
      library::Resolve(lib, "XBMC_unknown_to_utf8", XBMC_unknown_to_utf8) &&
      library::Resolve(lib, "XBMC_get_localized_string", XBMC_get_localized_string) &&
      library::Resolve(lib, "XBMC_free_string", XBMC_free_string) &&
      library::Resolve(lib, "XBMC_get_dvd_menu_language", XBMC_get_dvd_menu_language) &&
      library::Resolve(lib, "XBMC_open_file", XBMC_open_file) &&
      library::Resolve(lib, "XBMC_open_file_for_write", XBMC_open_file_for_write) &&
      library::Resolve(lib, "XBMC_read_file", XBMC_read_file) &&
      library::Resolve(lib, "XBMC_read_file_string", XBMC_read_file_string) &&
      library::Resolve(lib, "XBMC_write_file", XBMC_write_file) &&
      library::Resolve(lib, "XBMC_flush_file", XBMC_flush_file) &&
      library::Resolve(lib, "XBMC_seek_file", XBMC_seek_file) &&
      library::Resolve(lib, "XBMC_truncate_file", XBMC_truncate_file) &&
      library::Resolve(lib, "XBMC_get_file_position", XBMC_get_file_position) &&
      library::Resolve(lib, "XBMC_get_file_length", XBMC_get_file_length) &&
      library::Resolve(lib, "XBMC_close_file", XBMC_close_file) &&
      library::Resolve(lib, "XBMC_get_file_chunk_size", XBMC_get_file_chunk_size) &&
      library::Resolve(lib, "XBMC_file_exists", XBMC_file_exists) &&
      library::Resolve(lib, "XBMC_stat_file", XBMC_stat_file) &&
      library::Resolve(lib, "XBMC_delete_file", XBMC_delete_file) &&
      library::Resolve(lib, "XBMC_can_open_directory", XBMC_can_open_directory) &&
      library::Resolve(lib, "XBMC_create_directory", XBMC_create_directory) &&
      library::Resolve(lib, "XBMC_directory_exists", XBMC_directory_exists) &&
      library::Resolve(lib, "XBMC_remove_directory", XBMC_remove_directory);
  if (!resolved) return false;

  m_Callbacks = XBMC_register_me(m_Handle);
  return m_Callbacks != nullptr;
}

void CHelper_libXBMC_addon::Release() {
  if (m_Callbacks != nullptr && XBMC_unregister_me != nullptr) {
    XBMC_unregister_me(m_Handle, m_Callbacks);
  }
  m_Callbacks = nullptr;
  library::Close(m_libXBMC_addon);
}

void CHelper_libXBMC_addon::Log(addon_log level, const char* format, ...) {
  if (XBMC_log == nullptr) return;
  char buffer[kFormatBuffer];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  XBMC_log(m_Handle, m_Callbacks, level, buffer);
}

void CHelper_libXBMC_addon::QueueNotification(queue_msg type, const char* format, ...) {
  if (XBMC_queue_notification == nullptr) return;
  char buffer[kFormatBuffer];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  XBMC_queue_notification(m_Handle, m_Callbacks, type, buffer);
}

bool CHelper_libXBMC_addon::GetSetting(const char* name, void* value) {
  return XBMC_get_setting != nullptr && XBMC_get_setting(m_Handle, m_Callbacks, name, value);
}

std::string CHelper_libXBMC_addon::GetLocalizedString(int code) {
  if (XBMC_get_localized_string == nullptr) return std::string();
  char* text = XBMC_get_localized_string(m_Handle, m_Callbacks, code);
  if (text == nullptr) return std::string();
  std::string result(text);
  if (XBMC_free_string != nullptr) XBMC_free_string(m_Handle, m_Callbacks, text);
  return result;
}

std::string CHelper_libXBMC_addon::UnknownToUTF8(const std::string& text) {
  if (XBMC_unknown_to_utf8 == nullptr) return text;
  char* converted = XBMC_unknown_to_utf8(m_Handle, m_Callbacks, text.c_str());
  if (converted == nullptr) return text;
  std::string result(converted);
  if (XBMC_free_string != nullptr) XBMC_free_string(m_Handle, m_Callbacks, converted);
  return result;
}

void* CHelper_libXBMC_addon::OpenFile(const char* path, unsigned int flags) {
  return XBMC_open_file ? XBMC_open_file(m_Handle, m_Callbacks, path, flags) : nullptr;
}

void* CHelper_libXBMC_addon::OpenFileForWrite(const char* path, bool overwrite) {
  return XBMC_open_file_for_write ? XBMC_open_file_for_write(m_Handle, m_Callbacks, path, overwrite)
                                  : nullptr;
}

ssize_t CHelper_libXBMC_addon::ReadFile(void* file, void* buffer, size_t size) {
  return XBMC_read_file ? XBMC_read_file(m_Handle, m_Callbacks, file, buffer, size) : -1;
}

ssize_t CHelper_libXBMC_addon::WriteFile(void* file, const void* buffer, size_t size) {
  return XBMC_write_file ? XBMC_write_file(m_Handle, m_Callbacks, file, buffer, size) : -1;
}

void CHelper_libXBMC_addon::FlushFile(void* file) {
  if (XBMC_flush_file) XBMC_flush_file(m_Handle, m_Callbacks, file);
}

int64_t CHelper_libXBMC_addon::SeekFile(void* file, int64_t position, int whence) {
  return XBMC_seek_file ? XBMC_seek_file(m_Handle, m_Callbacks, file, position, whence) : -1;
}

int64_t CHelper_libXBMC_addon::GetFilePosition(void* file) {
  return XBMC_get_file_position ? XBMC_get_file_position(m_Handle, m_Callbacks, file) : -1;
}

int64_t CHelper_libXBMC_addon::GetFileLength(void* file) {
  return XBMC_get_file_length ? XBMC_get_file_length(m_Handle, m_Callbacks, file) : -1;
}

void CHelper_libXBMC_addon::CloseFile(void* file) {
  if (XBMC_close_file) XBMC_close_file(m_Handle, m_Callbacks, file);
}

bool CHelper_libXBMC_addon::FileExists(const char* path, bool useCache) {
  return XBMC_file_exists && XBMC_file_exists(m_Handle, m_Callbacks, path, useCache);
}

bool CHelper_libXBMC_addon::DeleteFile(const char* path) {
  return XBMC_delete_file && XBMC_delete_file(m_Handle, m_Callbacks, path);
}

bool CHelper_libXBMC_addon::CreateDirectory(const char* path) {
  return XBMC_create_directory && XBMC_create_directory(m_Handle, m_Callbacks, path);
}

bool CHelper_libXBMC_addon::DirectoryExists(const char* path) {
  return XBMC_directory_exists && XBMC_directory_exists(m_Handle, m_Callbacks, path);
}

bool CHelper_libXBMC_addon::RemoveDirectory(const char* path) {
  return XBMC_remove_directory && XBMC_remove_directory(m_Handle, m_Callbacks, path);
}

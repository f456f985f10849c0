// Binding of the host's add-on library: logging, settings, notifications,
// localized strings, code-page conversion and file access.
#pragma once

#include <string>

#include "host/xbmc_host_api.h"

class CHelper_libXBMC_addon {
 public:
  CHelper_libXBMC_addon() = default;
  ~CHelper_libXBMC_addon();
  CHelper_libXBMC_addon(const CHelper_libXBMC_addon&) = delete;
  CHelper_libXBMC_addon& operator=(const CHelper_libXBMC_addon&) = delete;

  // Loads the library from the host's add-on library folder named by the
  // callback block, resolves every symbol and registers. False on failure,
  // after writing the reason to standard error.
  bool RegisterMe(void* handle);
  // Unregisters (when registered) and closes the library.
  void Release();
  bool Loaded() const { return m_libXBMC_addon != nullptr; }

  void Log(addon_log level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void QueueNotification(queue_msg type, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  bool GetSetting(const char* name, void* value);
  std::string GetLocalizedString(int code);
  // Converts text of unknown code page to UTF-8 through the host.
  std::string UnknownToUTF8(const std::string& text);

  void* OpenFile(const char* path, unsigned int flags);
  void* OpenFileForWrite(const char* path, bool overwrite);
  ssize_t ReadFile(void* file, void* buffer, size_t size);
  ssize_t WriteFile(void* file, const void* buffer, size_t size);
  void FlushFile(void* file);
  int64_t SeekFile(void* file, int64_t position, int whence);
  int64_t GetFilePosition(void* file);
  int64_t GetFileLength(void* file);
  void CloseFile(void* file);
  bool FileExists(const char* path, bool useCache);
  bool DeleteFile(const char* path);
  bool CreateDirectory(const char* path);
  bool DirectoryExists(const char* path);
  bool RemoveDirectory(const char* path);

  // Resolved host functions, in resolution order. Public so that tests can
  // stand in for a host without loading one.
  XBMC_register_me_t XBMC_register_me = nullptr;
  XBMC_unregister_me_t XBMC_unregister_me = nullptr;
  XBMC_log_t XBMC_log = nullptr;
  XBMC_get_setting_t XBMC_get_setting = nullptr;
  XBMC_queue_notification_t XBMC_queue_notification = nullptr;
  XBMC_wake_on_lan_t XBMC_wake_on_lan = nullptr;
  XBMC_unknown_to_utf8_t XBMC_unknown_to_utf8 = nullptr;
  XBMC_get_localized_string_t XBMC_get_localized_string = nullptr;
  XBMC_free_string_t XBMC_free_string = nullptr;
  XBMC_get_dvd_menu_language_t XBMC_get_dvd_menu_language = nullptr;
  XBMC_open_file_t XBMC_open_file = nullptr;
  XBMC_open_file_for_write_t XBMC_open_file_for_write = nullptr;
  XBMC_read_file_t XBMC_read_file = nullptr;
  XBMC_read_file_string_t XBMC_read_file_string = nullptr;
  XBMC_write_file_t XBMC_write_file = nullptr;
  XBMC_flush_file_t XBMC_flush_file = nullptr;
  XBMC_seek_file_t XBMC_seek_file = nullptr;
  XBMC_truncate_file_t XBMC_truncate_file = nullptr;
  XBMC_get_file_position_t XBMC_get_file_position = nullptr;
  XBMC_get_file_length_t XBMC_get_file_length = nullptr;
  XBMC_close_file_t XBMC_close_file = nullptr;
  XBMC_get_file_chunk_size_t XBMC_get_file_chunk_size = nullptr;
  XBMC_file_exists_t XBMC_file_exists = nullptr;
  XBMC_stat_file_t XBMC_stat_file = nullptr;
  XBMC_delete_file_t XBMC_delete_file = nullptr;
  XBMC_can_open_directory_t XBMC_can_open_directory = nullptr;
  XBMC_create_directory_t XBMC_create_directory = nullptr;
  XBMC_directory_exists_t XBMC_directory_exists = nullptr;
  XBMC_remove_directory_t XBMC_remove_directory = nullptr;

  void* m_libXBMC_addon = nullptr;
  void* m_Handle = nullptr;
  void* m_Callbacks = nullptr;
};

extern CHelper_libXBMC_addon* XBMC;

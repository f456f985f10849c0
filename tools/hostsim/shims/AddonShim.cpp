// The host's add-on library: forwards every call to the simulator's table.
#include "shims/ShimSupport.h"

using hostsim_shim::TableOf;

#define TABLE_OR(result)                          \
  const HostsimTable* t = TableOf(hdl, __func__); \
  if (t == nullptr) return result

HOSTSIM_EXPORT void* XBMC_register_me(void* hdl) {
  TABLE_OR(nullptr);
  return t->registerLibrary(t->ctx, HOSTSIM_LIB_ADDON);
}

HOSTSIM_EXPORT void XBMC_unregister_me(void* hdl, void* cb) {
  TABLE_OR();
  t->unregisterLibrary(t->ctx, HOSTSIM_LIB_ADDON, cb);
}

HOSTSIM_EXPORT void XBMC_log(void* hdl, void*, const addon_log level, const char* msg) {
  TABLE_OR();
  t->log(t->ctx, level, msg);
}

HOSTSIM_EXPORT bool XBMC_get_setting(void* hdl, void*, const char* name, void* value) {
  TABLE_OR(false);
  return t->getSetting(t->ctx, name, value);
}

HOSTSIM_EXPORT void XBMC_queue_notification(void* hdl, void*, const queue_msg type,
                                            const char* msg) {
  TABLE_OR();
  t->queueNotification(t->ctx, type, msg);
}

HOSTSIM_EXPORT bool XBMC_wake_on_lan(void* hdl, void*, const char* mac) {
  TABLE_OR(false);
  return t->wakeOnLan(t->ctx, mac);
}

HOSTSIM_EXPORT char* XBMC_unknown_to_utf8(void* hdl, void*, const char* str) {
  TABLE_OR(nullptr);
  return t->unknownToUtf8(t->ctx, str);
}

HOSTSIM_EXPORT char* XBMC_get_localized_string(void* hdl, void*, int code) {
  TABLE_OR(nullptr);
  return t->getLocalizedString(t->ctx, code);
}

HOSTSIM_EXPORT void XBMC_free_string(void* hdl, void*, char* str) {
  TABLE_OR();
  t->freeString(t->ctx, str);
}

HOSTSIM_EXPORT char* XBMC_get_dvd_menu_language(void* hdl, void*) {
  TABLE_OR(nullptr);
  return t->getDvdMenuLanguage(t->ctx);
}

HOSTSIM_EXPORT void* XBMC_open_file(void* hdl, void*, const char* path, unsigned int flags) {
  TABLE_OR(nullptr);
  return t->openFile(t->ctx, path, flags);
}

HOSTSIM_EXPORT void* XBMC_open_file_for_write(void* hdl, void*, const char* path, bool overwrite) {
  TABLE_OR(nullptr);
  return t->openFileForWrite(t->ctx, path, overwrite);
}

HOSTSIM_EXPORT ssize_t XBMC_read_file(void* hdl, void*, void* file, void* buf, size_t size) {
  TABLE_OR(-1);
  return t->readFile(t->ctx, file, buf, size);
}

HOSTSIM_EXPORT bool XBMC_read_file_string(void* hdl, void*, void* file, char* line, int size) {
  TABLE_OR(false);
  return t->readFileString(t->ctx, file, line, size);
}

HOSTSIM_EXPORT ssize_t XBMC_write_file(void* hdl, void*, void* file, const void* buf, size_t size) {
  TABLE_OR(-1);
  return t->writeFile(t->ctx, file, buf, size);
}

HOSTSIM_EXPORT void XBMC_flush_file(void* hdl, void*, void* file) {
  TABLE_OR();
  t->flushFile(t->ctx, file);
}

HOSTSIM_EXPORT int64_t XBMC_seek_file(void* hdl, void*, void* file, int64_t pos, int whence) {
  TABLE_OR(-1);
  return t->seekFile(t->ctx, file, pos, whence);
}

HOSTSIM_EXPORT int XBMC_truncate_file(void* hdl, void*, void* file, int64_t size) {
  TABLE_OR(-1);
  return t->truncateFile(t->ctx, file, size);
}

HOSTSIM_EXPORT int64_t XBMC_get_file_position(void* hdl, void*, void* file) {
  TABLE_OR(-1);
  return t->getFilePosition(t->ctx, file);
}

HOSTSIM_EXPORT int64_t XBMC_get_file_length(void* hdl, void*, void* file) {
  TABLE_OR(-1);
  return t->getFileLength(t->ctx, file);
}

HOSTSIM_EXPORT void XBMC_close_file(void* hdl, void*, void* file) {
  TABLE_OR();
  t->closeFile(t->ctx, file);
}

HOSTSIM_EXPORT int XBMC_get_file_chunk_size(void* hdl, void*, void* file) {
  TABLE_OR(0);
  return t->getFileChunkSize(t->ctx, file);
}

HOSTSIM_EXPORT bool XBMC_file_exists(void* hdl, void*, const char* path, bool useCache) {
  TABLE_OR(false);
  return t->fileExists(t->ctx, path, useCache);
}

HOSTSIM_EXPORT int XBMC_stat_file(void* hdl, void*, const char* path, struct stat* buffer) {
  TABLE_OR(-1);
  return t->statFile(t->ctx, path, buffer);
}

HOSTSIM_EXPORT bool XBMC_delete_file(void* hdl, void*, const char* path) {
  TABLE_OR(false);
  return t->deleteFile(t->ctx, path);
}

HOSTSIM_EXPORT bool XBMC_can_open_directory(void* hdl, void*, const char* url) {
  TABLE_OR(false);
  return t->canOpenDirectory(t->ctx, url);
}

HOSTSIM_EXPORT bool XBMC_create_directory(void* hdl, void*, const char* path) {
  TABLE_OR(false);
  return t->createDirectory(t->ctx, path);
}

HOSTSIM_EXPORT bool XBMC_directory_exists(void* hdl, void*, const char* path) {
  TABLE_OR(false);
  return t->directoryExists(t->ctx, path);
}

// Left out of the variant built to test an add-on facing an incomplete host.
#ifndef HOSTSIM_OMIT_REMOVE_DIRECTORY
HOSTSIM_EXPORT bool XBMC_remove_directory(void* hdl, void*, const char* path) {
  TABLE_OR(false);
  return t->removeDirectory(t->ctx, path);
}
#endif

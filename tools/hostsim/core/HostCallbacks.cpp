// The host table's functions: each turns a host library call into a call on
// the Host behind the context pointer.
#include <cstdlib>
#include <cstring>

#include "core/Charset.h"
#include "core/Host.h"

namespace hostsim {

namespace {

Host& H(void* ctx) {
  return *static_cast<Host*>(ctx);
}

char* copyOut(const std::string& text) {
  char* out = static_cast<char*>(std::malloc(text.size() + 1));
  if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

// Add-on library.
void* registerLibrary(void* ctx, HostsimLibrary lib) {
  return H(ctx).registerLibrary(lib);
}
void unregisterLibrary(void* ctx, HostsimLibrary lib, void* cb) {
  H(ctx).unregisterLibrary(lib, cb);
}
void log(void* ctx, addon_log level, const char* msg) {
  H(ctx).journal().log(level, msg ? msg : "(null)");
}
bool getSetting(void* ctx, const char* name, void* value) {
  if (name == nullptr) {
    H(ctx).journal().hostError("XBMC_get_setting with a null name");
    return false;
  }
  std::string problem;
  bool ok = H(ctx).settings().get(name, value, &problem);
  if (!problem.empty()) H(ctx).journal().hostError(problem);
  return ok;
}
void queueNotification(void* ctx, queue_msg type, const char* msg) {
  H(ctx).journal().notification(type, msg ? msg : "(null)");
}
bool wakeOnLan(void* ctx, const char* mac) {
  H(ctx).journal().host(std::string("wake-on-LAN for ") + (mac ? mac : "(null)") + " (not sent)");
  return true;
}
char* unknownToUtf8(void*, const char* str) {
  return str ? copyOut(hostsim::unknownToUtf8(str)) : nullptr;
}
char* getLocalizedString(void* ctx, int code) {
  if (!H(ctx).strings().has(code))
    H(ctx).journal().hostError("string id " + std::to_string(code) + " is not in strings.po");
  return copyOut(H(ctx).strings().get(code));
}
void freeString(void*, char* str) {
  std::free(str);
}
char* getDvdMenuLanguage(void*) {
  return copyOut("es");
}

void* openFile(void* ctx, const char* path, unsigned int flags) {
  return H(ctx).files().open(path, flags);
}
void* openFileForWrite(void* ctx, const char* path, bool overwrite) {
  return H(ctx).files().openForWrite(path, overwrite);
}
ssize_t readFile(void* ctx, void* file, void* buf, size_t size) {
  return H(ctx).files().read(file, buf, size);
}
bool readFileString(void* ctx, void* file, char* line, int size) {
  return H(ctx).files().readString(file, line, size);
}
ssize_t writeFile(void* ctx, void* file, const void* buf, size_t size) {
  return H(ctx).files().write(file, buf, size);
}
void flushFile(void* ctx, void* file) {
  H(ctx).files().flush(file);
}
int64_t seekFile(void* ctx, void* file, int64_t pos, int whence) {
  return H(ctx).files().seek(file, pos, whence);
}
int truncateFile(void* ctx, void* file, int64_t size) {
  return H(ctx).files().truncate(file, size);
}
int64_t getFilePosition(void* ctx, void* file) {
  return H(ctx).files().position(file);
}
int64_t getFileLength(void* ctx, void* file) {
  return H(ctx).files().length(file);
}
void closeFile(void* ctx, void* file) {
  H(ctx).files().close(file);
}
int getFileChunkSize(void* ctx, void* file) {
  return H(ctx).files().chunkSize(file);
}
bool fileExists(void* ctx, const char* path, bool) {
  return H(ctx).files().exists(path);
}
int statFile(void* ctx, const char* path, struct stat* buffer) {
  return H(ctx).files().stat(path, buffer);
}
bool deleteFile(void* ctx, const char* path) {
  return H(ctx).files().remove(path);
}
bool canOpenDirectory(void* ctx, const char* url) {
  return H(ctx).files().canOpenDirectory(url);
}
bool createDirectory(void* ctx, const char* path) {
  return H(ctx).files().createDirectory(path);
}
bool directoryExists(void* ctx, const char* path) {
  return H(ctx).files().directoryExists(path);
}
bool removeDirectory(void* ctx, const char* path) {
  return H(ctx).files().removeDirectory(path);
}

// PVR library.
void transferEpgEntry(void* ctx, const ADDON_HANDLE handle, const EPG_TAG* entry) {
  H(ctx).pvr().addEpg(handle, entry);
}
void transferChannelEntry(void* ctx, const ADDON_HANDLE handle, const PVR_CHANNEL* entry) {
  H(ctx).pvr().addChannel(handle, entry);
}
void transferTimerEntry(void* ctx, const ADDON_HANDLE handle, const PVR_TIMER* entry) {
  H(ctx).pvr().addTimer(handle, entry);
}
void transferRecordingEntry(void* ctx, const ADDON_HANDLE handle, const PVR_RECORDING* entry) {
  H(ctx).pvr().addRecording(handle, entry);
}
void addMenuHook(void* ctx, PVR_MENUHOOK* hook) {
  H(ctx).pvr().addMenuHook(hook);
  if (hook)
    H(ctx).journal().host("menu hook " + std::to_string(hook->iHookId) + " registered (string " +
                          std::to_string(hook->iLocalizedStringId) + ", " +
                          menuHookCategoryName(hook->category) + ")");
}
void recording(void* ctx, const char* name, const char* fileName, bool on) {
  RecordingNotice n{name ? name : "", fileName ? fileName : "", on};
  H(ctx).journal().host(std::string("recording ") + (on ? "started: " : "stopped: ") + n.name +
                        " (" + n.fileName + ")");
  H(ctx).pvr().addRecordingNotice(std::move(n));
}
void triggerTimerUpdate(void* ctx) {
  H(ctx).trigger(FollowUpKind::Timers);
}
void triggerRecordingUpdate(void* ctx) {
  H(ctx).trigger(FollowUpKind::Recordings);
}
void triggerChannelUpdate(void* ctx) {
  H(ctx).trigger(FollowUpKind::Channels);
}
void triggerChannelGroupsUpdate(void* ctx) {
  H(ctx).trigger(FollowUpKind::Groups);
}
void triggerEpgUpdate(void* ctx, unsigned int uid) {
  H(ctx).trigger(FollowUpKind::Epg, uid);
}
void transferChannelGroup(void* ctx, const ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* group) {
  H(ctx).pvr().addGroup(handle, group);
}
void transferChannelGroupMember(void* ctx, const ADDON_HANDLE handle,
                                const PVR_CHANNEL_GROUP_MEMBER* member) {
  H(ctx).pvr().addMember(handle, member);
}
void freeDemuxPacket(void* ctx, DemuxPacket* packet) {
  H(ctx).demux().free(packet);
}
DemuxPacket* allocateDemuxPacket(void* ctx, int dataSize) {
  return H(ctx).demux().allocate(dataSize);
}

// GUI library.
void guiLock(void* ctx) {
  H(ctx).gui().lock();
}
void guiUnlock(void* ctx) {
  H(ctx).gui().unlock();
}
int screenHeight(void*) {
  return 720;
}
int screenWidth(void*) {
  return 1280;
}
int videoResolution(void*) {
  return 1;
}  // the host's 720p resolution
CAddonGUIWindow* windowCreate(void* ctx, const char* xmlFilename, const char* defaultSkin,
                              bool forceFallback, bool asDialog) {
  return H(ctx).gui().createWindow(xmlFilename, defaultSkin, forceFallback, asDialog);
}
CAddonGUISpinControl* controlGetSpin(void* ctx, CAddonGUIWindow* window, int controlId) {
  return H(ctx).gui().getSpin(window, controlId);
}
CAddonGUIRadioButton* controlGetRadioButton(void* ctx, CAddonGUIWindow* window, int controlId) {
  return H(ctx).gui().getRadioButton(window, controlId);
}
CAddonGUIProgressControl* controlGetProgress(void* ctx, CAddonGUIWindow* window, int controlId) {
  return H(ctx).gui().getProgress(window, controlId);
}
CAddonListItem* listItemCreate(void* ctx, const char* label, const char* label2,
                               const char* iconImage, const char* thumbnailImage,
                               const char* path) {
  return H(ctx).gui().createListItem(label, label2, iconImage, thumbnailImage, path);
}
CAddonGUIRenderingControl* controlGetRendering(void* ctx, CAddonGUIWindow* window, int controlId) {
  return H(ctx).gui().getRendering(window, controlId);
}

}  // namespace

HostsimTable makeHostTable(Host& host) {
  HostsimTable t{};
  t.magic = HOSTSIM_TABLE_MAGIC;
  t.size = sizeof(HostsimTable);
  t.ctx = &host;
  t.registerLibrary = registerLibrary;
  t.unregisterLibrary = unregisterLibrary;
  t.log = log;
  t.getSetting = getSetting;
  t.queueNotification = queueNotification;
  t.wakeOnLan = wakeOnLan;
  t.unknownToUtf8 = unknownToUtf8;
  t.getLocalizedString = getLocalizedString;
  t.freeString = freeString;
  t.getDvdMenuLanguage = getDvdMenuLanguage;
  t.openFile = openFile;
  t.openFileForWrite = openFileForWrite;
  t.readFile = readFile;
  t.readFileString = readFileString;
  t.writeFile = writeFile;
  t.flushFile = flushFile;
  t.seekFile = seekFile;
  t.truncateFile = truncateFile;
  t.getFilePosition = getFilePosition;
  t.getFileLength = getFileLength;
  t.closeFile = closeFile;
  t.getFileChunkSize = getFileChunkSize;
  t.fileExists = fileExists;
  t.statFile = statFile;
  t.deleteFile = deleteFile;
  t.canOpenDirectory = canOpenDirectory;
  t.createDirectory = createDirectory;
  t.directoryExists = directoryExists;
  t.removeDirectory = removeDirectory;
  t.transferEpgEntry = transferEpgEntry;
  t.transferChannelEntry = transferChannelEntry;
  t.transferTimerEntry = transferTimerEntry;
  t.transferRecordingEntry = transferRecordingEntry;
  t.addMenuHook = addMenuHook;
  t.recording = recording;
  t.triggerTimerUpdate = triggerTimerUpdate;
  t.triggerRecordingUpdate = triggerRecordingUpdate;
  t.triggerChannelUpdate = triggerChannelUpdate;
  t.triggerChannelGroupsUpdate = triggerChannelGroupsUpdate;
  t.triggerEpgUpdate = triggerEpgUpdate;
  t.transferChannelGroup = transferChannelGroup;
  t.transferChannelGroupMember = transferChannelGroupMember;
  t.freeDemuxPacket = freeDemuxPacket;
  t.allocateDemuxPacket = allocateDemuxPacket;
  t.guiLock = guiLock;
  t.guiUnlock = guiUnlock;
  t.screenHeight = screenHeight;
  t.screenWidth = screenWidth;
  t.videoResolution = videoResolution;
  t.windowCreate = windowCreate;
  t.controlGetSpin = controlGetSpin;
  t.controlGetRadioButton = controlGetRadioButton;
  t.controlGetProgress = controlGetProgress;
  t.listItemCreate = listItemCreate;
  t.controlGetRendering = controlGetRendering;
  return t;
}

}  // namespace hostsim

#include "common/HostServices.h"

#include <atomic>
#include <utility>
#include <vector>

namespace {

// Stands in while no host is installed: the add-on's code can always call.
class NoHost final : public HostServices {
 public:
  void Log(LogLevel, const std::string&) override {}
  void Notify(NoticeKind, const std::string&) override {}
  std::string LocalizedString(int) override { return std::string(); }
  std::string UnknownToUtf8(const std::string& text) override { return text; }
  void* OpenFile(const std::string&, unsigned int) override { return nullptr; }
  void* OpenFileForWrite(const std::string&, bool) override { return nullptr; }
  ssize_t ReadFile(void*, void*, size_t) override { return -1; }
  ssize_t WriteFile(void*, const void*, size_t) override { return -1; }
  void FlushFile(void*) override {}
  int64_t SeekFile(void*, int64_t, int) override { return -1; }
  int64_t FilePosition(void*) override { return -1; }
  int64_t FileLength(void*) override { return -1; }
  void CloseFile(void*) override {}
  bool FileExists(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  void TriggerChannelUpdate() override {}
  void TriggerChannelGroupsUpdate() override {}
  void TriggerTimerUpdate() override {}
  void TriggerRecordingUpdate() override {}
  void TriggerEpgUpdate(unsigned int) override {}
};

NoHost g_noHost;
std::atomic<HostServices*> g_host{&g_noHost};

}  // namespace

HostServices& TheHost() {
  return *g_host.load(std::memory_order_acquire);
}

void InstallHost(HostServices* host) {
  g_host.store(host != nullptr ? host : &g_noHost, std::memory_order_release);
}

void NotificarCadena(NoticeKind kind, int stringId) {
  HostServices& host = TheHost();
  host.Notify(kind, host.LocalizedString(stringId));
}

HostFile HostFile::ForWrite(const std::string& path, bool overwrite) {
  return HostFile(TheHost().OpenFileForWrite(path, overwrite));
}

HostFile HostFile::ForRead(const std::string& path) {
  return HostFile(TheHost().OpenFile(path, 0));
}

HostFile::~HostFile() {
  Close();
}

HostFile::HostFile(HostFile&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool HostFile::Write(const std::string& data) {
  return Write(data.data(), data.size());
}

bool HostFile::Write(const void* data, size_t size) {
  if (handle_ == nullptr) return false;
  const ssize_t written = TheHost().WriteFile(handle_, data, size);
  return written >= 0 && static_cast<size_t>(written) == size;
}

ssize_t HostFile::Read(void* buffer, size_t size) {
  return handle_ != nullptr ? TheHost().ReadFile(handle_, buffer, size) : -1;
}

void HostFile::Close() {
  if (handle_ != nullptr) TheHost().CloseFile(std::exchange(handle_, nullptr));
}

bool EscribirFichero(const std::string& path, const std::string& text) {
  HostFile file = HostFile::ForWrite(path, true);
  return file && file.Write(text);
}

std::string LeerFicheroEntero(const std::string& path, size_t limite, bool* cortado) {
  if (cortado != nullptr) *cortado = false;
  std::string texto;
  HostFile fichero = HostFile::ForRead(path);
  if (!fichero) return texto;
  char bloque[4096];
  for (ssize_t n; (n = fichero.Read(bloque, sizeof bloque)) > 0;) {
    if (static_cast<size_t>(n) > limite - texto.size()) {
      texto.append(bloque, limite - texto.size());
      if (cortado != nullptr) *cortado = true;
      break;
    }
    texto.append(bloque, static_cast<size_t>(n));
  }
  return texto;
}

bool EscribirFicheroEntero(const std::string& path, const std::string& text) {
  HostFile file = HostFile::ForWrite(path, true);
  if (!file || !file.Write(text)) return false;
  TheHost().FlushFile(file.handle());
  file.Close();
  return true;
}

bool ReescribirFichero(const std::string& path, const std::string& text) {
  const std::string copia = path + kSufijoCopia;
  if (!EscribirFicheroEntero(copia, text)) {
    TheHost().DeleteFile(copia);
    return false;
  }
  if (!EscribirFicheroEntero(path, text)) return false;
  TheHost().DeleteFile(copia);
  return true;
}

bool MoverFichero(const std::string& from, const std::string& to) {
  if (TheHost().RenameFile(from, to)) return true;
  bool copiado = false;
  {
    HostFile origen = HostFile::ForRead(from);
    HostFile destino = origen ? HostFile::ForWrite(to, false) : HostFile();
    if (destino) {
      std::vector<char> bloque(64 * 1024);
      ssize_t n = 0;
      copiado = true;
      while (copiado && (n = origen.Read(bloque.data(), bloque.size())) > 0)
        copiado = destino.Write(bloque.data(), static_cast<size_t>(n));
      copiado = copiado && n == 0;
    }
  }
  if (!copiado) {
    if (TheHost().FileExists(to)) TheHost().DeleteFile(to);
    return false;
  }
  TheHost().DeleteFile(from);
  return true;
}

#include "epg/CarpetaGuia.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/HostServices.h"
#include "common/Text.h"

namespace {
constexpr size_t kBloque = 16 * 1024;
}

std::vector<std::string> ListarFicheros(const std::string& folder) {
  std::vector<std::string> names;
  const std::string path = DeUTF8a1252(folder);
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    bool file = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info {};
      file = stat((path + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }
    if (file) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

ListadoCarpeta::Nombres ListadoCarpeta::Ficheros(const std::string& folder) {
  struct stat info {};
  const bool known = stat(DeUTF8a1252(folder).c_str(), &info) == 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (known && reusable_ && folder == folder_ && info.st_mtim.tv_sec == changed_.tv_sec &&
        info.st_mtim.tv_nsec == changed_.tv_nsec) {
      return names_;
    }
  }
  // Listed outside the lock; the newest listing wins.
  auto names = std::make_shared<const std::vector<std::string>>(ListarFicheros(folder));
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::lock_guard<std::mutex> lock(mutex_);
  folder_ = folder;
  changed_ = info.st_mtim;
  // A folder changed in the last seconds may change again within the same
  // tick of its clock, unseen: such a listing is not kept.
  reusable_ = known && now.tv_sec - info.st_mtim.tv_sec >= 2;
  names_ = names;
  return names;
}

std::string LeerFichero(const std::string& path) {
  HostFile file = HostFile::ForRead(DeUTF8a1252(path));
  std::string text;
  if (!file) return text;
  // Read straight into the text at its known length; what a writer adds
  // meanwhile follows block by block.
  const int64_t length = TheHost().FileLength(file.handle());
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    size_t done = 0;
    ssize_t read = 0;
    while (done < text.size() && (read = file.Read(&text[done], text.size() - done)) > 0) {
      done += static_cast<size_t>(read);
    }
    text.resize(done);
    if (done < static_cast<size_t>(length)) return text;
  }
  char block[kBloque];
  ssize_t read;
  while ((read = file.Read(block, sizeof(block))) > 0)
    text.append(block, static_cast<size_t>(read));
  return text;
}

std::string SegmentoDeFichero(const std::string& name) {
  const size_t underscore = name.find('_', 1);
  if (underscore == std::string::npos) return std::string();
  const size_t xml = name.find(".xml");
  if (xml == std::string::npos || xml < underscore) return std::string();
  return name.substr(underscore + 1, xml - underscore - 1);
}

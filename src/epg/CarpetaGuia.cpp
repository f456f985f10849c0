#include "epg/CarpetaGuia.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/HostServices.h"
#include "common/Text.h"

namespace {
constexpr size_t kBloque = 64 * 1024;
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

std::string LeerFichero(const std::string& path) {
  HostFile file = HostFile::ForRead(DeUTF8a1252(path));
  std::string text;
  if (!file) return text;
  const int64_t length = TheHost().FileLength(file.handle());
  if (length > 0) text.reserve(static_cast<size_t>(length));
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

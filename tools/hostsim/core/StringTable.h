// The add-on's localized strings, read from a gettext file of the host's kind:
// entries keyed by `msgctxt "#30500"`, whose text is msgstr when it is not
// empty and msgid otherwise.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace hostsim {

struct StringTableResult {
  bool ok = false;
  std::string error;                  // file-level failure
  std::vector<std::string> warnings;  // malformed lines, skipped
  size_t entries = 0;
};

class StringTable {
 public:
  StringTableResult loadFile(const std::string& path);
  StringTableResult loadString(const std::string& text);

  bool has(int id) const { return strings_.count(id) != 0; }
  std::string get(int id) const;  // empty when unknown
  size_t size() const { return strings_.size(); }

 private:
  std::map<int, std::string> strings_;
};

}  // namespace hostsim

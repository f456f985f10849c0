#include "core/StringTable.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace hostsim {

namespace {

// Decodes a gettext quoted string starting at `pos` (the opening quote).
bool readQuoted(const std::string& line, size_t pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  for (size_t i = pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') return line.find_first_not_of(" \t\r", i + 1) == std::string::npos;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= line.size()) return false;
    switch (line[i]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        out += line[i];  // \" \\ and the rest stand for themselves
    }
  }
  return false;
}

struct Entry {
  std::string context, id, str;
  bool hasContext = false;
  int lineNo = 0;
};

}  // namespace

StringTableResult StringTable::loadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    strings_.clear();
    StringTableResult r;
    r.error = "cannot open " + path;
    return r;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return loadString(buffer.str());
}

StringTableResult StringTable::loadString(const std::string& text) {
  StringTableResult result;
  std::map<int, std::string> strings;
  Entry entry;
  std::string* current = nullptr;

  auto finish = [&]() {
    if (entry.hasContext) {
      const std::string& ctx = entry.context;
      char* end = nullptr;
      long id = ctx.size() > 1 && ctx[0] == '#' ? std::strtol(ctx.c_str() + 1, &end, 10) : -1;
      if (id < 0 || end == nullptr || *end != '\0') {
        result.warnings.push_back("line " + std::to_string(entry.lineNo) +
                                  ": msgctxt is not a string id: " + ctx);
      } else {
        strings[static_cast<int>(id)] = entry.str.empty() ? entry.id : entry.str;
      }
    }
    entry = Entry();
    current = nullptr;
  };

  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    auto keyword = [&](const char* k) {
      return line.compare(start, std::string(k).size(), k) == 0;
    };
    size_t quote = line.find('"', start);
    std::string value;
    if (line[start] == '"') {
      if (current == nullptr || !readQuoted(line, start, value)) {
        result.warnings.push_back("line " + std::to_string(lineNo) + ": stray text");
        continue;
      }
      *current += value;
      continue;
    }
    if (quote == std::string::npos || !readQuoted(line, quote, value)) {
      result.warnings.push_back("line " + std::to_string(lineNo) + ": malformed line");
      current = nullptr;
      continue;
    }
    if (keyword("msgctxt")) {
      finish();
      entry.hasContext = true;
      entry.lineNo = lineNo;
      entry.context = value;
      current = &entry.context;
    } else if (keyword("msgid_plural")) {
      current = nullptr;
    } else if (keyword("msgid")) {
      // An entry without context starts here (the file header, for instance).
      if (!entry.id.empty() || !entry.str.empty() || !entry.hasContext) {
        finish();
        entry.lineNo = lineNo;
      }
      entry.id = value;
      current = &entry.id;
    } else if (keyword("msgstr")) {
      entry.str = value;
      current = &entry.str;
    } else {
      result.warnings.push_back("line " + std::to_string(lineNo) + ": unknown keyword");
      current = nullptr;
    }
  }
  finish();
  strings_ = std::move(strings);
  result.ok = true;
  result.entries = strings_.size();
  return result;
}

std::string StringTable::get(int id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? std::string() : it->second;
}

}  // namespace hostsim

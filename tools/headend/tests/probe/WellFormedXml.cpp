#include "WellFormedXml.h"

#include <cstring>
#include <set>

namespace probe {

namespace {

bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int more = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (more < 0 || (more == 1 && c < 0xC2) || i + more >= s.size() + (more == 0 ? 1 : 0)) {
      return false;  // bad lead byte, overlong pair, or cut short
    }
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
    i += more + 1;
  }
  return true;
}

// Every '&' of raw (unescaped) text starts a predefined entity or a
// character reference.
bool KnownReferences(const char* raw) {
  static const char* const kNamed[] = {"amp;", "lt;", "gt;", "quot;", "apos;"};
  for (const char* p = std::strchr(raw, '&'); p != nullptr; p = std::strchr(p + 1, '&')) {
    const char* ref = p + 1;
    bool known = false;
    for (const char* name : kNamed)
      known = known || std::strncmp(ref, name, std::strlen(name)) == 0;
    if (known) continue;
    if (*ref++ != '#') return false;
    bool hex = *ref == 'x';
    ref += hex;
    const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
    size_t n = std::strspn(ref, digits);
    if (n == 0 || ref[n] != ';') return false;
  }
  return true;
}

// The checks pugixml leaves out, on a tree parsed without unescaping.
std::string RawProblem(pugi::xml_document& raw) {
  int roots = 0;
  for (pugi::xml_node n : raw.children()) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
      return "text outside the root element";
    roots += n.type() == pugi::node_element;
  }
  if (roots != 1) return roots == 0 ? "no root element" : "more than one root element";
  std::string problem;
  struct Walker : pugi::xml_tree_walker {
    std::string* problem;
    bool for_each(pugi::xml_node& n) override {
      if (n.type() == pugi::node_pcdata && !KnownReferences(n.value())) {
        *problem = std::string("unknown reference in the text of ") + n.parent().name();
        return false;
      }
      if (n.type() != pugi::node_element) return true;
      std::set<std::string> names;
      for (pugi::xml_attribute a : n.attributes()) {
        std::string which = std::string("attribute ") + a.name() + " of " + n.name();
        if (!names.insert(a.name()).second)
          *problem = "duplicate " + which;
        else if (std::strchr(a.value(), '<') != nullptr)
          *problem = "'<' in " + which;
        else if (!KnownReferences(a.value()))
          *problem = "unknown reference in " + which;
        if (!problem->empty()) return false;
      }
      return true;
    }
  } walker;
  walker.problem = &problem;
  raw.traverse(walker);
  return problem;
}

}  // namespace

WellFormedXml WellFormedXml::Parse(const std::string& text) {
  WellFormedXml xml;
  if (!ValidUtf8(text)) {
    xml.error_ = "not valid UTF-8";
    return xml;
  }
  // A fragment keeps text outside the root, so that it can be refused.
  const unsigned kOptions = pugi::parse_default | pugi::parse_fragment | pugi::parse_declaration;
  pugi::xml_document raw;
  pugi::xml_parse_result parsed =
      raw.load_buffer(text.data(), text.size(), kOptions & ~pugi::parse_escapes);
  if (!parsed) {
    xml.error_ = std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
    return xml;
  }
  xml.error_ = RawProblem(raw);
  if (!xml.Ok()) return xml;
  xml.declaration_ = raw.first_child().type() == pugi::node_declaration;
  xml.doc_.load_buffer(text.data(), text.size(), kOptions);
  return xml;
}

pugi::xml_node FirstElement(const pugi::xml_node& node) {
  return node.find_child([](const pugi::xml_node& n) { return n.type() == pugi::node_element; });
}

}  // namespace probe

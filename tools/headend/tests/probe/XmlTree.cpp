#include "XmlTree.h"

#include <cctype>
#include <cstring>

namespace probe {

const std::string* XmlElement::Attribute(const std::string& attribute) const {
  for (const auto& a : attributes)
    if (a.first == attribute) return &a.second;
  return nullptr;
}

const XmlElement* XmlElement::Child(const std::string& child) const {
  for (const auto& c : children)
    if (c->name == child) return c.get();
  return nullptr;
}

std::vector<const XmlElement*> XmlElement::Children(const std::string& child) const {
  std::vector<const XmlElement*> out;
  for (const auto& c : children)
    if (c->name == child) out.push_back(c.get());
  return out;
}

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

bool NameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':';
}
bool NameChar(char c) {
  return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

class Parser {
 public:
  explicit Parser(const std::string& t) : t_(t) {}

  std::string error;
  bool declaration = false;

  std::unique_ptr<XmlElement> Document() {
    if (!ValidUtf8(t_)) return Fail("not valid UTF-8");
    if (t_.compare(0, 5, "<?xml") == 0) {
      size_t end = t_.find("?>");
      if (end == std::string::npos) return Fail("unterminated declaration");
      declaration = true;
      p_ = end + 2;
    }
    if (!Misc()) return nullptr;
    if (p_ >= t_.size() || t_[p_] != '<') return Fail("no root element");
    auto root = Element(0);
    if (!root) return nullptr;
    if (!Misc()) return nullptr;
    if (p_ != t_.size()) return Fail("content after the root element");
    return root;
  }

 private:
  std::unique_ptr<XmlElement> Fail(const std::string& why) {
    if (error.empty()) error = why + " at offset " + std::to_string(p_);
    return nullptr;
  }
  void Spaces() {
    while (p_ < t_.size() && std::strchr(" \t\r\n", t_[p_]) != nullptr) ++p_;
  }
  // White space, comments and processing instructions outside the root.
  bool Misc() {
    while (true) {
      Spaces();
      if (t_.compare(p_, 4, "<!--") == 0) {
        if (!Skip("-->")) return false;
      } else if (t_.compare(p_, 2, "<?") == 0) {
        if (!Skip("?>")) return false;
      } else {
        return true;
      }
    }
  }
  bool Skip(const char* terminator) {
    size_t end = t_.find(terminator, p_);
    if (end == std::string::npos) {
      Fail(std::string("missing ") + terminator);
      return false;
    }
    p_ = end + std::strlen(terminator);
    return true;
  }
  bool Name(std::string* out) {
    if (p_ >= t_.size() || !NameStart(t_[p_])) return false;
    size_t start = p_;
    while (p_ < t_.size() && NameChar(t_[p_])) ++p_;
    *out = t_.substr(start, p_ - start);
    return true;
  }
  // Unescapes text up to one of the stop characters; false on a bad reference.
  bool CharData(const char* stops, std::string* out) {
    while (p_ < t_.size() && std::strchr(stops, t_[p_]) == nullptr) {
      if (t_[p_] == '&') {
        size_t semi = t_.find(';', p_);
        if (semi == std::string::npos || semi - p_ > 10) return false;
        std::string ref = t_.substr(p_ + 1, semi - p_ - 1);
        static const std::pair<const char*, char> kNamed[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool known = false;
        for (const auto& n : kNamed)
          if (ref == n.first) {
            *out += n.second;
            known = true;
          }
        if (!known) {
          if (ref.size() < 2 || ref[0] != '#') return false;
          bool hex = ref[1] == 'x';
          std::string digits = ref.substr(hex ? 2 : 1);
          if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                             : "0123456789") != std::string::npos)
            return false;
          *out += '?';  // the code point itself does not matter for the checks
        }
        p_ = semi + 1;
      } else {
        *out += t_[p_++];
      }
    }
    return true;
  }
  std::unique_ptr<XmlElement> Element(int depth) {
    if (depth > 64) return Fail("elements nested too deep");
    ++p_;  // '<'
    auto e = std::make_unique<XmlElement>();
    if (!Name(&e->name)) return Fail("bad element name");
    while (true) {
      size_t before = p_;
      Spaces();
      if (p_ >= t_.size()) return Fail("unterminated start tag");
      if (t_.compare(p_, 2, "/>") == 0) {
        p_ += 2;
        return e;
      }
      if (t_[p_] == '>') {
        ++p_;
        break;
      }
      if (p_ == before) return Fail("attributes must be separated by white space");
      std::string name;
      if (!Name(&name)) return Fail("bad attribute name");
      Spaces();
      if (p_ >= t_.size() || t_[p_] != '=') return Fail("attribute without '='");
      ++p_;
      Spaces();
      if (p_ >= t_.size() || (t_[p_] != '"' && t_[p_] != '\'')) return Fail("unquoted attribute");
      char quote[2] = {t_[p_++], '\0'};
      std::string value;
      char stops[3] = {quote[0], '<', '\0'};
      if (!CharData(stops, &value) || p_ >= t_.size() || t_[p_] != quote[0])
        return Fail("bad attribute value");
      ++p_;
      if (e->Attribute(name) != nullptr) return Fail("duplicate attribute " + name);
      e->attributes.emplace_back(name, value);
    }
    while (true) {
      if (!CharData("<", &e->text)) return Fail("bad character reference");
      if (p_ >= t_.size()) return Fail("unclosed element " + e->name);
      if (t_.compare(p_, 2, "</") == 0) {
        p_ += 2;
        std::string name;
        if (!Name(&name) || name != e->name) return Fail("end tag does not match " + e->name);
        Spaces();
        if (p_ >= t_.size() || t_[p_] != '>') return Fail("bad end tag");
        ++p_;
        return e;
      }
      if (t_.compare(p_, 4, "<!--") == 0) {
        if (!Skip("-->")) return nullptr;
      } else if (t_.compare(p_, 9, "<![CDATA[") == 0) {
        size_t end = t_.find("]]>", p_);
        if (end == std::string::npos) return Fail("unterminated CDATA");
        e->text += t_.substr(p_ + 9, end - p_ - 9);
        p_ = end + 3;
      } else if (t_.compare(p_, 2, "<?") == 0) {
        if (!Skip("?>")) return nullptr;
      } else {
        auto child = Element(depth + 1);
        if (!child) return nullptr;
        e->children.push_back(std::move(child));
      }
    }
  }

  const std::string& t_;
  size_t p_ = 0;
};

}  // namespace

XmlTree XmlTree::Parse(const std::string& text) {
  XmlTree tree;
  Parser parser(text);
  tree.root_ = parser.Document();
  tree.error_ = parser.error;
  if (!tree.root_ && tree.error_.empty()) tree.error_ = "not XML";
  tree.declaration_ = parser.declaration;
  return tree;
}

}  // namespace probe

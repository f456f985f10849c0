#include "core/Xml.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace hostsim {

namespace {

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxFileBytes = 32u << 20;

void appendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  std::unique_ptr<XmlElement> parse(XmlParseResult& result) {
    std::unique_ptr<XmlElement> root;
    if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
    while (ok_) {
      skipSpace();
      if (pos_ >= s_.size()) break;
      if (!startsWith("<")) {
        fail("text outside the root element");
        break;
      }
      if (skipMarkup()) continue;
      if (root) {
        fail("second root element");
        break;
      }
      root = parseElement(0);
    }
    if (ok_ && !root) fail("no root element");
    result.ok = ok_;
    result.error = error_;
    result.offset = errorAt_;
    return ok_ ? std::move(root) : nullptr;
  }

 private:
  bool startsWith(const char* p) const { return s_.compare(pos_, std::strlen(p), p) == 0; }

  void fail(const std::string& why) {
    if (!ok_) return;
    ok_ = false;
    error_ = why;
    errorAt_ = pos_;
  }

  void skipSpace() {
    while (pos_ < s_.size() && std::strchr(" \t\r\n", s_[pos_]) != nullptr && s_[pos_] != 0) ++pos_;
  }

  bool skipUntil(const char* end) {
    size_t at = s_.find(end, pos_);
    if (at == std::string::npos) {
      fail(std::string("missing \"") + end + "\"");
      return false;
    }
    pos_ = at + std::strlen(end);
    return true;
  }

  // Comments, declarations and processing instructions.
  bool skipMarkup() {
    if (startsWith("<!--")) return skipUntil("-->") || true;
    if (startsWith("<?")) return skipUntil("?>") || true;
    if (startsWith("<!") && !startsWith("<![CDATA[")) return skipUntil(">") || true;
    return false;
  }

  static bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
           c == ':' || (static_cast<unsigned char>(c) & 0x80);
  }

  std::string parseName() {
    size_t start = pos_;
    while (pos_ < s_.size() && isNameChar(s_[pos_])) ++pos_;
    if (pos_ == start) fail("expected a name");
    return s_.substr(start, pos_ - start);
  }

  std::string decode(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      size_t semi = raw.find(';', i);
      if (semi == std::string::npos || semi - i > 12) {
        out += '&';  // a stray ampersand is kept as it is
        continue;
      }
      std::string ent = raw.substr(i + 1, semi - i - 1);
      if (ent == "lt")
        out += '<';
      else if (ent == "gt")
        out += '>';
      else if (ent == "amp")
        out += '&';
      else if (ent == "quot")
        out += '"';
      else if (ent == "apos")
        out += '\'';
      else if (ent.size() > 1 && ent[0] == '#') {
        bool hex = ent[1] == 'x' || ent[1] == 'X';
        unsigned long cp = std::strtoul(ent.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        if (cp == 0 || cp > 0x10FFFF) cp = 0xFFFD;
        appendUtf8(out, cp);
      } else {
        out += raw.substr(i, semi - i + 1);
      }
      i = semi;
    }
    return out;
  }

  std::unique_ptr<XmlElement> parseElement(size_t depth) {
    if (depth > kMaxDepth) {
      fail("elements nested too deep");
      return nullptr;
    }
    ++pos_;  // '<'
    auto element = std::make_unique<XmlElement>();
    element->name = parseName();
    while (ok_) {
      skipSpace();
      if (pos_ >= s_.size()) {
        fail("unterminated start tag");
        return nullptr;
      }
      if (startsWith("/>")) {
        pos_ += 2;
        return element;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        break;
      }
      std::string key = parseName();
      skipSpace();
      if (!ok_ || pos_ >= s_.size() || s_[pos_] != '=') {
        fail("expected '=' after attribute " + key);
        return nullptr;
      }
      ++pos_;
      skipSpace();
      if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) {
        fail("expected a quoted value for attribute " + key);
        return nullptr;
      }
      char quote = s_[pos_++];
      size_t end = s_.find(quote, pos_);
      if (end == std::string::npos) {
        fail("unterminated value of attribute " + key);
        return nullptr;
      }
      element->attributes.emplace_back(key, decode(s_.substr(pos_, end - pos_)));
      pos_ = end + 1;
    }
    // Content.
    while (ok_) {
      if (pos_ >= s_.size()) {
        fail("missing end tag of <" + element->name + ">");
        return nullptr;
      }
      if (startsWith("</")) {
        pos_ += 2;
        std::string name = parseName();
        skipSpace();
        if (name != element->name || pos_ >= s_.size() || s_[pos_] != '>') {
          fail("end tag </" + name + "> does not close <" + element->name + ">");
          return nullptr;
        }
        ++pos_;
        return element;
      }
      if (startsWith("<![CDATA[")) {
        size_t end = s_.find("]]>", pos_);
        if (end == std::string::npos) {
          fail("unterminated CDATA");
          return nullptr;
        }
        element->text += s_.substr(pos_ + 9, end - pos_ - 9);
        pos_ = end + 3;
        continue;
      }
      if (s_[pos_] == '<') {
        if (skipMarkup()) continue;
        auto child = parseElement(depth + 1);
        if (child) element->children.push_back(std::move(child));
        continue;
      }
      size_t end = s_.find('<', pos_);
      if (end == std::string::npos) end = s_.size();
      element->text += decode(s_.substr(pos_, end - pos_));
      pos_ = end;
    }
    return nullptr;
  }

  const std::string& s_;
  size_t pos_ = 0;
  bool ok_ = true;
  std::string error_;
  size_t errorAt_ = 0;
};

std::string trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

void collect(const XmlElement* element, const std::string& name, std::vector<XmlNode>& out) {
  for (const auto& c : element->children) {
    if (c->name == name) out.emplace_back(c.get());
    collect(c.get(), name, out);
  }
}

}  // namespace

bool XmlNode::hasAttribute(const std::string& name) const {
  if (!element_) return false;
  for (const auto& a : element_->attributes)
    if (a.first == name) return true;
  return false;
}

std::string XmlNode::attribute(const std::string& name) const {
  if (!element_) return std::string();
  for (const auto& a : element_->attributes)
    if (a.first == name) return a.second;
  return std::string();
}

XmlNode XmlNode::child(const std::string& name) const {
  if (!element_) return XmlNode();
  for (const auto& c : element_->children)
    if (c->name == name) return XmlNode(c.get());
  return XmlNode();
}

std::vector<XmlNode> XmlNode::children(const std::string& name) const {
  std::vector<XmlNode> out;
  if (!element_) return out;
  for (const auto& c : element_->children)
    if (name.empty() || c->name == name) out.emplace_back(c.get());
  return out;
}

std::vector<XmlNode> XmlNode::descendants(const std::string& name) const {
  std::vector<XmlNode> out;
  if (element_) collect(element_, name, out);
  return out;
}

std::string XmlParseResult::describe() const {
  if (ok) return "ok";
  return error + " at offset " + std::to_string(offset);
}

XmlParseResult XmlDocument::loadString(const std::string& text) {
  XmlParseResult result;
  root_ = Parser(text).parse(result);
  if (root_) {
    // Element text is trimmed: the host's files indent freely.
    std::vector<XmlElement*> stack{root_.get()};
    while (!stack.empty()) {
      XmlElement* e = stack.back();
      stack.pop_back();
      e->text = trimmed(e->text);
      for (auto& c : e->children) stack.push_back(c.get());
    }
  }
  return result;
}

XmlParseResult XmlDocument::loadFile(const std::string& path) {
  XmlParseResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    root_.reset();
    result.error = "cannot open " + path;
    return result;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  if (text.size() > kMaxFileBytes) {
    root_.reset();
    result.error = "file too large: " + path;
    return result;
  }
  return loadString(text);
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace hostsim

// A small XML reader for the host's own files (settings, window files,
// addon.xml): value handles whose lookups return an empty node instead of
// failing, and a parse result that carries the error.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace hostsim {

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;  // character data directly inside the element
  std::vector<std::unique_ptr<XmlElement>> children;
};

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(const XmlElement* element) : element_(element) {}

  explicit operator bool() const { return element_ != nullptr; }
  std::string name() const { return element_ ? element_->name : std::string(); }
  std::string text() const { return element_ ? element_->text : std::string(); }
  bool hasAttribute(const std::string& name) const;
  std::string attribute(const std::string& name) const;  // empty when absent
  XmlNode child(const std::string& name) const;          // first, or empty
  std::vector<XmlNode> children(const std::string& name = std::string()) const;
  // Every element of that name below this one, in document order.
  std::vector<XmlNode> descendants(const std::string& name) const;

 private:
  const XmlElement* element_ = nullptr;
};

struct XmlParseResult {
  bool ok = false;
  std::string error;
  size_t offset = 0;
  explicit operator bool() const { return ok; }
  std::string describe() const;
};

class XmlDocument {
 public:
  XmlParseResult loadString(const std::string& text);
  XmlParseResult loadFile(const std::string& path);
  XmlNode root() const { return XmlNode(root_.get()); }

 private:
  std::unique_ptr<XmlElement> root_;
};

// Escapes text for an attribute value or element content.
std::string xmlEscape(const std::string& text);

}  // namespace hostsim

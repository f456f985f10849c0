#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace probe {

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // values unescaped
  std::vector<std::unique_ptr<XmlElement>> children;
  std::string text;  // character data directly inside, unescaped

  // Null when absent.
  const std::string* Attribute(const std::string& attribute) const;
  const XmlElement* Child(const std::string& child) const;
  const XmlElement* FirstChild() const { return children.empty() ? nullptr : children[0].get(); }
  std::vector<const XmlElement*> Children(const std::string& child) const;
};

// A strict XML 1.0 well-formedness check that also builds the element tree:
// one root, matching tags, unique quoted attributes, known entities only,
// valid UTF-8. Independent of the headend's writer on purpose.
class XmlTree {
 public:
  static XmlTree Parse(const std::string& text);

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const XmlElement* Root() const { return root_.get(); }
  bool HasDeclaration() const { return declaration_; }

 private:
  std::string error_;
  bool declaration_ = false;
  std::unique_ptr<XmlElement> root_;
};

}  // namespace probe

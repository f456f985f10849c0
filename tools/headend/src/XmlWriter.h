#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace headend {

// Builds an XML document as text, escaping every attribute value and text.
// Indented output puts each element on a line of its own; compact output has
// no white space between elements, as some operators send it.
class XmlWriter {
 public:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  explicit XmlWriter(bool indented);

  void Open(const std::string& name, const Attributes& attributes = {});
  // An element with text content (or an empty element when text is empty).
  void Leaf(const std::string& name, const Attributes& attributes, const std::string& text);
  void Empty(const std::string& name, const Attributes& attributes = {});
  void Close();

  // The declaration plus everything written; all open elements are closed.
  std::string Finish();

  static std::string Escape(const std::string& text);

 private:
  void StartTag(const std::string& name, const Attributes& attributes);
  void NewLine();

  bool indented_;
  std::string text_;
  std::vector<std::string> open_;
  size_t afterStartTag_ = 0;  // end of the last start tag written
};

}  // namespace headend

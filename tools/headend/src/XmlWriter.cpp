#include "XmlWriter.h"

namespace headend {

XmlWriter::XmlWriter(bool indented) : indented_(indented) {
  text_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
}

std::string XmlWriter::Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
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

void XmlWriter::NewLine() {
  if (!indented_) return;
  text_ += '\n';
  text_.append(open_.size() * 2, ' ');
}

void XmlWriter::StartTag(const std::string& name, const Attributes& attributes) {
  NewLine();
  text_ += '<';
  text_ += name;
  for (const auto& attribute : attributes) {
    text_ += ' ';
    text_ += attribute.first;
    text_ += "=\"";
    text_ += Escape(attribute.second);
    text_ += '"';
  }
}

void XmlWriter::Open(const std::string& name, const Attributes& attributes) {
  StartTag(name, attributes);
  text_ += '>';
  open_.push_back(name);
  afterStartTag_ = text_.size();
}

void XmlWriter::Leaf(const std::string& name, const Attributes& attributes,
                     const std::string& text) {
  if (text.empty()) return Empty(name, attributes);
  StartTag(name, attributes);
  text_ += '>';
  text_ += Escape(text);
  text_ += "</" + name + ">";
}

void XmlWriter::Empty(const std::string& name, const Attributes& attributes) {
  StartTag(name, attributes);
  text_ += "/>";
}

void XmlWriter::Close() {
  if (open_.empty()) return;
  std::string name = open_.back();
  open_.pop_back();
  if (text_.size() == afterStartTag_) {
    // Nothing inside: an empty-element tag.
    text_.back() = '/';
    text_ += '>';
    afterStartTag_ = 0;
    return;
  }
  NewLine();
  text_ += "</" + name + ">";
}

std::string XmlWriter::Finish() {
  while (!open_.empty()) Close();
  if (indented_) text_ += '\n';
  return text_;
}

}  // namespace headend

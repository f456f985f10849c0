#include "common/XMLNode.h"

#include <cstdio>
#include <cstring>

#include "common/XMLDocument.h"
#include "common/XMLText.h"

using xml_detail::Node;

namespace {

const char* const kErrorTexts[] = {
    "No error",
    "Warning: Unmatched end tag",
    "Warning: No XML tag found",
    "Error: No XML data",
    "Error: Missing start tag name",
    "Error: Missing end tag name",
    "Error: Unmatched end tag",
    "Error: Unmatched clear tag end",
    "Error: Unexpected token found",
    "Error: No elements found",
    "Error: File not found",
    "Error: First Tag not found",
    "Error: Unknown character entity",
    "Error: Character code above 255 is forbidden in MultiByte char mode.",
    "Error: unable to convert between WideChar and MultiByte chars",
    "Error: unable to open file for writing",
    "Error: cannot write into file",
    "Warning: Base64-string length is not a multiple of 4",
    "Error: Base64-string contains an illegal character",
    "Warning: Base64-string is truncated",
    "Error: Base64 decode output buffer is too small",
};

XMLNode report(XMLResults* results, XMLError error, int line = 0, int column = 0) {
  if (results) *results = {error, line, column};
  return XMLNode();
}

bool hasUtf8Bom(const char* text, size_t length) {
  return length >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
         static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF;
}

bool readWholeFile(const char* path, std::string& bytes) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);  // a folder reports nonsense here
    if (size > 0 && size < (1L << 31)) bytes.reserve(static_cast<size_t>(size));
    std::rewind(f);
  }
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  bool readable = !std::ferror(f);  // a folder opens but cannot be read
  std::fclose(f);
  return readable;
}

// 16-bit text shows a byte-order mark or a '<' padded with a zero byte.
bool looksWide(const std::string& bytes, bool& bigEndian, size_t& skip) {
  if (bytes.size() < 2) return false;
  auto b0 = static_cast<unsigned char>(bytes[0]);
  auto b1 = static_cast<unsigned char>(bytes[1]);
  skip = 0;
  if (b0 == 0xFF && b1 == 0xFE) {
    bigEndian = false;
    skip = 2;
  } else if (b0 == 0xFE && b1 == 0xFF) {
    bigEndian = true;
    skip = 2;
  } else if (b0 == '<' && b1 == 0) {
    bigEndian = false;
  } else if (b0 == 0 && b1 == '<') {
    bigEndian = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

const char* XMLNode::getError(XMLError code) {
  int i = static_cast<int>(code);
  if (i < 0 || i >= static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0])) return "Unknown";
  return kErrorTexts[i];
}

const char* XMLNode::getVersion() {
  return "v2.44";
}

XMLNode XMLNode::parseString(const char* text, const char* tag, XMLResults* results) {
  if (!text) return report(results, eXMLErrorNoElements);
  return finishParse(text, std::strlen(text), tag, results);
}

XMLNode XMLNode::parseFile(const char* path, const char* tag, XMLResults* results) {
  std::string bytes;
  if (!path || !readWholeFile(path, bytes)) return report(results, eXMLErrorFileNotFound);
  bool bigEndian = false;
  size_t skip = 0;
  if (looksWide(bytes, bigEndian, skip)) {
    std::string utf8;
    if (!xml_detail::utf16ToUtf8(reinterpret_cast<const unsigned char*>(bytes.data()) + skip,
                                 bytes.size() - skip, bigEndian, utf8)) {
      return report(results, eXMLErrorCharConversionError);
    }
    bytes.swap(utf8);
  } else if (hasUtf8Bom(bytes.data(), bytes.size())) {
    bytes.erase(0, 3);
  }
  if (bytes.empty()) return report(results, eXMLErrorEmpty);
  return finishParse(bytes.data(), bytes.size(), tag, results);
}

// Picks the result node out of the parsed top node: the lone root element
// when it stands alone, then the element named `tag` when one is asked for.
XMLNode XMLNode::finishParse(const char* text, size_t length, const char* tag,
                             XMLResults* results) {
  if (hasUtf8Bom(text, length)) {
    text += 3;
    length -= 3;
  }
  xml_detail::ParseOutcome out = xml_detail::parseDocument(text, length);
  XMLError error = out.error;
  size_t offset = out.offset;
  if (out.top && out.top->nChildren == 0 && error == eXMLErrorNone) {
    error = eXMLErrorNoXMLTagFound;
    offset = std::strlen(text);
  }
  if (!out.top) {
    int line, column;
    xml_detail::lineAndColumn(text, offset, line, column);
    return report(results, error, line, column);
  }

  std::shared_ptr<const Node> root(out.doc, out.top);
  const Node* top = out.top;
  XMLNode node(root);
  if (top->nChildren == 1 && top->nTexts == 0 && top->nClears == 0 && top->nAttrs == 0) {
    node = node.getChildNode(0);
  }
  if (tag && *tag && (!node.getName() || !xml_detail::equalsNoCase(node.getName(), tag))) {
    node = node.getChildNode(tag);
    if (node.isEmpty()) return report(results, eXMLErrorFirstTagNotFound);
  }
  if (results) {
    *results = {error, 0, 0};
    if (error != eXMLErrorNone)
      xml_detail::lineAndColumn(text, offset, results->nLine, results->nColumn);
  }
  return node;
}

XMLNode XMLNode::wrap(const Node* node) const {
  return XMLNode(std::shared_ptr<const Node>(d_, node));
}

const char* XMLNode::getName() const {
  return d_ ? d_->name : nullptr;
}

XMLNode XMLNode::getParentNode() const {
  return (d_ && d_->parent) ? wrap(d_->parent) : XMLNode();
}

XMLNode XMLNode::getChildNode(int i) const {
  if (!d_ || i < 0 || static_cast<uint32_t>(i) >= d_->nChildren) return XMLNode();
  return wrap(d_->children[i]);
}

XMLNode XMLNode::getChildNode(const char* name, int i) const {
  if (!d_ || !name) return XMLNode();
  const uint32_t n = d_->nChildren;
  if (i >= 0) {
    for (uint32_t k = 0; k < n; ++k) {
      if (xml_detail::equalsNoCase(d_->children[k]->name, name) && i-- == 0) {
        return wrap(d_->children[k]);
      }
    }
  } else {
    for (uint32_t k = n; k-- > 0;) {
      if (xml_detail::equalsNoCase(d_->children[k]->name, name) && ++i == 0) {
        return wrap(d_->children[k]);
      }
    }
  }
  return XMLNode();
}

XMLNode XMLNode::getChildNode(const char* name, int* position) const {
  if (!d_ || !name) return XMLNode();
  uint32_t k = (position && *position > 0) ? static_cast<uint32_t>(*position) : 0;
  for (; k < d_->nChildren; ++k) {
    if (xml_detail::equalsNoCase(d_->children[k]->name, name)) {
      if (position) *position = static_cast<int>(k + 1);
      return wrap(d_->children[k]);
    }
  }
  return XMLNode();
}

int XMLNode::nChildNode() const {
  return d_ ? static_cast<int>(d_->nChildren) : 0;
}

int XMLNode::nChildNode(const char* name) const {
  if (!d_ || !name) return 0;
  int count = 0;
  for (uint32_t k = 0; k < d_->nChildren; ++k) {
    if (xml_detail::equalsNoCase(d_->children[k]->name, name)) ++count;
  }
  return count;
}

const char* XMLNode::getAttribute(const char* name, int* position) const {
  if (!d_ || !name) return nullptr;
  uint32_t k = (position && *position > 0) ? static_cast<uint32_t>(*position) : 0;
  for (; k < d_->nAttrs; ++k) {
    if (xml_detail::equalsNoCase(d_->attrs[k].name, name)) {
      if (position) *position = static_cast<int>(k + 1);
      return d_->attrs[k].value;
    }
  }
  return nullptr;
}

int XMLNode::nAttribute() const {
  return d_ ? static_cast<int>(d_->nAttrs) : 0;
}

const char* XMLNode::getAttributeName(int i) const {
  if (!d_ || i < 0 || static_cast<uint32_t>(i) >= d_->nAttrs) return nullptr;
  return d_->attrs[i].name;
}

const char* XMLNode::getAttributeValue(int i) const {
  if (!d_ || i < 0 || static_cast<uint32_t>(i) >= d_->nAttrs) return nullptr;
  return d_->attrs[i].value;
}

const char* XMLNode::getText(int i) const {
  if (!d_ || i < 0 || static_cast<uint32_t>(i) >= d_->nTexts) return nullptr;
  return d_->texts[i];
}

int XMLNode::nText() const {
  return d_ ? static_cast<int>(d_->nTexts) : 0;
}

XMLClear XMLNode::getClear(int i) const {
  if (!d_ || i < 0 || static_cast<uint32_t>(i) >= d_->nClears) return {nullptr, nullptr, nullptr};
  return d_->clears[i];
}

int XMLNode::nClear() const {
  return d_ ? static_cast<int>(d_->nClears) : 0;
}

std::string RecogerValorClave(const XMLNode& node, const char* name) {
  const char* value = node.getChildNode(name).getAttribute("Value");
  return value ? value : "";
}

std::string RecogerAtributo(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value ? value : "";
}

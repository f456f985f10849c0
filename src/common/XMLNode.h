#pragma once

// Read-only XML document model. Every XML text the add-on reads (discovery
// payloads, its own stored files, guide files, UPnP requests) is parsed into
// it and navigated through value handles; failed lookups give the empty node.

#include <memory>
#include <string>

enum XMLError {
  eXMLErrorNone = 0,
  eXMLErrorMissingEndTag = 1,
  eXMLErrorNoXMLTagFound = 2,
  eXMLErrorEmpty = 3,
  eXMLErrorMissingTagName = 4,
  eXMLErrorMissingEndTagName = 5,
  eXMLErrorUnmatchedEndTag = 6,
  eXMLErrorUnmatchedEndClearTag = 7,
  eXMLErrorUnexpectedToken = 8,
  eXMLErrorNoElements = 9,
  eXMLErrorFileNotFound = 10,
  eXMLErrorFirstTagNotFound = 11,
  eXMLErrorUnknownCharacterEntity = 12,
  eXMLErrorCharacterCodeAbove255 = 13,
  eXMLErrorCharConversionError = 14,
  eXMLErrorCannotOpenWriteFile = 15,
  eXMLErrorCannotWriteFile = 16,
  eXMLErrorBase64DataSizeIsNotMultipleOf4 = 17,
  eXMLErrorBase64DecodeIllegalCharacter = 18,
  eXMLErrorBase64DecodeTruncatedData = 19,
  eXMLErrorBase64DecodeBufferTooSmall = 20
};

// Outcome of a parse; line and column (1-based, columns in characters) say
// where the error was found, both 0 when there is no position.
struct XMLResults {
  XMLError error;
  int nLine;
  int nColumn;
};

// A span kept verbatim: CDATA, DOCTYPE, comment or PRE block.
struct XMLClear {
  const char* lpszValue;
  const char* lpszOpenTag;
  const char* lpszCloseTag;
};

namespace xml_detail {
struct Node;
}

class XMLNode {
 public:
  XMLNode() = default;  // the empty node

  static XMLNode emptyNode() { return XMLNode(); }
  static XMLNode parseString(const char* text, const char* tag = nullptr,
                             XMLResults* results = nullptr);
  static XMLNode parseFile(const char* path, const char* tag = nullptr,
                           XMLResults* results = nullptr);
  static const char* getError(XMLError code);
  static const char* getVersion();

  bool isEmpty() const { return !d_; }
  const char* getName() const;
  XMLNode getParentNode() const;

  XMLNode getChildNode(int i = 0) const;
  XMLNode getChildNode(const char* name, int i) const;
  XMLNode getChildNode(const char* name, int* position = nullptr) const;
  int nChildNode() const;
  int nChildNode(const char* name) const;

  const char* getAttribute(const char* name, int* position = nullptr) const;
  int nAttribute() const;
  const char* getAttributeName(int i) const;
  const char* getAttributeValue(int i) const;

  const char* getText(int i = 0) const;
  int nText() const;

  XMLClear getClear(int i = 0) const;
  int nClear() const;

 private:
  explicit XMLNode(std::shared_ptr<const xml_detail::Node> node) : d_(std::move(node)) {}
  XMLNode wrap(const xml_detail::Node* node) const;
  static XMLNode finishParse(const char* text, size_t length, const char* tag, XMLResults* results);

  // Aliases the owning document: the whole tree lives while any handle into it does.
  std::shared_ptr<const xml_detail::Node> d_;
};

// The "Value" attribute of the first child element `name`; empty when absent.
std::string RecogerValorClave(const XMLNode& node, const char* name);
// The attribute `name` of the node; empty when absent.
std::string RecogerAtributo(const XMLNode& node, const char* name);

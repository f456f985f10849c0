#pragma once

// Private layout of a parsed tree. Strings point into the document's own copy
// of the text, decoded in place; nodes and arrays live in the arena.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/XMLArena.h"
#include "common/XMLNode.h"

namespace xml_detail {

struct Attr {
  const char* name;
  const char* value;
};

struct Node {
  const char* name = nullptr;  // null for the top node
  const Node* parent = nullptr;
  const Node* const* children = nullptr;
  const Attr* attrs = nullptr;
  const char* const* texts = nullptr;
  const XMLClear* clears = nullptr;
  uint32_t nChildren = 0;
  uint32_t nAttrs = 0;
  uint32_t nTexts = 0;
  uint32_t nClears = 0;
};

struct Document {
  explicit Document(size_t arenaBlock) : arena(arenaBlock) {}
  std::unique_ptr<char[]> text;
  Arena arena;
};

struct ParseOutcome {
  std::shared_ptr<Document> doc;  // null on error
  const Node* top = nullptr;
  XMLError error = eXMLErrorNone;  // an error, or warning eXMLErrorMissingEndTag
  size_t offset = 0;               // where the error was found
};

// Parses `length` bytes (stopping early at a NUL byte) into an unnamed top node.
ParseOutcome parseDocument(const char* data, size_t length);

}  // namespace xml_detail

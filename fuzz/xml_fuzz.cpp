// Parses arbitrary bytes and walks the whole tree, touching every string, so
// the sanitizers see any read past a buffer or a dangling pointer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/XMLNode.h"

namespace {

size_t touch(const char* s) {
  return s ? std::strlen(s) : 0;
}

size_t walk(const XMLNode& root) {
  size_t sum = 0;
  std::vector<XMLNode> pending{root};
  while (!pending.empty()) {
    XMLNode n = pending.back();
    pending.pop_back();
    sum += touch(n.getName());
    for (int i = 0; i < n.nAttribute(); ++i) {
      sum += touch(n.getAttributeName(i)) + touch(n.getAttributeValue(i));
      int pos = i;
      if (n.getAttribute(n.getAttributeName(i), &pos) == nullptr || pos <= i) __builtin_trap();
    }
    for (int i = 0; i < n.nText(); ++i) sum += touch(n.getText(i));
    for (int i = 0; i < n.nClear(); ++i) {
      XMLClear c = n.getClear(i);
      sum += touch(c.lpszValue) + touch(c.lpszOpenTag) + touch(c.lpszCloseTag);
    }
    for (int i = 0; i < n.nChildNode(); ++i) {
      XMLNode child = n.getChildNode(i);
      if (child.isEmpty() || child.getName() == nullptr) __builtin_trap();
      pending.push_back(child);
    }
    if (n.nChildNode() > 0) {
      const char* first = n.getChildNode(0).getName();
      if (n.getChildNode(first, -1).isEmpty() || n.nChildNode(first) < 1) __builtin_trap();
    }
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  XMLResults results{};
  XMLNode node = XMLNode::parseString(text.c_str(), nullptr, &results);
  bool kept = results.error == eXMLErrorNone || results.error == eXMLErrorMissingEndTag ||
              results.error == eXMLErrorNoXMLTagFound;
  if (node.isEmpty() == kept) __builtin_trap();
  volatile size_t sink = walk(node);
  (void)sink;
  if (XMLNode::getError(results.error) == nullptr) __builtin_trap();
  return 0;
}

#include "common/StoredXml.h"

#include "common/Conversions.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Text.h"

XMLNode ParseStoredFile(const std::string& path, const char* root, const std::string& name) {
  const std::string local = DeUTF8a1252(path);
  XMLResults results{};
  XMLNode node = XMLNode::parseFile(local.c_str(), root, &results);
  if (results.error == eXMLErrorNone && !node.isEmpty()) return node;
  if (results.error != eXMLErrorFileNotFound) {
    GenerarLogError(name + " no valido: " + XMLNode::getError(results.error) + " linea " +
                    convertInttoString(results.nLine) + " columna " +
                    convertInttoString(results.nColumn));
  }
  return XMLNode();
}

XMLNode ParseStoredFileOrCopy(const std::string& path, const char* root, const std::string& name) {
  XMLNode node = ParseStoredFile(path, root, name);
  if (node.isEmpty() && TheHost().FileExists(path + kSufijoCopia))
    node = ParseStoredFile(path + kSufijoCopia, root, name + kSufijoCopia);
  return node;
}

std::string Attr(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value == nullptr ? std::string() : std::string(value);
}

#include "core/XmlFile.h"

namespace hostsim {

namespace {

std::string checked(const pugi::xml_document& doc, const pugi::xml_parse_result& parsed) {
  if (!parsed)
    return std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset);
  // pugixml accepts several top-level elements; the host's files have one.
  int roots = 0;
  for (pugi::xml_node node : doc.children()) roots += node.type() == pugi::node_element;
  if (roots > 1) return "second root element";
  return std::string();
}

}  // namespace

std::string parseXml(pugi::xml_document& doc, const std::string& text) {
  return checked(doc, doc.load_buffer(text.data(), text.size()));
}

std::string parseXmlFile(pugi::xml_document& doc, const std::string& path) {
  pugi::xml_parse_result parsed = doc.load_file(path.c_str());
  if (parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error)
    return "cannot open " + path;
  return checked(doc, parsed);
}

std::string elementText(const pugi::xml_node& element) {
  std::string text;
  for (pugi::xml_node part : element.children())
    if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata) text += part.value();
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

}  // namespace hostsim

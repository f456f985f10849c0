// The host's XML files (settings, window files, addon.xml) read with
// pugixml, with the host's conventions on top: one root element, and element
// text trimmed because the files indent freely.
#pragma once

#include <pugixml.hpp>
#include <string>

namespace hostsim {

// Empty when the text is well-formed with one root element; otherwise what is
// wrong and where ("Start-end tags mismatch at offset 8").
std::string parseXml(pugi::xml_document& doc, const std::string& text);
std::string parseXmlFile(pugi::xml_document& doc, const std::string& path);

// The character data directly inside an element (CDATA included), trimmed.
std::string elementText(const pugi::xml_node& element);

}  // namespace hostsim

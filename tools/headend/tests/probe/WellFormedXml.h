#pragma once

#include <pugixml.hpp>
#include <string>

namespace probe {

// A record read with pugixml, plus the XML 1.0 well-formedness rules that
// pugixml skips by design: valid UTF-8, one root element with nothing but
// white space, comments and processing instructions around it, unique
// attributes, no '<' in attribute values, and references to the five
// predefined entities or to characters only. Independent of the headend's
// writer on purpose.
class WellFormedXml {
 public:
  static WellFormedXml Parse(const std::string& text);

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  pugi::xml_node Root() const { return doc_.document_element(); }
  bool HasDeclaration() const { return declaration_; }

 private:
  pugi::xml_document doc_;
  std::string error_;
  bool declaration_ = false;
};

// The first child element; an empty node when there is none.
pugi::xml_node FirstElement(const pugi::xml_node& node);

}  // namespace probe

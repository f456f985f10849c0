#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/XMLNode.h"

namespace {

struct ErrorCase {
  const char* text;
  XMLError error;
  int line;
  int column;
};

class XMLParseErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(XMLParseErrors, ReportsCodeAndPosition) {
  const ErrorCase& c = GetParam();
  XMLResults r{};
  XMLNode node = XMLNode::parseString(c.text, nullptr, &r);
  EXPECT_EQ(r.error, c.error) << c.text << ": " << XMLNode::getError(r.error);
  EXPECT_EQ(r.nLine, c.line) << c.text;
  EXPECT_EQ(r.nColumn, c.column) << c.text;
  // Warnings keep a tree, errors give the empty node.
  bool warning = c.error == eXMLErrorNone || c.error == eXMLErrorMissingEndTag ||
                 c.error == eXMLErrorNoXMLTagFound;
  EXPECT_EQ(node.isEmpty(), !warning) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLParseErrors,
    testing::Values(ErrorCase{"<a><b>x</a>", eXMLErrorMissingEndTag, 1, 8},
                    ErrorCase{"<a>\n<b>", eXMLErrorMissingEndTag, 2, 4},
                    ErrorCase{"", eXMLErrorNoXMLTagFound, 1, 1},
                    ErrorCase{"  solo texto ", eXMLErrorNoXMLTagFound, 1, 14},
                    ErrorCase{"<a><>", eXMLErrorMissingTagName, 1, 4},
                    ErrorCase{"<a>\n  </ >", eXMLErrorMissingEndTagName, 2, 3},
                    ErrorCase{"<a></b>", eXMLErrorUnmatchedEndTag, 1, 4},
                    ErrorCase{"</a>", eXMLErrorUnmatchedEndTag, 1, 1},
                    ErrorCase{"<a><![CDATA[x</a>", eXMLErrorUnmatchedEndClearTag, 1, 4},
                    ErrorCase{"<a>x<!-- y</a>", eXMLErrorUnmatchedEndClearTag, 1, 5},
                    ErrorCase{"<a b=></a>", eXMLErrorUnexpectedToken, 1, 6},
                    ErrorCase{"<a b='1></a>", eXMLErrorUnexpectedToken, 1, 6},
                    ErrorCase{"<a =\"1\"/>", eXMLErrorUnexpectedToken, 1, 4},
                    ErrorCase{"<a></a x>", eXMLErrorUnexpectedToken, 1, 8},
                    ErrorCase{"<a>ñandú\n ó &nbsp;</a>", eXMLErrorUnknownCharacterEntity, 2, 4},
                    ErrorCase{"<a>AT&T</a>", eXMLErrorUnknownCharacterEntity, 1, 6},
                    ErrorCase{"<a b='&#xD800;'/>", eXMLErrorUnknownCharacterEntity, 1, 7},
                    ErrorCase{"<a>&#;</a>", eXMLErrorUnknownCharacterEntity, 1, 4},
                    ErrorCase{"<a>&#1114112;</a>", eXMLErrorUnknownCharacterEntity, 1, 4}));

TEST(XMLNodeErrors, TextsAndNullInput) {
  EXPECT_STREQ(XMLNode::getError(eXMLErrorNone), "No error");
  EXPECT_STREQ(XMLNode::getError(eXMLErrorCharacterCodeAbove255),
               "Error: Character code above 255 is forbidden in MultiByte char mode.");
  EXPECT_STREQ(XMLNode::getError(eXMLErrorBase64DecodeBufferTooSmall),
               "Error: Base64 decode output buffer is too small");
  EXPECT_STREQ(XMLNode::getError(static_cast<XMLError>(21)), "Unknown");
  EXPECT_STREQ(XMLNode::getVersion(), "v2.44");
  XMLResults r{};
  EXPECT_TRUE(XMLNode::parseString(nullptr, nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorNoElements);
}

const char* const kConfig =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Configuracion>\n"
    "  <ServiceProvider Port=\"3937\" Address=\"239.0.2.129\"/>\n"
    "  <ServiceProvider Port=\"3937\" Address=\"239.0.2.130\"/>\n"
    "  <Otro/>\n"
    "  <ServiceProvider Port=\"3938\" Address=\"239.0.2.131\"/>\n"
    "</Configuracion>\n";

TEST(XMLNodeResult, DeclarationKeepsTopNodeUntilTagChosen) {
  XMLResults r{};
  XMLNode top = XMLNode::parseString(kConfig, nullptr, &r);
  EXPECT_EQ(r.error, eXMLErrorNone);
  EXPECT_EQ(top.getName(), nullptr);
  ASSERT_EQ(top.nChildNode(), 2);
  EXPECT_STREQ(top.getChildNode(0).getName(), "?xml");
  EXPECT_STREQ(top.getChildNode(0).getAttribute("encoding"), "UTF-8");

  XMLNode root = XMLNode::parseString(kConfig, "configuracion", &r);
  EXPECT_EQ(r.error, eXMLErrorNone);
  EXPECT_STREQ(root.getName(), "Configuracion");
}

TEST(XMLNodeResult, LoneRootAndTagRule) {
  XMLResults r{};
  EXPECT_STREQ(XMLNode::parseString("<tv><channel/></tv>", nullptr, &r).getName(), "tv");
  EXPECT_STREQ(XMLNode::parseString("<tv><channel/></tv>", "CHANNEL", &r).getName(), "channel");
  EXPECT_TRUE(XMLNode::parseString("<tv><channel/></tv>", "programme", &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorFirstTagNotFound);
  EXPECT_EQ(r.nLine, 0);
  EXPECT_TRUE(XMLNode::parseString("", "tv", &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorFirstTagNotFound);
  // The warning keeps the tree and the tag rule still applies.
  EXPECT_STREQ(XMLNode::parseString("<tv><a></tv>", "a", &r).getName(), "a");
  EXPECT_EQ(r.error, eXMLErrorMissingEndTag);
}

TEST(XMLNodeResult, TwoRootsStayUnderTopNode) {
  XMLNode top = XMLNode::parseString("<a/>\n<b x='1'/>");
  EXPECT_EQ(top.getName(), nullptr);
  ASSERT_EQ(top.nChildNode(), 2);
  EXPECT_STREQ(top.getChildNode(1).getName(), "b");
  EXPECT_STREQ(XMLNode::parseString("<a/><b x='1'/>", "b").getAttribute("x"), "1");
  // A comment beside the root also keeps the top node.
  EXPECT_EQ(XMLNode::parseString("<!-- c --><a/>").getName(), nullptr);
}

TEST(XMLNodeNavigation, ChildLookups) {
  XMLNode root = XMLNode::parseString(kConfig, "Configuracion");
  EXPECT_EQ(root.nChildNode(), 4);
  EXPECT_EQ(root.nChildNode("serviceprovider"), 3);
  EXPECT_TRUE(root.getChildNode("ServiceProvider", 5).isEmpty());
  EXPECT_STREQ(root.getChildNode("serviceprovider", 0).getAttribute("Address"), "239.0.2.129");
  EXPECT_STREQ(root.getChildNode("ServiceProvider", 2).getAttribute("Address"), "239.0.2.131");
  EXPECT_STREQ(root.getChildNode("ServiceProvider", -1).getAttribute("Address"), "239.0.2.131");
  EXPECT_STREQ(root.getChildNode("ServiceProvider", -3).getAttribute("Address"), "239.0.2.129");
  EXPECT_TRUE(root.getChildNode("ServiceProvider", -4).isEmpty());
  EXPECT_STREQ(root.getChildNode(2).getName(), "Otro");
  EXPECT_TRUE(root.getChildNode(4).isEmpty());
  EXPECT_TRUE(root.getChildNode(-1).isEmpty());
  EXPECT_STREQ(root.getChildNode(2).getParentNode().getName(), "Configuracion");

  std::vector<std::string> seen;
  int pos = 0;
  for (XMLNode n; !(n = root.getChildNode("ServiceProvider", &pos)).isEmpty();) {
    seen.push_back(n.getAttribute("Address"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"239.0.2.129", "239.0.2.130", "239.0.2.131"}));
  EXPECT_EQ(pos, 4);  // unchanged by the failed lookup
}

TEST(XMLNodeNavigation, Attributes) {
  XMLNode n = XMLNode::parseString("<s Port='3937' a=\"AT&amp;T\" k=1 k=2 flag/>");
  EXPECT_EQ(n.getAttribute("Puerto"), nullptr);
  EXPECT_STREQ(n.getAttribute("port"), "3937");
  EXPECT_STREQ(n.getAttribute("A"), "AT&T");
  EXPECT_STREQ(n.getAttribute("flag"), "");
  int pos = 0;
  EXPECT_STREQ(n.getAttribute("k", &pos), "1");
  EXPECT_STREQ(n.getAttribute("k", &pos), "2");
  EXPECT_EQ(n.getAttribute("k", &pos), nullptr);
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(n.nAttribute(), 5);
  EXPECT_STREQ(n.getAttributeName(4), "flag");
}

TEST(XMLNodeNavigation, EmptyNodeAnswersEverything) {
  XMLNode e = XMLNode::emptyNode();
  EXPECT_TRUE(e.isEmpty());
  EXPECT_TRUE(e.getChildNode("x").getChildNode(0).isEmpty());
  EXPECT_EQ(e.nChildNode(), 0);
  EXPECT_EQ(e.getAttribute("x"), nullptr);
  EXPECT_EQ(e.getText(), nullptr);
  EXPECT_EQ(e.getName(), nullptr);
  EXPECT_EQ(RecogerValorClave(e, "x"), "");
}

TEST(XMLNodeNavigation, HandlesShareTheTree) {
  XMLNode child;
  {
    XMLNode root = XMLNode::parseString("<a><b>texto</b></a>");
    child = root.getChildNode("b");
  }
  XMLNode copy = child;
  EXPECT_STREQ(copy.getText(), "texto");
  EXPECT_STREQ(copy.getParentNode().getName(), "a");
}

struct TextCase {
  const char* xml;
  std::vector<std::string> texts;
};

class XMLText : public testing::TestWithParam<TextCase> {};

TEST_P(XMLText, PiecesOfRoot) {
  XMLResults r{};
  XMLNode n = XMLNode::parseString(GetParam().xml, nullptr, &r);
  ASSERT_EQ(r.error, eXMLErrorNone) << GetParam().xml;
  std::vector<std::string> texts;
  for (int i = 0; i < n.nText(); ++i) texts.emplace_back(n.getText(i));
  EXPECT_EQ(texts, GetParam().texts) << GetParam().xml;
  EXPECT_EQ(n.getText(n.nText()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLText,
    testing::Values(TextCase{"<a> \t hola  mundo\r\n</a>", {"hola  mundo"}},
                    TextCase{"<a>\n  <b/>\n  <c/>\n</a>", {}},
                    TextCase{"<a>uno<b/>dos</a>", {"uno", "dos"}},
                    TextCase{"<a>foo<!-- nota -->bar</a>", {"foobar"}},
                    TextCase{"<a> foo <!-- x --> bar <!-- y -->!</a>", {"foo  bar !"}},
                    TextCase{"<a>x&amp;y &lt;&gt;&quot;&apos;</a>", {"x&y <>\"'"}},
                    TextCase{"<a>&#65;&#x42;&#xe9;&#8364;&#x1F600;</a>",
                             {"AB\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}},
                    TextCase{"<a>Película: acción &amp; mañana</a>", {"Película: acción & mañana"}},
                    TextCase{"<a>antes<![CDATA[ <b>&amp; ]]>después</a>", {"antes", "después"}}));

TEST(XMLNodeClear, SectionsKeptVerbatim) {
  XMLNode top = XMLNode::parseString(
      "<!DOCTYPE tv [ <!ENTITY x \"y\"> ]>\n"
      "<tv><![CDATA[ <b>&amp; ]]><!-- sola --><pre>a &x; <b></PRE></tv>");
  ASSERT_EQ(top.nClear(), 1);
  EXPECT_STREQ(top.getClear().lpszValue, " tv [ <!ENTITY x \"y\"> ");
  EXPECT_STREQ(top.getClear().lpszCloseTag, "]>");
  XMLNode tv = top.getChildNode("tv");
  ASSERT_EQ(tv.nClear(), 3);
  EXPECT_STREQ(tv.getClear(0).lpszValue, " <b>&amp; ");
  EXPECT_STREQ(tv.getClear(0).lpszOpenTag, "<![CDATA[");
  EXPECT_STREQ(tv.getClear(1).lpszValue, " sola ");
  EXPECT_STREQ(tv.getClear(2).lpszValue, "a &x; <b>");
  EXPECT_EQ(tv.nChildNode(), 0);
  EXPECT_EQ(tv.nText(), 0);
  EXPECT_STREQ(XMLNode::parseString("<!DOCTYPE html><p/>").getClear().lpszValue, " html");
}

TEST(XMLNodeDocuments, TvAnytimeNamespaces) {
  const char* doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<tva:TVAMain xmlns:tva=\"urn:tva:metadata:2005\" xml:lang=\"spa\">\n"
      " <tva:ProgramDescription><tva:ProgramLocationTable>\n"
      "  <tva:Schedule serviceIDRef=\"1.2.3\">\n"
      "   <tva:ScheduleEvent>\n"
      "    <tva:Program crid=\"crid://x/1\"/>\n"
      "    <tva:InstanceDescription><tva:Title xml:lang=\"spa\">Cine: &quot;Los "
      "días&quot; &amp; más</tva:Title></tva:InstanceDescription>\n"
      "    <tva:PublishedStartTime>2024-05-01T20:00:00Z</tva:PublishedStartTime>\n"
      "   </tva:ScheduleEvent>\n"
      "  </tva:Schedule>\n"
      " </tva:ProgramLocationTable></tva:ProgramDescription>\n"
      "</tva:TVAMain>\n";
  XMLResults r{};
  XMLNode main = XMLNode::parseString(doc, "tva:TVAMain", &r);
  ASSERT_EQ(r.error, eXMLErrorNone);
  EXPECT_STREQ(main.getAttribute("XMLNS:TVA"), "urn:tva:metadata:2005");
  XMLNode schedule = main.getChildNode("tva:ProgramDescription")
                         .getChildNode("tva:ProgramLocationTable")
                         .getChildNode("tva:Schedule");
  EXPECT_STREQ(schedule.getAttribute("serviceIDRef"), "1.2.3");
  XMLNode event = schedule.getChildNode("tva:ScheduleEvent", -1);
  EXPECT_STREQ(event.getChildNode("tva:Program").getAttribute("crid"), "crid://x/1");
  EXPECT_STREQ(event.getChildNode("tva:InstanceDescription").getChildNode("tva:Title").getText(),
               "Cine: \"Los días\" & más");
  EXPECT_STREQ(event.getChildNode("TVA:PUBLISHEDSTARTTIME").getText(), "2024-05-01T20:00:00Z");
}

TEST(XMLNodeDocuments, SdsDiscoveryAndShortcuts) {
  const char* doc =
      "<ServiceDiscovery xmlns=\"urn:dvb:ipisdns:2006\">"
      "<BroadcastDiscovery DomainName=\"imagenio.es\" Version=\"9\">"
      "<ServiceList><SingleService><ServiceLocation><IPMulticastAddress Address=\"239.0.0.1\" "
      "Port=\"8208\"/></ServiceLocation><TextualIdentifier ServiceName=\"La 1\"/>"
      "</SingleService></ServiceList></BroadcastDiscovery></ServiceDiscovery>";
  XMLNode sd = XMLNode::parseString(doc, "ServiceDiscovery");
  XMLNode bd = sd.getChildNode("BroadcastDiscovery");
  EXPECT_EQ(RecogerAtributo(bd, "domainname"), "imagenio.es");
  EXPECT_EQ(RecogerAtributo(bd, "Nada"), "");
  XMLNode service = bd.getChildNode("ServiceList").getChildNode("SingleService");
  EXPECT_STREQ(service.getChildNode("ServiceLocation")
                   .getChildNode("IPMulticastAddress")
                   .getAttribute("Port"),
               "8208");

  XMLNode canal = XMLNode::parseString(
      "<Canal>\n<Nombre Value=\"La 1 &amp; HD\"/>\n<Logo/>\n</Canal>", "Canal");
  EXPECT_EQ(RecogerValorClave(canal, "nombre"), "La 1 & HD");
  EXPECT_EQ(RecogerValorClave(canal, "Logo"), "");
  EXPECT_EQ(RecogerValorClave(canal, "Falta"), "");
}

class XMLFiles : public testing::Test {
 protected:
  std::string write(const std::string& bytes) {
    std::string path = testing::TempDir() + "xmlnode_" + std::to_string(counter_++) + ".xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    paths_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& p : paths_) std::remove(p.c_str());
  }
  static std::string utf16(const std::u16string& s, bool bigEndian, bool bom) {
    std::string out;
    std::u16string all = bom ? u"\uFEFF" + s : s;
    for (char16_t c : all) {
      char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
      out += bigEndian ? hi : lo;
      out += bigEndian ? lo : hi;
    }
    return out;
  }
  int counter_ = 0;
  std::vector<std::string> paths_;
};

TEST_F(XMLFiles, MissingAndEmpty) {
  XMLResults r{};
  EXPECT_TRUE(XMLNode::parseFile("/nonexistent/dir/x.xml", nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorFileNotFound);
  EXPECT_TRUE(XMLNode::parseFile(testing::TempDir().c_str(), nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorFileNotFound);
  EXPECT_TRUE(XMLNode::parseFile(write("").c_str(), nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorEmpty);
}

TEST_F(XMLFiles, Utf8BomAndWideText) {
  const std::string expected = "España € 📺";
  const std::u16string wide = u"<?xml version=\"1.0\"?><r n=\"Espa\u00F1a \u20AC \U0001F4FA\"/>";
  for (const std::string& bytes :
       {"\xEF\xBB\xBF<r n=\"" + expected + "\"/>", utf16(wide, false, true),
        utf16(wide, true, true), utf16(wide, false, false)}) {
    XMLResults r{};
    XMLNode n = XMLNode::parseFile(write(bytes).c_str(), "r", &r);
    EXPECT_EQ(r.error, eXMLErrorNone);
    EXPECT_STREQ(n.getAttribute("n"), expected.c_str());
  }
  XMLResults r{};
  std::u16string broken = u"<r>";
  broken += static_cast<char16_t>(0xD800);
  broken += u"</r>";
  EXPECT_TRUE(XMLNode::parseFile(write(utf16(broken, false, true)).c_str(), nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorCharConversionError);
}

TEST(XMLNodeRobustness, DeepNestingNeedsNoRecursion) {
  const int depth = 200000;
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<d>";
  for (int i = 0; i < depth; ++i) close += "</d>";
  XMLResults r{};
  XMLNode n = XMLNode::parseString((open + "fondo" + close).c_str(), nullptr, &r);
  ASSERT_EQ(r.error, eXMLErrorNone);
  int levels = 1;
  while (n.nChildNode() == 1) {
    n = n.getChildNode();
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_STREQ(n.getText(), "fondo");
  // Left open, the elements are closed at the end with a warning.
  n = XMLNode::parseString(open.c_str(), nullptr, &r);
  EXPECT_EQ(r.error, eXMLErrorMissingEndTag);
  EXPECT_EQ(n.nChildNode(), 1);
}

}  // namespace

// The XML document model: what a parse returns and reports, navigation with
// empty-node lookups, decoded text and stored files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/XMLNode.h"

namespace {

TEST(XMLParseTest, ErrorsCarryTheirCodeAndPosition) {
  const struct {
    const char* text;
    XMLError error;
    int line, column;
  } cases[] = {
      {"<a>\n<b>", eXMLErrorMissingEndTag, 2, 4},
      {"  solo texto ", eXMLErrorNoXMLTagFound, 1, 14},
      {"<a><>", eXMLErrorMissingTagName, 1, 4},
      {"<a>\n  </ >", eXMLErrorMissingEndTagName, 2, 3},
      {"<a></b>", eXMLErrorUnmatchedEndTag, 1, 4},
      {"<a><![CDATA[x</a>", eXMLErrorUnmatchedEndClearTag, 1, 4},
      {"<a>x<!-- y</a>", eXMLErrorUnmatchedEndClearTag, 1, 5},
      {"<a b='1></a>", eXMLErrorUnexpectedToken, 1, 6},
      {"<a></a x>", eXMLErrorUnexpectedToken, 1, 8},
      {"<a>ñandú\n ó &nbsp;</a>", eXMLErrorUnknownCharacterEntity, 2, 4},
      {"<a b='&#xD800;'/>", eXMLErrorUnknownCharacterEntity, 1, 7},
      {"<a>&#1114112;</a>", eXMLErrorUnknownCharacterEntity, 1, 4},
  };
  for (const auto& c : cases) {
    XMLResults r{};
    const XMLNode node = XMLNode::parseString(c.text, nullptr, &r);
    EXPECT_EQ(r.error, c.error) << c.text << ": " << XMLNode::getError(r.error);
    EXPECT_EQ(std::make_pair(r.nLine, r.nColumn), std::make_pair(c.line, c.column)) << c.text;
    // Warnings keep a tree, errors give the empty node.
    const bool warning = c.error == eXMLErrorMissingEndTag || c.error == eXMLErrorNoXMLTagFound;
    EXPECT_EQ(node.isEmpty(), !warning) << c.text;
  }
}

TEST(XMLParseTest, TheNodeReturnedIsTheLoneRootOrTheFirstOfTheTag) {
  const struct {
    const char* text;
    const char* tag;
    const char* name;  // null: the nameless top node, or the empty node on an error
    XMLError error;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<Conf/>", nullptr, nullptr, eXMLErrorNone},
      {"<?xml version=\"1.0\"?>\n<Conf/>", "conf", "Conf", eXMLErrorNone},
      {"<tv><channel/></tv>", nullptr, "tv", eXMLErrorNone},
      {"<tv><channel/></tv>", "CHANNEL", "channel", eXMLErrorNone},
      {"<tv><channel/></tv>", "programme", nullptr, eXMLErrorFirstTagNotFound},
      {"<tv><a></tv>", "a", "a", eXMLErrorMissingEndTag},
      {"<a/><b x='1'/>", nullptr, nullptr, eXMLErrorNone},
  };
  for (const auto& c : cases) {
    XMLResults r{};
    const XMLNode node = XMLNode::parseString(c.text, c.tag, &r);
    EXPECT_EQ(r.error, c.error) << c.text << " / " << (c.tag ? c.tag : "");
    if (c.name != nullptr) {
      EXPECT_STREQ(node.getName(), c.name) << c.text;
    } else {
      EXPECT_EQ(node.nChildNode() > 0, c.error == eXMLErrorNone) << c.text;
    }
  }
}

TEST(XMLNavigationTest, LookupsByNameIndexAndPositionAndTheEmptyNode) {
  const XMLNode root = XMLNode::parseString(
      "<C><SP Address=\"a1\"/><SP Address=\"a2\"/><Otro/><SP Address=\"a3\"/></C>", "C");
  EXPECT_EQ(root.nChildNode("sp"), 3);
  EXPECT_STREQ(root.getChildNode("SP", -1).getAttribute("Address"), "a3");
  EXPECT_STREQ(root.getChildNode("SP", -3).getAttribute("Address"), "a1");
  EXPECT_TRUE(root.getChildNode("SP", -4).isEmpty());
  EXPECT_TRUE(root.getChildNode("SP", 5).isEmpty());
  EXPECT_STREQ(root.getChildNode(2).getParentNode().getName(), "C");
  std::vector<std::string> seen;
  int pos = 0;
  for (XMLNode n; !(n = root.getChildNode("SP", &pos)).isEmpty();) {
    seen.push_back(n.getAttribute("address"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"a1", "a2", "a3"}));
  EXPECT_EQ(pos, 4);  // unchanged by the failed lookup
  const XMLNode e = root.getChildNode("Nada").getChildNode(0);
  EXPECT_TRUE(e.isEmpty());
  EXPECT_EQ(e.getAttribute("x"), nullptr);
  EXPECT_EQ(e.getText(), nullptr);
  // A handle keeps the tree alive.
  const XMLNode child = XMLNode::parseString("<a><b>texto</b></a>").getChildNode("b");
  EXPECT_STREQ(child.getText(), "texto");
  EXPECT_STREQ(child.getParentNode().getName(), "a");
}

TEST(XMLNavigationTest, AttributesWithoutCaseAndRepeated) {
  const XMLNode n = XMLNode::parseString("<s Port='3937' a=\"AT&amp;T\" k=1 k=2 flag/>");
  EXPECT_EQ(n.getAttribute("Puerto"), nullptr);
  EXPECT_EQ(std::string(n.getAttribute("port")) + n.getAttribute("A") + n.getAttribute("flag"),
            "3937AT&T");
  int pos = 0;
  EXPECT_STREQ(n.getAttribute("k", &pos), "1");
  EXPECT_STREQ(n.getAttribute("k", &pos), "2");
  EXPECT_EQ(n.getAttribute("k", &pos), nullptr);
}

TEST(XMLTextTest, PiecesOfTextDecodedAndTrimmed) {
  const struct {
    const char* xml;
    std::vector<std::string> texts;
  } cases[] = {
      {"<a> \t hola  mundo\r\n</a>", {"hola  mundo"}},
      {"<a>uno<b/>dos</a>", {"uno", "dos"}},
      {"<a> foo <!-- x --> bar <!-- y -->!</a>", {"foo  bar !"}},
      {"<a>x&amp;y &lt;&gt;&quot;&apos;</a>", {"x&y <>\"'"}},
      {"<a>&#65;&#x42;&#xe9;&#8364;&#x1F600;</a>", {"AB\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}},
      {"<a>antes<![CDATA[ <b>&amp; ]]>después</a>", {"antes", "después"}},
  };
  for (const auto& c : cases) {
    const XMLNode n = XMLNode::parseString(c.xml);
    std::vector<std::string> texts;
    for (int i = 0; i < n.nText(); ++i) texts.emplace_back(n.getText(i));
    EXPECT_EQ(texts, c.texts) << c.xml;
  }
}

TEST(XMLFileTest, AFileWithOrWithoutItsMarkOrMissing) {
  const std::string path = testing::TempDir() + "xmlnode_test.xml";
  const auto parse = [&path](const std::string& bytes, XMLResults& r) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return XMLNode::parseFile(path.c_str(), "r", &r);
  };
  XMLResults r{};
  for (const char* mark : {"", "\xEF\xBB\xBF"}) {
    EXPECT_STREQ(parse(std::string(mark) + "<r n=\"España € 📺\"/>", r).getAttribute("n"),
                 "España € 📺");
    EXPECT_EQ(r.error, eXMLErrorNone);
  }
  EXPECT_TRUE(parse("", r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorEmpty);
  std::remove(path.c_str());
  EXPECT_TRUE(XMLNode::parseFile(path.c_str(), nullptr, &r).isEmpty());
  EXPECT_EQ(r.error, eXMLErrorFileNotFound);
}

TEST(XMLParseTest, DeepNestingNeedsNoRecursion) {
  const int depth = 200000;
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<d>";
  for (int i = 0; i < depth; ++i) close += "</d>";
  XMLResults r{};
  XMLNode n = XMLNode::parseString((open + "fondo" + close).c_str(), nullptr, &r);
  ASSERT_EQ(r.error, eXMLErrorNone);
  int levels = 1;
  for (; n.nChildNode() == 1; ++levels) n = n.getChildNode();
  EXPECT_EQ(levels, depth);
  EXPECT_STREQ(n.getText(), "fondo");
  // Left open, the elements are closed at the end with a warning.
  EXPECT_EQ(XMLNode::parseString(open.c_str(), nullptr, &r).nChildNode(), 1);
  EXPECT_EQ(r.error, eXMLErrorMissingEndTag);
}

}  // namespace

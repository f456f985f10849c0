// Single-pass, non-recursive parser. Strings are decoded in place in the
// document's copy of the text; open elements sit on an explicit stack, so
// nesting depth is bounded only by memory, never by the call stack.

#include <cstring>
#include <new>
#include <vector>

#include "common/XMLDocument.h"
#include "common/XMLText.h"

namespace xml_detail {

namespace {

constexpr uint8_t kSpace = 1;     // white space between tokens and around text
constexpr uint8_t kTextStop = 2;  // ends a run of plain text
constexpr uint8_t kNameEnd = 4;   // ends an element or attribute name

struct CharTable {
  uint8_t bits[256];
  constexpr CharTable() : bits{} {
    for (char c : {' ', '\t', '\n', '\r'}) bits[static_cast<uint8_t>(c)] |= kSpace | kNameEnd;
    for (char c : {'<', '&', '\0'}) bits[static_cast<uint8_t>(c)] |= kTextStop;
    for (char c : {'/', '>', '<', '=', '"', '\'', '?', '\0'}) {
      bits[static_cast<uint8_t>(c)] |= kNameEnd;
    }
  }
};
constexpr CharTable kChars;

inline bool is(char c, uint8_t bit) {
  return (kChars.bits[static_cast<uint8_t>(c)] & bit) != 0;
}

inline bool startsWithNoCase(const char* s, const char* literal) {
  for (; *literal; ++s, ++literal) {
    char c = *s;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    if (c != *literal) return false;
  }
  return true;
}

enum class Markup { StartTag, EndTag, StandAlone, Comment, CData, Doctype, Pre };

struct ClearTag {
  const char* open;
  size_t openLength;
  const char* close;
};
constexpr ClearTag kCData{"<![CDATA[", 9, "]]>"};
constexpr ClearTag kDoctype{"<!DOCTYPE", 9, ">"};
constexpr ClearTag kComment{"<!--", 4, "-->"};
constexpr ClearTag kPre{"<PRE>", 5, "</PRE>"};
// A DOCTYPE with an internal subset ends at "]>" rather than at the first '>'.
constexpr const char* kDoctypeSubsetEnd = "]>";

Markup classify(const char* lt) {
  switch (lt[1]) {
    case '/':
      return Markup::EndTag;
    case '?':
      return Markup::StandAlone;
    case '!':
      if (lt[2] == '-' && lt[3] == '-') return Markup::Comment;
      if (startsWithNoCase(lt, kCData.open)) return Markup::CData;
      if (startsWithNoCase(lt, kDoctype.open)) return Markup::Doctype;
      return Markup::StandAlone;  // other markup declarations have no content
    case 'p':
    case 'P':
      return startsWithNoCase(lt, kPre.open) ? Markup::Pre : Markup::StartTag;
    default:
      return Markup::StartTag;
  }
}

char* findNoCase(char* s, const char* literal) {
  while ((s = std::strchr(s, literal[0])) != nullptr) {
    if (startsWithNoCase(s, literal)) return s;
    ++s;
  }
  return nullptr;
}

int digitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The open elements, innermost last. A push comes with every start tag, so
// it stays inline; growing is the rare case.
template <class T>
class Stack {
 public:
  void push(const T& item) {
    if (size_ == items_.size()) items_.resize(items_.empty() ? 64 : items_.size() * 2);
    items_[size_++] = item;
  }
  void pop() { --size_; }
  T& back() { return items_[size_ - 1]; }
  T& operator[](size_t i) { return items_[i]; }
  size_t size() const { return size_; }

 private:
  std::vector<T> items_;
  size_t size_ = 0;
};

class Parser {
 public:
  Parser(char* text, Arena& arena) : text_(text), p_(text), arena_(arena) {
    children_.reserve(1024);
    texts_.reserve(256);
    attrs_.reserve(16);
  }

  // The top node, or null with error() set.
  const Node* run();
  XMLError error() const { return error_; }
  size_t errorOffset() const { return errorOffset_; }

 private:
  struct Frame {
    Node* node;
    size_t childBase;
    size_t textBase;
    size_t clearBase;
  };

  bool fail(XMLError code, const char* at) {
    error_ = code;
    errorOffset_ = static_cast<size_t>(at - text_);
    return false;
  }
  void warn(XMLError code, const char* at) {
    if (warning_ != eXMLErrorNone) return;
    warning_ = code;
    warningOffset_ = static_cast<size_t>(at - text_);
  }

  Node* newNode(const char* name, const Node* parent);
  void closeFrame();
  bool decodeEntity(char*& src, char*& dst);
  bool readText();
  bool pendingHasContent();
  void flushText();
  bool skipComment();
  bool parseStartTag(char* lt, bool standAlone);
  bool parseEndTag(char* lt);
  bool parseClear(char* lt, Markup kind);
  bool readQuoted(char*& s, const char*& value);
  bool readUnquoted(char*& s, const char*& value, char*& deferred);

  char* const text_;
  char* p_;
  Arena& arena_;
  XMLError error_ = eXMLErrorNone;
  size_t errorOffset_ = 0;
  XMLError warning_ = eXMLErrorNone;
  size_t warningOffset_ = 0;

  Stack<Frame> frames_;
  // Items of the open elements, innermost last; moved into the arena when an element closes.
  std::vector<const Node*> children_;
  std::vector<const char*> texts_;
  std::vector<XMLClear> clears_;
  std::vector<Attr> attrs_;

  // Text being gathered for the innermost element: it stays open across a
  // comment so the comment is cut out of it.
  char* textBegin_ = nullptr;  // null when none
  char* textEnd_ = nullptr;    // end of the decoded bytes
  char* textScan_ = nullptr;   // leading white space checked up to here
  bool textHasContent_ = false;
};

Node* Parser::newNode(const char* name, const Node* parent) {
  Node* node = new (arena_.allocate(sizeof(Node))) Node();
  node->name = name;
  node->parent = parent;
  return node;
}

void Parser::closeFrame() {
  Frame f = frames_.back();
  frames_.pop();
  Node* n = f.node;
  n->nChildren = static_cast<uint32_t>(children_.size() - f.childBase);
  n->children = arena_.copy(children_.data() + f.childBase, n->nChildren);
  children_.resize(f.childBase);
  n->nTexts = static_cast<uint32_t>(texts_.size() - f.textBase);
  n->texts = arena_.copy(texts_.data() + f.textBase, n->nTexts);
  texts_.resize(f.textBase);
  n->nClears = static_cast<uint32_t>(clears_.size() - f.clearBase);
  n->clears = arena_.copy(clears_.data() + f.clearBase, n->nClears);
  clears_.resize(f.clearBase);
}

// `src` is at '&'. The decoded form is never longer than the reference, so
// `dst` never overtakes `src`.
bool Parser::decodeEntity(char*& src, char*& dst) {
  char* amp = src;
  if (src[1] == '#') {
    char* q = src + 2;
    bool hex = (*q == 'x' || *q == 'X');
    if (hex) ++q;
    char* digits = q;
    unsigned cp = 0;
    for (int d; (d = digitValue(*q, hex)) >= 0; ++q) {
      cp = cp * (hex ? 16 : 10) + static_cast<unsigned>(d);
      if (cp > 0x10FFFF) return fail(eXMLErrorUnknownCharacterEntity, amp);
    }
    if (q == digits || *q != ';' || cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return fail(eXMLErrorUnknownCharacterEntity, amp);
    }
    dst = encodeUtf8(cp, dst);
    src = q + 1;
    return true;
  }
  static constexpr struct {
    const char* name;
    size_t length;
    char ch;
  } kEntities[] = {
      {"amp;", 4, '&'}, {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"quot;", 5, '"'}, {"apos;", 5, '\''}};
  for (const auto& e : kEntities) {
    if (std::strncmp(src + 1, e.name, e.length) == 0) {
      *dst++ = e.ch;
      src += 1 + e.length;
      return true;
    }
  }
  return fail(eXMLErrorUnknownCharacterEntity, amp);
}

bool Parser::readText() {
  char* src = p_;
  char* dst;
  if (textBegin_) {
    dst = textEnd_;
  } else {
    textBegin_ = textScan_ = dst = src;
    textHasContent_ = false;
  }
  for (;;) {
    char* run = src;
    while (!is(*src, kTextStop)) ++src;
    if (dst != run) std::memmove(dst, run, static_cast<size_t>(src - run));
    dst += src - run;
    if (*src != '&') break;
    if (!decodeEntity(src, dst)) return false;
  }
  textEnd_ = dst;
  p_ = src;
  return true;
}

bool Parser::pendingHasContent() {
  if (!textBegin_) return false;
  while (!textHasContent_ && textScan_ < textEnd_) {
    if (is(*textScan_, kSpace)) {
      ++textScan_;
    } else {
      textHasContent_ = true;
    }
  }
  return textHasContent_;
}

// May write the terminating NUL over the '<' at p_: callers classify the markup first.
void Parser::flushText() {
  if (!textBegin_) return;
  if (pendingHasContent()) {
    char* end = textEnd_;
    while (is(end[-1], kSpace)) --end;
    *end = '\0';
    texts_.push_back(textScan_);
  }
  textBegin_ = nullptr;
}

bool Parser::skipComment() {
  char* end = std::strstr(p_ + kComment.openLength, kComment.close);
  if (!end) return fail(eXMLErrorUnmatchedEndClearTag, p_);
  p_ = end + 3;
  return true;
}

bool Parser::parseClear(char* lt, Markup kind) {
  const ClearTag& tag = kind == Markup::CData     ? kCData
                        : kind == Markup::Doctype ? kDoctype
                        : kind == Markup::Comment ? kComment
                                                  : kPre;
  char* content = lt + tag.openLength;
  const char* close = tag.close;
  char* end = nullptr;
  if (kind == Markup::Doctype) {
    char* s = content;
    while (*s && *s != '<' && *s != '>') ++s;
    if (*s == '>') {
      end = s;
    } else if (*s == '<') {
      close = kDoctypeSubsetEnd;
      end = std::strstr(s, close);
    }
  } else if (kind == Markup::Pre) {
    end = findNoCase(content, close);
  } else {
    end = std::strstr(content, close);
  }
  if (!end) return fail(eXMLErrorUnmatchedEndClearTag, lt);
  *end = '\0';
  p_ = end + std::strlen(close);
  clears_.push_back({content, tag.open, close});
  return true;
}

bool Parser::readQuoted(char*& s, const char*& value) {
  const char quote = *s;
  char* begin = s + 1;
  char* src = begin;
  while (*src != quote && *src != '&' && *src) ++src;
  char* dst = src;
  while (*src != quote) {
    if (*src == '\0') return fail(eXMLErrorUnexpectedToken, s);
    if (*src == '&') {
      if (!decodeEntity(src, dst)) return false;
    } else {
      *dst++ = *src++;
    }
  }
  *dst = '\0';
  s = src + 1;
  value = begin;
  return true;
}

// An unquoted value runs to white space or the end of the tag. When it ends
// right at '>' or "/>" its NUL must wait until the tag end has been read.
bool Parser::readUnquoted(char*& s, const char*& value, char*& deferred) {
  char* begin = s;
  char* src = s;
  char* dst = s;
  for (;;) {
    char c = *src;
    if (is(c, kSpace) || c == '>' || c == '<' || c == '"' || c == '\'' || c == '\0') break;
    if ((c == '/' || c == '?') && src[1] == '>') break;
    if (c == '&') {
      if (!decodeEntity(src, dst)) return false;
    } else {
      *dst++ = *src++;
    }
  }
  if (dst == begin) return fail(eXMLErrorUnexpectedToken, s);
  if (dst < src) {
    *dst = '\0';
  } else if (is(*src, kSpace)) {
    *src++ = '\0';
  } else {
    deferred = src;
  }
  s = src;
  value = begin;
  return true;
}

// "<name attr=value ...>", "<name .../>", or a stand-alone "<?name ...?>" / "<!name ...>".
bool Parser::parseStartTag(char* lt, bool standAlone) {
  char* name = lt + 1;
  char* s = standAlone ? name + 1 : name;
  char* nameStart = s;
  while (!is(*s, kNameEnd)) ++s;
  if (s == nameStart) return fail(eXMLErrorMissingTagName, lt);

  // The name's NUL goes in now over white space; over '>', '/' or '?' only
  // once the tag end has been recognised.
  char* deferred = nullptr;
  if (is(*s, kSpace)) {
    *s++ = '\0';
  } else if (*s == '>' || *s == '/' || *s == '?') {
    deferred = s;
  } else {
    return fail(eXMLErrorUnexpectedToken, s);
  }

  attrs_.clear();
  bool selfClosed;
  for (;;) {
    while (is(*s, kSpace)) ++s;
    char c = *s;
    if (c == '>') {
      selfClosed = standAlone;
      ++s;
      break;
    }
    if ((c == '/' || c == '?') && s[1] == '>') {
      selfClosed = true;
      s += 2;
      break;
    }
    if (c == '\0') return fail(eXMLErrorUnexpectedToken, lt);
    if (is(c, kNameEnd)) return fail(eXMLErrorUnexpectedToken, s);

    char* attrName = s;
    while (!is(*s, kNameEnd)) ++s;
    char* attrNameEnd = s;
    while (is(*s, kSpace)) ++s;
    const char* value = "";
    if (*s == '=') {
      ++s;
      while (is(*s, kSpace)) ++s;
      bool ok = (*s == '"' || *s == '\'') ? readQuoted(s, value) : readUnquoted(s, value, deferred);
      if (!ok) return false;
      *attrNameEnd = '\0';
    } else if (is(*attrNameEnd, kSpace)) {
      *attrNameEnd = '\0';
    } else {
      deferred = attrNameEnd;  // a value-less attribute right before the tag end
    }
    attrs_.push_back({attrName, value});
  }
  if (deferred) *deferred = '\0';
  p_ = s;

  Node* node = newNode(name, frames_.back().node);
  node->nAttrs = static_cast<uint32_t>(attrs_.size());
  node->attrs = arena_.copy(attrs_.data(), attrs_.size());
  children_.push_back(node);
  if (!selfClosed) frames_.push({node, children_.size(), texts_.size(), clears_.size()});
  return true;
}

// An end tag closes the innermost element of its name; elements left open
// inside it are closed with a warning, and one matching nothing is an error.
bool Parser::parseEndTag(char* lt) {
  char* name = lt + 2;
  char* s = name;
  while (!is(*s, kNameEnd)) ++s;
  if (s == name) return fail(eXMLErrorMissingEndTagName, lt);
  char* nameEnd = s;
  while (is(*s, kSpace)) ++s;
  if (*s != '>') return fail(eXMLErrorUnexpectedToken, s);
  *nameEnd = '\0';
  p_ = s + 1;

  size_t innermost = frames_.size() - 1;
  size_t match = innermost;
  while (match > 0 && !equalsNoCase(frames_[match].node->name, name)) --match;
  if (match == 0) return fail(eXMLErrorUnmatchedEndTag, lt);
  if (match != innermost) warn(eXMLErrorMissingEndTag, lt);
  while (frames_.size() > match) closeFrame();
  return true;
}

const Node* Parser::run() {
  Node* top = newNode(nullptr, nullptr);
  frames_.push({top, 0, 0, 0});
  for (;;) {
    char c = *p_;
    if (c == '\0') break;
    if (c != '<') {
      // White space between two tags, the bulk of indented files, makes no
      // text: skip it in one pass.
      if (!textBegin_) {
        char* s = p_;
        while (is(*s, kSpace)) ++s;
        if (*s == '<') {
          p_ = s;
          continue;
        }
      }
      if (!readText()) return nullptr;
      continue;
    }
    Markup kind = classify(p_);
    if (kind == Markup::Comment && pendingHasContent()) {
      if (!skipComment()) return nullptr;
      continue;
    }
    char* lt = p_;
    flushText();
    bool ok;
    switch (kind) {
      case Markup::StartTag:
        ok = parseStartTag(lt, false);
        break;
      case Markup::StandAlone:
        ok = parseStartTag(lt, true);
        break;
      case Markup::EndTag:
        ok = parseEndTag(lt);
        break;
      default:
        ok = parseClear(lt, kind);
        break;
    }
    if (!ok) return nullptr;
  }
  flushText();
  if (frames_.size() > 1) {
    // Elements still open at the end are closed as if their end tags were there.
    warn(eXMLErrorMissingEndTag, p_);
    while (frames_.size() > 1) closeFrame();
  }
  closeFrame();
  error_ = warning_;
  errorOffset_ = warningOffset_;
  return top;
}

}  // namespace

ParseOutcome parseDocument(const char* data, size_t length) {
  // Blocks scale with the text so a large guide needs few of them and a
  // small file wastes little.
  size_t block = length / 8;
  if (block < 4096) block = 4096;
  if (block > (1u << 20)) block = 1u << 20;
  auto doc = std::make_shared<Document>(block);
  doc->text.reset(new char[length + 1]);
  std::memcpy(doc->text.get(), data, length);
  doc->text[length] = '\0';

  Parser parser(doc->text.get(), doc->arena);
  ParseOutcome out;
  out.top = parser.run();
  out.error = parser.error();
  out.offset = parser.errorOffset();
  if (out.top) out.doc = std::move(doc);
  return out;
}

}  // namespace xml_detail

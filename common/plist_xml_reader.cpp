#include "common/plist_xml_reader.h"

#include <expat.h>
#include <sys/random.h>

#include <climits>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "common/plist_date.h"
#include "common/text_format.h"
#include "common/value_texts.h"

namespace brimwell {
namespace {

enum class Element { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

// In the order they are most often met, since a file is read every few seconds.
const struct {
  const char* name;
  Element element;
} kElements[] = {
    {"key", Element::Key},     {"integer", Element::Integer}, {"true", Element::True},
    {"false", Element::False}, {"string", Element::String},   {"dict", Element::Dict},
    {"real", Element::Real},   {"array", Element::Array},     {"date", Element::Date},
    {"data", Element::Data},   {"plist", Element::Plist},
};

std::optional<Element> elementNamed(const char* name) {
  for (const auto& e : kElements) {
    if (e.name[0] == name[0] && std::strcmp(e.name, name) == 0) return e.element;
  }
  return std::nullopt;
}

const char* nameOf(Element element) {
  for (const auto& e : kElements) {
    if (e.element == element) return e.name;
  }
  return "?";
}

bool holdsElements(Element e) {
  return e == Element::Plist || e == Element::Dict || e == Element::Array;
}

bool isXmlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A scalar's text for a message: quoted on one line, and cut short.
std::string shown(const std::string& text) {
  return quoted(text.size() > 40 ? text.substr(0, 40) + "..." : text);
}

struct Frame {
  Element element = Element::Plist;
  Plist value;       // dictionaries and arrays as they fill; the root's one value
  std::string text;  // scalars and keys
  std::string key;   // a dictionary's key that waits for its value
  bool haveKey = false;
};

// Builds the tree from expat's events, checking the property-list grammar as it goes. The
// first fault stops the parser. Streamed, the top value must be an array, and each of its
// elements goes to `stream` as it closes, within its limits, instead of into the tree.
class Builder {
 public:
  explicit Builder(XML_Parser parser, std::deque<Plist>* stream = nullptr,
                   ElementLimits limits = {0, 0})
      : parser_(parser), stream_(stream), limits_(limits) {}

  Plist result;
  std::string error;
  bool notAnArray = false, tooLarge = false;

  static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<Builder*>(self)->start(name, attributes);
  }
  static void XMLCALL onEnd(void* self, const XML_Char*) { static_cast<Builder*>(self)->end(); }
  static void XMLCALL onText(void* self, const XML_Char* text, int length) {
    static_cast<Builder*>(self)->characters(text, static_cast<size_t>(length));
  }
  static void XMLCALL onInstruction(void* self, const XML_Char*, const XML_Char*) {
    auto* b = static_cast<Builder*>(self);
    if (b->rootStarted_) b->fail("a processing instruction inside or after the property list");
  }
  static void XMLCALL onEntityDeclaration(void* self, const XML_Char* name, int, const XML_Char*,
                                          int, const XML_Char*, const XML_Char*, const XML_Char*,
                                          const XML_Char*) {
    static_cast<Builder*>(self)->fail(std::string("entity declaration '") + name +
                                      "' (a property list uses none)");
  }
  static void XMLCALL onSkippedEntity(void* self, const XML_Char* name, int) {
    static_cast<Builder*>(self)->fail(std::string("undefined entity '&") + name + ";'");
  }

 private:
  void fail(const std::string& why) {
    if (!error.empty()) return;
    error = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + why;
    XML_StopParser(parser_, XML_FALSE);
  }

  void start(const char* name, const char** attributes) {
    if (!error.empty()) return;
    const std::optional<Element> element = elementNamed(name);
    if (!element) return fail(std::string("<") + name + "> is not a property-list element");
    for (const char** a = attributes; *a; a += 2) {
      if (*element != Element::Plist || std::strcmp(*a, "version") != 0) {
        return fail(std::string("<") + name + "> takes no attribute '" + *a + "'");
      }
    }
    if (depth_ == 0) {
      if (*element != Element::Plist) return fail("the root element is not <plist>");
      rootStarted_ = true;
    } else {
      Frame& parent = top();
      if (!holdsElements(parent.element)) {
        return fail(std::string("<") + name + "> inside <" + nameOf(parent.element) + ">");
      }
      if (*element == Element::Plist) return fail("<plist> inside the property list");
      // The stack holds <plist> under the root value, so a value's depth is its size less one.
      if (*element != Element::Key && depth_ > static_cast<size_t>(kMaxPlistDepth) + 1) {
        return fail("nested deeper than " + std::to_string(kMaxPlistDepth));
      }
      if (parent.element == Element::Dict) {
        if (*element == Element::Key && parent.haveKey) {
          return fail("key " + shown(parent.key) + " has no value");
        }
        if (*element != Element::Key && !parent.haveKey) {
          return fail(std::string("<") + name + "> in a dictionary without a key");
        }
      } else if (*element == Element::Key) {
        return fail(std::string("<key> inside <") + nameOf(parent.element) + ">");
      } else if (parent.element == Element::Plist && parent.value) {
        return fail("<plist> holds more than one value");
      }
      if (stream_ && !withinLimits(*element)) return;
    }
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& frame = frames_[depth_++];
    frame.element = *element;
    frame.text.clear();
    frame.haveKey = false;
    if (*element == Element::Dict) frame.value = Plist::newDictionary();
    if (*element == Element::Array) frame.value = Plist::newArray();
  }

  void characters(const char* text, size_t length) {
    if (!error.empty() || depth_ == 0) return;
    if (stream_ && depth_ > 2 && !fits(length)) return over();
    Frame& frame = top();
    const bool empty = holdsElements(frame.element) || frame.element == Element::True ||
                       frame.element == Element::False;
    if (!empty) {
      frame.text.append(text, length);
      return;
    }
    for (size_t i = 0; i < length; ++i) {
      if (!isXmlBlank(text[i])) {
        return fail("text " + shown(std::string(text, length)) + " inside <" +
                    nameOf(frame.element) + ">");
      }
    }
  }

  // The value of a closed element; none, with the parser stopped, when its text is wrong.
  Plist valueOf(Frame& frame) {
    const char* what = nameOf(frame.element);
    switch (frame.element) {
      case Element::Dict:
        if (frame.haveKey) fail("key " + shown(frame.key) + " has no value");
        return std::move(frame.value);
      case Element::Array:
        return std::move(frame.value);
      case Element::String:
        return Plist::string(std::move(frame.text));
      case Element::True:
        return Plist::boolean(true);
      case Element::False:
        return Plist::boolean(false);
      case Element::Integer: {
        Plist value = integerFromText(frame.text);
        if (!value)
          fail("integer " + shown(frame.text) + " is not a whole number from -2^63 to 2^64-1");
        return value;
      }
      case Element::Real:
        if (const auto value = realFromText(frame.text)) return Plist::real(*value);
        break;
      case Element::Date:
        if (const auto value = parsePlistDate(frame.text)) return Plist::date(*value);
        break;
      case Element::Data:
        if (auto value = bytesFromBase64(frame.text)) return Plist::data(std::move(*value));
        break;
      case Element::Plist:
      case Element::Key:
        break;
    }
    fail(std::string("<") + what + "> " + shown(frame.text) + " does not read as one");
    return Plist();
  }

  void end() {
    if (!error.empty() || depth_ == 0) return;
    Frame& frame = top();
    if (frame.element == Element::Plist) {
      if (!frame.value) return fail("<plist> holds no value");
      result = std::move(frame.value);
      --depth_;
      return;
    }
    Frame& parent = frames_[depth_ - 2];
    if (frame.element == Element::Key) {
      parent.key = std::move(frame.text);
      parent.haveKey = true;
    } else {
      Plist value = valueOf(frame);
      if (!error.empty()) return;
      if (stream_ && depth_ == 3) {
        stream_->push_back(std::move(value));
      } else if (parent.element == Element::Dict) {
        parent.value.setItem(std::move(parent.key), std::move(value));
        parent.haveKey = false;
      } else if (parent.element == Element::Array) {
        parent.value.append(std::move(value));
      } else {
        parent.value = std::move(value);
      }
    }
    --depth_;
  }

  Frame& top() { return frames_[depth_ - 1]; }

  // Streamed: the top value is an array, and an element of it starts its count here.
  bool withinLimits(Element element) {
    if (depth_ == 1) {
      notAnArray = element != Element::Array;
      if (notAnArray) fail("the top value is not an array");
      return !notAnArray;
    }
    if (depth_ == 2) {
      elementStart_ = static_cast<uint64_t>(XML_GetCurrentByteIndex(parser_));
      elementValues_ = 0;
    }
    if (++elementValues_ <= limits_.values && fits(0)) return true;
    over();
    return false;
  }
  // Whether the element read so far, and `more` bytes of text from here, are within its bytes.
  bool fits(size_t more) const {
    const uint64_t used = static_cast<uint64_t>(XML_GetCurrentByteIndex(parser_)) - elementStart_;
    return used <= limits_.bytes && more <= limits_.bytes - used;
  }
  void over() {
    tooLarge = error.empty();
    fail("an element over its limits");
  }

  XML_Parser parser_;
  std::deque<Plist>* stream_;
  ElementLimits limits_;
  uint64_t elementStart_ = 0;
  size_t elementValues_ = 0;
  // Frames are kept for reuse by the next element at the same depth, text buffers and all.
  std::vector<Frame> frames_;
  size_t depth_ = 0;
  bool rootStarted_ = false;
};

// The parsers' hash tables get a salt drawn once for the process, so that no reading waits on
// the kernel's random source and no file can be made to collide in them.
unsigned long salt() {
  static const unsigned long value = [] {
    unsigned long drawn = 0;
    const ssize_t got = getrandom(&drawn, sizeof drawn, 0);
    return got == static_cast<ssize_t>(sizeof drawn) ? drawn : 0;  // 0: expat draws its own
  }();
  return value;
}

// Sets the builder's handlers on the parser.
void handleEvents(XML_Parser parser, Builder& builder) {
  XML_SetUserData(parser, &builder);
  XML_SetElementHandler(parser, Builder::onStart, Builder::onEnd);
  XML_SetCharacterDataHandler(parser, Builder::onText);
  XML_SetProcessingInstructionHandler(parser, Builder::onInstruction);
  XML_SetEntityDeclHandler(parser, Builder::onEntityDeclaration);
  XML_SetSkippedEntityHandler(parser, Builder::onSkippedEntity);
}

// One parser per thread, reset for each document: the status file is read every few seconds.
// After a large document the parser is let go, so that its buffers do not stay that large.
class ThreadParser {
 public:
  ~ThreadParser() { release(); }
  XML_Parser reset() {
    if (!parser_) parser_ = XML_ParserCreate(nullptr);
    if (!parser_ || !XML_ParserReset(parser_, nullptr)) return nullptr;
    if (salt() != 0) XML_SetHashSalt(parser_, salt());
    return parser_;
  }
  void release() {
    if (parser_) XML_ParserFree(parser_);
    parser_ = nullptr;
  }

 private:
  XML_Parser parser_ = nullptr;
};

// A parser of its own, fed a block of the input at a time; the elements that closed in a block
// wait in a queue (a block's worth at most) until they are asked for.
class XmlArrayStream final : public PlistArrayStream {
 public:
  XmlArrayStream(ByteInput& input, ElementLimits limits)
      : PlistArrayStream(limits),
        input_(input),
        parser_(XML_ParserCreate(nullptr)),
        builder_(parser_, &ready_, limits) {
    if (!parser_) {
      fail(Fault::malformed, "out of memory");
      return;
    }
    if (salt() != 0) XML_SetHashSalt(parser_, salt());
    handleEvents(parser_, builder_);
  }
  ~XmlArrayStream() override {
    if (parser_) XML_ParserFree(parser_);
  }
  XmlArrayStream(const XmlArrayStream&) = delete;
  XmlArrayStream& operator=(const XmlArrayStream&) = delete;

  Plist next() override {
    while (ready_.empty() && !ended_ && fault() == Fault::none) feed();
    if (ready_.empty()) return Plist();
    Plist element = std::move(ready_.front());
    ready_.pop_front();
    return give(std::move(element));
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  std::string line() const {
    return "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": ";
  }

  void feed() {
    void* block = XML_GetBuffer(parser_, static_cast<int>(kBlock));
    size_t got = 0;
    std::string why;
    if (!block) return (void)fail(Fault::malformed, "out of memory");
    if (!input_.read(fed_, static_cast<char*>(block), kBlock, got, why)) {
      return (void)fail(Fault::unreadable, why);
    }
    fed_ += got;
    ended_ = fed_ >= input_.size();
    const XML_Status status = XML_ParseBuffer(parser_, static_cast<int>(got), ended_);
    if (builder_.tooLarge) return (void)tooLarge(given() + ready_.size());
    if (builder_.notAnArray) return (void)fail(Fault::notAnArray, builder_.error);
    if (!builder_.error.empty()) return (void)fail(Fault::malformed, builder_.error);
    if (status != XML_STATUS_OK || (ended_ && !builder_.result)) {
      return (void)fail(Fault::malformed, line() + XML_ErrorString(XML_GetErrorCode(parser_)));
    }
    // What expat holds unparsed is one unfinished tag, comment or declaration.
    const auto parsed = static_cast<uint64_t>(XML_GetCurrentByteIndex(parser_));
    if (!ended_ && fed_ - parsed > limits_.bytes) {
      fail(Fault::tooLarge, line() + "a tag or comment longer than " + limitText(limits_.bytes));
    }
  }

  ByteInput& input_;
  XML_Parser parser_;
  std::deque<Plist> ready_;
  Builder builder_;
  uint64_t fed_ = 0;
  bool ended_ = false;
};

constexpr size_t kKeptParserBytes = 64 * 1024;

}  // namespace

Plist readXmlPropertyList(std::string_view bytes, std::string& why) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    why = "too large";
    return Plist();
  }
  thread_local ThreadParser threadParser;
  const XML_Parser parser = threadParser.reset();
  if (!parser) {
    why = "out of memory";
    return Plist();
  }
  Builder builder(parser);
  handleEvents(parser, builder);
  const XML_Status status =
      XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
  why.clear();
  if (!builder.error.empty()) {
    why = builder.error;
  } else if (status != XML_STATUS_OK || !builder.result) {
    why = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
          XML_ErrorString(XML_GetErrorCode(parser));
  }
  if (bytes.size() > kKeptParserBytes) threadParser.release();
  return why.empty() ? std::move(builder.result) : Plist();
}

std::unique_ptr<PlistArrayStream> xmlArrayStream(ByteInput& input, ElementLimits limits) {
  return std::make_unique<XmlArrayStream>(input, limits);
}

}  // namespace brimwell

#include "common/plist_xml_writer.h"

#include <string_view>

#include "common/plist_date.h"
#include "common/text_format.h"
#include "common/utf8.h"
#include "common/value_conversions.h"

namespace brimwell {
namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Character data for a <key> or a <string>.
void appendText(std::string& out, std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    const size_t length = utf8SequenceAt(text, at);
    if (length == 0) {
      out += kReplacement;
      ++at;
      continue;
    }
    const std::string_view sequence = text.substr(at, length);
    at += length;
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '\r') {
      out += "&#13;";  // a raw one would read back as a line feed
    } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') ||
               sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF") {
      out += kReplacement;
    } else {
      out += sequence;
    }
  }
}

void appendBase64(std::string& out, std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto at = [&](size_t i) {
    return i < bytes.size() ? static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) : 0u;
  };
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t triple = (at(i) << 16) | (at(i + 1) << 8) | at(i + 2);
    out.push_back(kAlphabet[(triple >> 18) & 63]);
    out.push_back(kAlphabet[(triple >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kAlphabet[(triple >> 6) & 63] : '=');
    out.push_back(i + 2 < bytes.size() ? kAlphabet[triple & 63] : '=');
  }
}

class XmlWriter {
 public:
  std::string out = kHeader;
  std::string error;

  bool value(const Plist& node, int depth) {
    if (depth > kMaxPlistDepth) return fail("nested deeper than " + std::to_string(kMaxPlistDepth));
    indent(depth);
    switch (node.kind()) {
      case Plist::Kind::Boolean:
        out += node.booleanValue() ? "<true/>\n" : "<false/>\n";
        return true;
      case Plist::Kind::Integer:
        return scalar("integer", textOf(&node).value_or(""));
      case Plist::Kind::Real:
        return scalar("real", shortestDecimal(node.realValue()));
      case Plist::Kind::String:
        out += "<string>";
        appendText(out, node.text());
        out += "</string>\n";
        return true;
      case Plist::Kind::Data:
        out += "<data>";
        appendBase64(out, node.text());
        out += "</data>\n";
        return true;
      case Plist::Kind::Date:
        return date(node.dateValue());
      case Plist::Kind::Uid:
        return uid(node.uidValue(), depth);
      case Plist::Kind::Array:
        return array(node, depth);
      case Plist::Kind::Dictionary:
        return dictionary(node, depth);
      case Plist::Kind::None:
        break;
    }
    return fail("no value to write");
  }

 private:
  bool fail(std::string why) {
    if (error.empty()) error = std::move(why);
    return false;
  }

  void indent(int depth) { out.append(static_cast<size_t>(depth), '\t'); }

  bool scalar(const char* tag, const std::string& text) {
    out += std::string("<") + tag + ">" + text + "</" + tag + ">\n";
    return true;
  }

  bool date(double seconds) {
    const auto text = formatPlistDate(seconds);
    if (!text) return fail("a date outside the years 1 to 9999");
    return scalar("date", *text);
  }

  // Keyed archives' references, in the form the platform writes them.
  bool uid(uint64_t value, int depth) {
    out += "<dict>\n";
    indent(depth + 1);
    out += "<key>CF$UID</key>\n";
    indent(depth + 1);
    scalar("integer", std::to_string(value));
    indent(depth);
    out += "</dict>\n";
    return true;
  }

  bool array(const Plist& node, int depth) {
    if (node.size() == 0) {
      out += "<array/>\n";
      return true;
    }
    out += "<array>\n";
    for (size_t i = 0; i < node.size(); ++i) {
      if (!value(node.at(i), depth + 1)) return false;
    }
    indent(depth);
    out += "</array>\n";
    return true;
  }

  bool dictionary(const Plist& node, int depth) {
    if (node.size() == 0) {
      out += "<dict/>\n";
      return true;
    }
    out += "<dict>\n";
    for (size_t i = 0; i < node.size(); ++i) {
      indent(depth + 1);
      out += "<key>";
      appendText(out, node.keyAt(i));
      out += "</key>\n";
      if (!value(node.valueAt(i), depth + 1)) return false;
    }
    indent(depth);
    out += "</dict>\n";
    return true;
  }
};

}  // namespace

std::optional<std::string> xmlPropertyList(const Plist& root, std::string* why) {
  XmlWriter writer;
  const bool written = writer.value(root, 0);
  if (why) *why = writer.error;
  if (!written) return std::nullopt;
  writer.out += "</plist>\n";
  return std::move(writer.out);
}

}  // namespace brimwell

#include "common/plist_xml_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/text_format.h"

namespace brimwell {
namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr int64_t kSecondsFrom1970To2001 = 978307200;

void appendEscaped(std::string& out, const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) {
          char reference[8];
          std::snprintf(reference, sizeof reference, "&#x%x;", c);
          out += reference;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
}

void appendBase64(std::string& out, const char* data, uint64_t length) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (uint64_t i = 0; i < length; i += 3) {
    const uint32_t a = bytes[i];
    const uint32_t b = i + 1 < length ? bytes[i + 1] : 0;
    const uint32_t c = i + 2 < length ? bytes[i + 2] : 0;
    const uint32_t triple = (a << 16) | (b << 8) | c;
    out.push_back(kAlphabet[(triple >> 18) & 63]);
    out.push_back(kAlphabet[(triple >> 12) & 63]);
    out.push_back(i + 1 < length ? kAlphabet[(triple >> 6) & 63] : '=');
    out.push_back(i + 2 < length ? kAlphabet[triple & 63] : '=');
  }
}

// An integer whose top bit is set is either negative or above INT64_MAX, which only libplist's
// own rendering of that one node can tell apart.
std::string integerText(plist_t node) {
  uint64_t raw = 0;
  plist_get_uint_val(node, &raw);
  if (static_cast<int64_t>(raw) >= 0) return std::to_string(raw);
  plist_t alone = plist_copy(node);
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(alone, &xml, &length);
  plist_free(alone);
  std::string text = xml ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  const size_t open = text.find("<integer>");
  const size_t close = text.find("</integer>");
  if (open == std::string::npos || close == std::string::npos) {
    return std::to_string(static_cast<int64_t>(raw));
  }
  return text.substr(open + 9, close - open - 9);
}

bool appendNode(std::string& out, plist_t node, int depth) {
  if (depth > kMaxXmlDepth) return false;
  const std::string indent(static_cast<size_t>(depth), '\t');
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      out += indent + (value ? "<true/>\n" : "<false/>\n");
      return true;
    }
    case PLIST_UINT:
      out += indent + "<integer>" + integerText(node) + "</integer>\n";
      return true;
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      out += indent + "<real>" + shortestDecimal(value) + "</real>\n";
      return true;
    }
    case PLIST_STRING: {
      // The buffer's own end, not the length libplist reports, which it can get wrong.
      const char* text = plist_get_string_ptr(node, nullptr);
      out += indent + "<string>";
      appendEscaped(out, text ? text : "", text ? std::strlen(text) : 0);
      out += "</string>\n";
      return true;
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* data = plist_get_data_ptr(node, &length);
      out += indent + "<data>";
      appendBase64(out, data, data ? length : 0);
      out += "</data>\n";
      return true;
    }
    case PLIST_DATE: {
      int32_t seconds = 0, microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      const time_t unix = static_cast<time_t>(seconds + kSecondsFrom1970To2001);
      struct tm utc;
      if (!gmtime_r(&unix, &utc)) return false;
      char text[32];
      std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
      out += indent + "<date>" + text + "</date>\n";
      return true;
    }
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      out += indent + "<dict>\n" + indent + "\t<key>CF$UID</key>\n" + indent + "\t<integer>" +
             std::to_string(value) + "</integer>\n" + indent + "</dict>\n";
      return true;
    }
    case PLIST_ARRAY: {
      const uint32_t size = plist_array_get_size(node);
      if (size == 0) {
        out += indent + "<array/>\n";
        return true;
      }
      out += indent + "<array>\n";
      for (uint32_t i = 0; i < size; ++i) {
        if (!appendNode(out, plist_array_get_item(node, i), depth + 1)) return false;
      }
      out += indent + "</array>\n";
      return true;
    }
    case PLIST_DICT: {
      if (plist_dict_get_size(node) == 0) {
        out += indent + "<dict/>\n";
        return true;
      }
      out += indent + "<dict>\n";
      plist_dict_iter iterator = nullptr;
      plist_dict_new_iter(node, &iterator);
      bool ok = true;
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!value) {
          free(key);
          break;
        }
        out += indent + "\t<key>";
        appendEscaped(out, key ? key : "", key ? std::strlen(key) : 0);
        out += "</key>\n";
        free(key);
        if (!appendNode(out, value, depth + 1)) {
          ok = false;
          break;
        }
      }
      free(iterator);
      if (!ok) return false;
      out += indent + "</dict>\n";
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> xmlPropertyList(plist_t root) {
  if (!root) return std::nullopt;
  std::string out = kHeader;
  if (!appendNode(out, root, 0)) return std::nullopt;
  out += "</plist>\n";
  return out;
}

}  // namespace brimwell

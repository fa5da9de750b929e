#include "host/desktop/notice_slot.h"

namespace host {

void NoticeSlot::show(Notice notice) {
  showQueued_ = std::move(notice);
}

void NoticeSlot::close() {
  // A show not sent yet is dropped with the notice it would have replaced.
  showQueued_.reset();
  closeQueued_ = id_ != 0 || awaiting_;
}

std::optional<NoticeSlot::Call> NoticeSlot::next() {
  if (awaiting_) return std::nullopt;
  if (closeQueued_) {
    closeQueued_ = false;
    if (id_ != 0) {
      const uint32_t closed = id_;
      id_ = 0;  // the next show is a new notification
      return Call{Call::Kind::close, closed, {}};
    }
  }
  if (!showQueued_) return std::nullopt;
  Call call{Call::Kind::notify, id_, std::move(*showQueued_)};
  showQueued_.reset();
  awaiting_ = true;
  return call;
}

void NoticeSlot::answered(std::optional<uint32_t> id) {
  awaiting_ = false;
  if (id) id_ = *id;
}

std::string escapeMarkup(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace host

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace host {

// One notification of ours as the service is to show it.
struct Notice {
  std::string icon, summary, body;     // body already escaped for markup
  int urgency = 1;                     // 0 low, 1 normal, 2 critical
  std::string actionKey, actionLabel;  // none: no action
};

// One notification replaced in place, its calls made one at a time: the answer to a Notify
// carries the id the next call replaces or closes, so what is asked meanwhile waits for it (the
// latest show only: one replaced before it was ever sent is never seen).
class NoticeSlot {
 public:
  struct Call {
    enum class Kind { notify, close } kind;
    uint32_t id;    // the id replaced (0: a new one), or the one closed
    Notice notice;  // for notify
  };
  void show(Notice notice);
  void close();
  // The next call to make now, taken off the queue; none while a Notify awaits its answer.
  std::optional<Call> next();
  // The answer to the Notify sent: its id, or none when it failed (the id stays as it was).
  void answered(std::optional<uint32_t> id);

  uint32_t id() const { return id_; }
  // Nothing left to send.
  bool sent() const { return !closeQueued_ && !showQueued_; }

 private:
  uint32_t id_ = 0;
  bool awaiting_ = false;
  bool closeQueued_ = false;
  std::optional<Notice> showQueued_;
};

// Text as a notification body, which the service may read as markup.
std::string escapeMarkup(const std::string& text);

}  // namespace host

#include <gtest/gtest.h>

#include <sstream>

#include "host/desktop/notice_slot.h"

namespace host {
namespace {

// One notification's calls as its answers come: each step (show X, close, answer ID, fail) and
// then every call the slot has ready, as the bus glue makes them.
TEST(DesktopNotices, EachCallWaitsForTheIdItNeeds) {
  const struct {
    const char* name;
    const char* steps;
    const char* calls;
    bool sent;  // nothing left to send at the end
  } cases[] = {
      {"the first goes at once", "show A", "notify 0 A;", true},
      {"the next replaces the id once it came", "show A|show B|answer 7", "notify 0 A;notify 7 B;",
       true},
      {"meanwhile the latest only", "show A|show B|show C|answer 7", "notify 0 A;notify 7 C;",
       true},
      {"still waiting", "show A|show B", "notify 0 A;", false},
      {"a close waits for the id", "show A|close|answer 7", "notify 0 A;close 7;", true},
      {"a close drops what was not sent", "show A|show B|close|answer 7", "notify 0 A;close 7;",
       true},
      {"after a close a new one", "show A|answer 7|close|show B", "notify 0 A;close 7;notify 0 B;",
       true},
      {"closed and shown anew meanwhile", "show A|close|show B|answer 7",
       "notify 0 A;close 7;notify 0 B;", true},
      {"nothing to close", "close", "", true},
      {"a failed call keeps the id", "show A|answer 7|show B|fail|show C",
       "notify 0 A;notify 7 B;notify 7 C;", true},
      {"none came: nothing to close", "show A|fail|close", "notify 0 A;", true},
  };
  for (const auto& c : cases) {
    NoticeSlot slot;
    std::string calls;
    std::istringstream steps(c.steps);
    for (std::string step; std::getline(steps, step, '|');) {
      const std::string arg = step.substr(step.find(' ') + 1);
      if (step.rfind("show ", 0) == 0) slot.show(Notice{"battery", arg, "", 1, "", ""});
      if (step == "close") slot.close();
      if (step.rfind("answer ", 0) == 0) slot.answered(std::stoul(arg));
      if (step == "fail") slot.answered(std::nullopt);
      while (auto call = slot.next()) {
        const bool notify = call->kind == NoticeSlot::Call::Kind::notify;
        calls += (notify ? "notify " : "close ") + std::to_string(call->id) +
                 (notify ? " " + call->notice.summary : "") + ";";
      }
    }
    EXPECT_EQ(calls, c.calls) << c.name;
    EXPECT_EQ(slot.sent(), c.sent) << c.name;
  }
}

TEST(DesktopNotices, BodiesAreEscapedForMarkup) {
  EXPECT_EQ(escapeMarkup("logind answers CanSuspend with \"no\""),
            "logind answers CanSuspend with &quot;no&quot;");
  EXPECT_EQ(escapeMarkup("<b>5 & 'six'</b>"), "&lt;b&gt;5 &amp; &#39;six&#39;&lt;/b&gt;");
  EXPECT_EQ(escapeMarkup("2% left, 3 min"), "2% left, 3 min");
}

}  // namespace
}  // namespace host

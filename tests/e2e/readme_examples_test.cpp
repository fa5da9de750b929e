// The README's examples, run as printed, so that the page and the programs cannot drift apart.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/device_root.h"
#include "tests/support/temp_dir.h"

namespace {

// The fenced block after the first line at or past `from` that holds `marker`, with the list
// item's indentation taken off; nullopt when there is none.
std::optional<std::string> blockAfter(const std::string& page, const std::string& marker,
                                      size_t& from) {
  const size_t at = page.find(marker, from);
  if (at == std::string::npos) return std::nullopt;
  const size_t open = page.find("```", at);
  const size_t start = page.find('\n', open);
  const size_t close = page.find("```", start);
  if (open == std::string::npos || start == std::string::npos || close == std::string::npos) {
    return std::nullopt;
  }
  const size_t indent = open - page.rfind('\n', open) - 1;
  const size_t closingLine = page.rfind('\n', close) + 1;
  std::string block;
  for (size_t line = start + 1; line < closingLine;) {
    const size_t end = page.find('\n', line);
    block += page.substr(std::min(line + indent, end), end - std::min(line + indent, end)) + "\n";
    line = end + 1;
  }
  from = close + 3;
  return block;
}

TEST(ReadmeExamples, TheScenarioPrintsItsTranscript) {
  const std::string page = testing_support::readFile(BRIMWELL_README);
  size_t from = 0;
  const auto scenario = blockAfter(page, "One command a line", from);
  const auto transcript = blockAfter(page, "prints", from);
  ASSERT_TRUE(scenario && transcript) << "the README's scenario example is gone";
  testing_support::DeviceRoot root;
  const auto result = root.runScenario(*scenario);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, *transcript);
}

}  // namespace

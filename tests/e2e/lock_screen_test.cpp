// The lock-screen line through the built springboard-sim and Brimwell.dylib.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/device_root.h"

namespace {

using testing_support::DeviceRoot;

const std::string kCharging1500 =
    "status IsCharging=true ExternalConnected=true AppleRawMaxCapacity=1500 ";

// The label line of the last lock in the transcript.
std::string lastLabel(const std::string& transcript) {
  std::istringstream lines(transcript);
  std::string label;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("label ", 0) == 0) label = line;
  }
  return label;
}

TEST(LockScreen, TextColourAndPlacementOfEachWorkedExample) {
  const struct {
    const char* name;
    std::string scenario;
    std::string languages;
    std::string expected;  // the whole of the transcript after the status lines
  } cases[] = {
      {"full estimate", kCharging1500 + "AppleRawCurrentCapacity=600 InstantAmperage=1000\nlock\n",
       "en",
       "lock 1\n"
       "view 1 frame=0,140,320,30 center=160,155 background=0,0,0,0\n"
       "label 1 frame=0,0,320,30 text=\"Remaining Time: 1hour(s) 36min(s)\" color=1,1,1,1 font=17 "
       "align=center background=0,0,0,0\n"},
      {"simplified Chinese, black, 375 wide",
       "settings textColor=2\nscreen 375 667\n" + kCharging1500 +
           "AppleRawCurrentCapacity=600 InstantAmperage=1000\nlock\n",
       "zh-Hans",
       "lock 1\n"
       "view 1 frame=27.5,166.640625,320,30 center=187.5,181.640625 background=0,0,0,0\n"
       "label 1 frame=0,0,320,30 text=\"\u9884\u8ba1\u5145\u7535: 1\u5c0f\u65f6 36\u5206\u949f\" "
       "color=0,0,0,1 font=17 align=center background=0,0,0,0\n"},
      {"pad, landscape, 414-wide phone ignored",
       "idiom pad\nscreen 768 1024\norientation 3\n" + kCharging1500 +
           "AppleRawCurrentCapacity=1350 InstantAmperage=300\nlock\n",
       "en",
       "lock 1\n"
       "view 1 frame=352,190,320,30 center=512,205 background=0,0,0,0\n"
       "label 1 frame=0,0,320,30 text=\"Remaining Time:30min(s)\" color=1,1,1,1 font=17 "
       "align=center background=0,0,0,0\n"},
      {"pad in an unknown orientation keeps the frame's own centre",
       "idiom pad\nscreen 768 1024\norientation 0\nlock\n", "en",
       "lock 1\n"
       "view 1 frame=0,0,320,30 center=160,15 background=0,0,0,0\n"
       "label 1 frame=0,0,320,30 text=\"Not charging\" color=1,1,1,1 font=17 align=center "
       "background=0,0,0,0\n"},
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    const auto result = root.runScenario(c.scenario, c.languages);
    ASSERT_EQ(result.exitCode, 0) << c.name << result.err;
    const size_t lock = result.out.find("lock 1\n");
    ASSERT_NE(lock, std::string::npos) << c.name;
    EXPECT_EQ(result.out.substr(lock), c.expected) << c.name;
  }
}

TEST(LockScreen, ChargingTexts) {
  const struct {
    std::string scenario;
    const char* text;
  } cases[] = {
      {kCharging1500 + "AppleRawCurrentCapacity=1400 InstantAmperage=5", "Remaining Time:19min(s)"},
      {kCharging1500 + "AppleRawCurrentCapacity=100 InstantAmperage=700",
       "Remaining Time: 2hour(s) 34min(s)"},
      {"status IsCharging=true AppleRawMaxCapacity=800 AppleRawCurrentCapacity=600 "
       "InstantAmperage=100",
       "Remaining Time: 1hour(s) 23min(s)"},
      {kCharging1500 + "AppleRawCurrentCapacity=1199 InstantAmperage=1",
       "Remaining Time: 2hour(s) 0min(s)"},
      {kCharging1500 + "AppleRawCurrentCapacity=1200 InstantAmperage=1", "Remaining Time:60min(s)"},
      {kCharging1500 + "AppleRawCurrentCapacity=1400 InstantAmperage=-20", "Calculating..."},
      {"status IsCharging=true AppleRawMaxCapacity=0 AppleRawCurrentCapacity=0 InstantAmperage=9",
       "Calculating..."},
      {"settings chargeMode=2\n" + kCharging1500 + "AppleRawCurrentCapacity=1500 InstantAmperage=0",
       "Trickle Charging..."},
      {kCharging1500 + "AppleRawCurrentCapacity=1500 InstantAmperage=0", "Charging is complete"},
      {"settings chargeMode=2\nstatus ExternalConnected=true ExternalChargeCapable=true",
       "Charging is complete"},
      {"settings chargeMode=2\nstatus ExternalConnected=true", "Not charging"},
      {"settings chargeMode=2\nstatus ExternalConnected=false", "Charging is complete"},
      {"settings chargeMode=1\nstatus ExternalConnected=false", "Not charging"},
      {"settings chargeMode=2", "Charging is complete"},  // before any status change
  };
  for (const auto& c : cases) {
    DeviceRoot root;
    const auto result = root.runScenario(c.scenario + "\nlock\n");
    EXPECT_NE(lastLabel(result.out).find(std::string("text=\"") + c.text + "\""), std::string::npos)
        << c.scenario << "\n"
        << result.out;
  }
}

TEST(LockScreen, TextIsWorkedOutAtEachLoadOnly) {
  DeviceRoot root;
  const auto result = root.runScenario(
      kCharging1500 + "AppleRawCurrentCapacity=600 InstantAmperage=1000\nlock\n" + kCharging1500 +
      "AppleRawCurrentCapacity=1350 InstantAmperage=1000\nsettings textColor=2\nlock\n");
  EXPECT_EQ(result.out,
            "host batteryStatusDidChange:\n"
            "lock 1\n"
            "view 1 frame=0,140,320,30 center=160,155 background=0,0,0,0\n"
            "label 1 frame=0,0,320,30 text=\"Remaining Time: 1hour(s) 36min(s)\" color=1,1,1,1 "
            "font=17 align=center background=0,0,0,0\n"
            "host batteryStatusDidChange:\n"
            // The second load moves the one pair into controller 2 and refills it.
            "lock 2\n"
            "view 2 frame=0,140,320,30 center=160,155 background=0,0,0,0\n"
            "label 2 frame=0,0,320,30 text=\"Remaining Time:30min(s)\" color=0,0,0,1 font=17 "
            "align=center background=0,0,0,0\n");
}

TEST(LockScreen, TwoControllersShareOnePairAndEitherDeallocTearsItDown) {
  DeviceRoot root;
  const auto result = root.runScenario("lock\nlock\nunlock 2\nlock\nunlock\nunlock\n");
  const std::string label =
      "label 0 frame=0,0,320,30 text=\"Not charging\" color=1,1,1,1 font=17 align=center "
      "background=0,0,0,0\n";
  auto pairIn = [&](int n) {
    std::string v = "view N frame=0,140,320,30 center=160,155 background=0,0,0,0\n" + label;
    v.replace(v.find("view N") + 5, 1, std::to_string(n));
    v.replace(v.find("label 0") + 6, 1, std::to_string(n));
    return v;
  };
  EXPECT_EQ(result.out, "lock 1\n" + pairIn(1) + "lock 2\n" + pairIn(2) +
                            "unlock 2\n"  // the pair is gone; controller 1 shows nothing
                            "lock 3\n" +
                            pairIn(3) +
                            "unlock 1\n"  // tears down the pair that lives in controller 3
                            "unlock 3\n");
}

TEST(LockScreen, TenThousandCyclesEndClean) {
  DeviceRoot root;
  std::string scenario =
      "status IsCharging=true AppleRawMaxCapacity=1500 AppleRawCurrentCapacity=600 "
      "InstantAmperage=1000\n";
  for (int i = 0; i < 10000; ++i) scenario += "lock\nunlock\n";
  const auto result = root.runScenario(scenario);
  // Under the sanitizer build, LeakSanitizer fails the run on any leak.
  EXPECT_EQ(result.exitCode, 0) << result.err.substr(0, 2000);
  EXPECT_EQ(result.err, "");
  const std::string last = "unlock 10000\n";
  ASSERT_GE(result.out.size(), last.size());
  EXPECT_EQ(result.out.substr(result.out.size() - last.size()), last);
}

}  // namespace

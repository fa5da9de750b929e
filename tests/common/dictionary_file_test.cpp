#include "common/dictionary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "tests/support/binary_plist.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace brimwell {
namespace {

using testing_support::binaryPlistOf;
using testing_support::plistXml;
using testing_support::TempDir;

// Every kind of value a property list can hold, nested ones included.
const std::string kEveryKind = plistXml(
    "<key>AppleRawCurrentCapacity</key><integer>1750</integer>"
    "<key>InstantAmperage</key><integer>-523</integer>"
    "<key>Huge</key><integer>9223372036854775807</integer>"
    "<key>Real</key><real>0.30000000000000004</real>"
    "<key>Tiny</key><real>4.9406564584124654e-324</real>"
    "<key>IsCharging</key><true/>"
    "<key>FullyCharged</key><false/>"
    "<key>Serial</key><string>C0&lt;&amp;&gt;\xE2\x84\x83</string>"
    "<key>Stamp</key><date>2014-09-19T08:30:00Z</date>"
    "<key>Blob</key><data>AAECAwQ=</data>"
    "<key>List</key><array><integer>1</integer><string>two</string></array>"
    "<key>AdapterDetails</key><dict><key>Watts</key><integer>5</integer></dict>");

TEST(ReadDictionaryFile, AcceptsOnlyADictionaryFromARegularFile) {
  TempDir dir;
  const struct {
    const char* name;
    std::function<std::string()> make;  // gives the path to read
    const char* why;                    // nullptr: a dictionary
  } cases[] = {
      {"xml dictionary", [&] { return dir.write("a.plist", kEveryKind); }, nullptr},
      {"binary dictionary", [&] { return dir.write("b.plist", binaryPlistOf(kEveryKind)); },
       nullptr},
      {"array at top",
       [&] {
         return dir.write("c.plist", "<plist version=\"1.0\"><array><true/></array></plist>");
       },
       "its top level is not a dictionary"},
      {"string at top", [&] { return dir.write("d.plist", "<plist><string>x</string></plist>"); },
       "its top level is not a dictionary"},
      {"garbage", [&] { return dir.write("e.plist", "not a property list"); },
       "line 1: syntax error"},
      {"truncated", [&] { return dir.write("f.plist", kEveryKind.substr(0, 200)); },
       "line 2: no element found"},
      {"empty", [&] { return dir.write("g.plist", ""); }, "line 1: no element found"},
      {"absent", [&] { return dir.path() + "/absent.plist"; }, "No such file or directory"},
      {"directory", [&] { return dir.path(); }, "not a regular file"},
      {"fifo",
       [&] {
         const std::string p = dir.path() + "/fifo";
         mkfifo(p.c_str(), 0600);
         return p;
       },
       "not a regular file"},
      {"just under the size limit",
       [&] {
         std::string xml = kEveryKind;
         xml.insert(xml.find("<plist"), kMaxDictionaryFileBytes - xml.size(), ' ');
         return dir.write("h.plist", xml);
       },
       nullptr},
      {"over the size limit",
       [&] {
         std::string xml = kEveryKind;
         xml.insert(xml.find("<plist"), kMaxDictionaryFileBytes + 1 - xml.size(), ' ');
         return dir.write("i.plist", xml);
       },
       "larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    std::string why;
    const Plist read = readDictionaryFile(c.make(), &why);
    EXPECT_EQ(read.isDictionary(), c.why == nullptr) << c.name;
    EXPECT_EQ(static_cast<bool>(read), c.why == nullptr) << c.name;
    EXPECT_EQ(why, c.why ? c.why : "") << c.name;
  }
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WriteDictionaryFile, EveryKeyAndValueRoundTripsUnchanged) {
  TempDir dir;
  const std::string path = dir.path() + "/batteryStatus.plist";
  const Plist original = Plist::fromMemory(kEveryKind);
  ASSERT_TRUE(writePropertyListAtomically(original, path));
  const Plist back = readDictionaryFile(path);
  ASSERT_TRUE(back.isDictionary());
  EXPECT_EQ(back.toXml(), original.toXml());
  EXPECT_TRUE(back == original);
  EXPECT_EQ(back.item("Real")->realValue(), 0.1 + 0.2);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"batteryStatus.plist"});
  EXPECT_EQ(dir.read("batteryStatus.plist").rfind("<?xml", 0), 0u) << "written as XML";
}

TEST(WriteDictionaryFile, ModeIsWhatAPlainCreateGives) {
  for (mode_t mask : {022, 077, 002}) {
    TempDir dir;
    const std::string path = dir.path() + "/s.plist";
    const mode_t previous = umask(mask);
    const bool written = writePropertyListAtomically(Plist::fromMemory(kEveryKind), path);
    umask(previous);
    ASSERT_TRUE(written);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
  }
}

TEST(WriteDictionaryFile, ReplacesAPlantedSymlinkWithoutFollowingIt) {
  TempDir dir;
  const std::string victim = dir.write("elsewhere/victim", "keep me");
  const std::string path = dir.path() + "/s.plist";
  fs::create_symlink(victim, path);
  ASSERT_TRUE(writePropertyListAtomically(Plist::fromMemory(kEveryKind), path));
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_TRUE(readDictionaryFile(path).isDictionary());
  EXPECT_EQ(dir.read("elsewhere/victim"), "keep me");
}

TEST(WriteDictionaryFile, FailureLeavesThePreviousFileAndNoTemporary) {
  TempDir dir;
  const std::string path = dir.path() + "/s.plist";
  const std::string first = plistXml("<key>A</key><integer>1</integer>");
  ASSERT_TRUE(writePropertyListAtomically(Plist::fromMemory(first), path));
  const std::string before = dir.read("s.plist");

  Plist farFuture = Plist::newDictionary();
  farFuture.setItem("d", Plist::date(1e12));
  const struct {
    const char* name;
    std::function<bool(std::string*)> write;
    const char* why;
  } failures[] = {
      {"no value",
       [&](std::string* why) { return writePropertyListAtomically(Plist(), path, why); },
       "cannot be written as a property list: no value to write"},
      {"a date past the year 9999",
       [&](std::string* why) { return writePropertyListAtomically(farFuture, path, why); },
       "cannot be written as a property list: a date outside the years 1 to 9999"},
      {"missing folder",
       [&](std::string* why) {
         return writePropertyListAtomically(Plist::fromMemory(kEveryKind),
                                            dir.path() + "/no/such/s.plist", why);
       },
       "cannot create a temporary file: No such file or directory"},
      {"path is a folder",
       [&](std::string* why) {
         fs::create_directory(dir.path() + "/folder");
         return writePropertyListAtomically(Plist::fromMemory(kEveryKind), dir.path() + "/folder",
                                            why);
       },
       "rename: Is a directory"},
  };
  for (const auto& f : failures) {
    std::string why;
    errno = 0;
    EXPECT_FALSE(f.write(&why)) << f.name;
    EXPECT_EQ(why, f.why) << f.name;
    EXPECT_EQ(dir.read("s.plist"), before) << f.name;
  }
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"folder", "s.plist"}));

  // The next good write replaces the file as usual.
  ASSERT_TRUE(writePropertyListAtomically(Plist::fromMemory(kEveryKind), path));
  EXPECT_EQ(readDictionaryFile(path).toXml(), Plist::fromMemory(kEveryKind).toXml());
}

}  // namespace
}  // namespace brimwell

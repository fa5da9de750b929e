#include "common/dictionary_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace brimwell {
namespace {

using testing_support::plistXml;
using testing_support::TempDir;

std::string binaryOf(const std::string& xml) {
  Plist p = Plist::fromMemory(xml);
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(p.get(), &bytes, &length);
  std::string out(bytes, length);
  plist_to_bin_free(bytes);
  return out;
}

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
    bool dictionary;
  } cases[] = {
      {"xml dictionary", [&] { return dir.write("a.plist", kEveryKind); }, true},
      {"binary dictionary", [&] { return dir.write("b.plist", binaryOf(kEveryKind)); }, true},
      {"array at top",
       [&] {
         return dir.write("c.plist", "<plist version=\"1.0\"><array><true/></array></plist>");
       },
       false},
      {"string at top", [&] { return dir.write("d.plist", "<plist><string>x</string></plist>"); },
       false},
      {"garbage", [&] { return dir.write("e.plist", "not a property list"); }, false},
      {"truncated", [&] { return dir.write("f.plist", kEveryKind.substr(0, 200)); }, false},
      {"empty", [&] { return dir.write("g.plist", ""); }, false},
      {"absent", [&] { return dir.path() + "/absent.plist"; }, false},
      {"directory", [&] { return dir.path(); }, false},
      {"fifo",
       [&] {
         const std::string p = dir.path() + "/fifo";
         mkfifo(p.c_str(), 0600);
         return p;
       },
       false},
      {"just under the size limit",
       [&] {
         std::string xml = kEveryKind;
         xml.insert(xml.find("<plist"), kMaxDictionaryFileBytes - xml.size(), ' ');
         return dir.write("h.plist", xml);
       },
       true},
      {"over the size limit",
       [&] {
         std::string xml = kEveryKind;
         xml.insert(xml.find("<plist"), kMaxDictionaryFileBytes + 1 - xml.size(), ' ');
         return dir.write("i.plist", xml);
       },
       false},
  };
  for (const auto& c : cases) {
    const Plist read = readDictionaryFile(c.make());
    EXPECT_EQ(read.isDictionary(), c.dictionary) << c.name;
    EXPECT_EQ(static_cast<bool>(read), c.dictionary) << c.name;
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
  ASSERT_TRUE(writeDictionaryFileAtomically(original, path));
  const Plist back = readDictionaryFile(path);
  ASSERT_TRUE(back.isDictionary());
  EXPECT_EQ(back.toXml(), original.toXml());
  double real = 0;
  plist_get_real_val(back.item("Real"), &real);
  EXPECT_EQ(real, 0.1 + 0.2);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"batteryStatus.plist"});
  EXPECT_EQ(dir.read("batteryStatus.plist").rfind("<?xml", 0), 0u) << "written as XML";
}

TEST(WriteDictionaryFile, ModeIsWhatAPlainCreateGives) {
  for (mode_t mask : {022, 077, 002}) {
    TempDir dir;
    const std::string path = dir.path() + "/s.plist";
    const mode_t previous = umask(mask);
    const bool written = writeDictionaryFileAtomically(Plist::fromMemory(kEveryKind), path);
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
  ASSERT_TRUE(writeDictionaryFileAtomically(Plist::fromMemory(kEveryKind), path));
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_TRUE(readDictionaryFile(path).isDictionary());
  EXPECT_EQ(dir.read("elsewhere/victim"), "keep me");
}

TEST(WriteDictionaryFile, FailureLeavesThePreviousFileAndNoTemporary) {
  TempDir dir;
  const std::string path = dir.path() + "/s.plist";
  const std::string first = plistXml("<key>A</key><integer>1</integer>");
  ASSERT_TRUE(writeDictionaryFileAtomically(Plist::fromMemory(first), path));
  const std::string before = dir.read("s.plist");

  const struct {
    const char* name;
    std::function<bool()> write;
  } failures[] = {
      {"not a dictionary",
       [&] { return writeDictionaryFileAtomically(Plist(plist_new_array()), path); }},
      {"null", [&] { return writeDictionaryFileAtomically(Plist(), path); }},
      {"missing folder",
       [&] {
         return writeDictionaryFileAtomically(Plist::fromMemory(kEveryKind),
                                              dir.path() + "/no/such/s.plist");
       }},
      {"path is a folder",
       [&] {
         fs::create_directory(dir.path() + "/folder");
         return writeDictionaryFileAtomically(Plist::fromMemory(kEveryKind),
                                              dir.path() + "/folder");
       }},
  };
  for (const auto& f : failures) {
    EXPECT_FALSE(f.write()) << f.name;
    EXPECT_EQ(dir.read("s.plist"), before) << f.name;
  }
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"folder", "s.plist"}));

  // The next good write replaces the file as usual.
  ASSERT_TRUE(writeDictionaryFileAtomically(Plist::fromMemory(kEveryKind), path));
  EXPECT_EQ(readDictionaryFile(path).toXml(), Plist::fromMemory(kEveryKind).toXml());
}

}  // namespace
}  // namespace brimwell

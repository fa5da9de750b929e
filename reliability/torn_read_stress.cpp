// A writer process replaces the status file N times with dictionaries of varying size while a
// reader process parses it continuously. Every read must be complete and equal to the one
// dictionary that was written with its sequence number.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "common/dictionary_file.h"
#include "common/value_conversions.h"

namespace {

using brimwell::Plist;

// The dictionary written n-th: the battery keys, the sequence number and a payload whose size
// varies from a few bytes to about 12 KB, so that a torn read would show.
Plist dictionaryNumber(int64_t n) {
  Plist d = Plist::newDictionary();
  d.setItem("Sequence", Plist::integer(n));
  d.setItem("AppleRawCurrentCapacity", Plist::integer(1000 + n % 700));
  d.setItem("AppleRawMaxCapacity", Plist::integer(1715));
  d.setItem("InstantAmperage", Plist::integer(-(n % 900)));
  d.setItem("IsCharging", Plist::boolean(n % 2));
  const size_t payload = static_cast<size_t>((n * 7919) % 12000);
  d.setItem("Payload", Plist::string(std::string(payload, static_cast<char>('a' + n % 26))));
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t writes = argc > 1 ? std::atoll(argv[1]) : 20000;
  const std::string folder =
      argc > 2 ? argv[2] : std::filesystem::temp_directory_path() / "brimwell-torn";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/batteryStatus.plist";
  const std::string done = folder + "/done";
  std::filesystem::remove(path);
  std::filesystem::remove(done);

  const pid_t reader = fork();
  if (reader == 0) {
    long reads = 0, complete = 0, torn = 0, absent = 0;
    std::set<int64_t> seen;
    for (bool last = false;;) {
      last = std::filesystem::exists(done);
      const Plist d = brimwell::readDictionaryFile(path);
      ++reads;
      if (!d) {
        ++absent;  // only before the first write
      } else {
        const int64_t n = brimwell::intValueOf(d.item("Sequence"));
        if (d.toXml() == dictionaryNumber(n).toXml()) {
          ++complete;
          seen.insert(n);
        } else {
          ++torn;
        }
      }
      if (last) break;
    }
    std::printf(
        "reads %ld, complete %ld, torn or wrong %ld, absent (before the first write) %ld, "
        "distinct dictionaries seen %zu\n",
        reads, complete, torn, absent, seen.size());
    std::fflush(stdout);
    _exit(torn == 0 ? 0 : 1);
  }

  long failed = 0;
  for (int64_t n = 0; n < writes; ++n) {
    if (!brimwell::writePropertyListAtomically(dictionaryNumber(n), path)) ++failed;
  }
  std::FILE* marker = std::fopen(done.c_str(), "w");
  if (marker) std::fclose(marker);
  int status = 0;
  waitpid(reader, &status, 0);
  std::printf("writes %lld, failed writes %ld\n", static_cast<long long>(writes), failed);
  std::filesystem::remove_all(folder);
  return failed == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/byte_input.h"
#include "common/dictionary_file.h"
#include "common/plist.h"
#include "common/plist_array_stream.h"
#include "host/sources/battery_source.h"

namespace host {

// Recordings are the user's own files, read as every other input is (a regular file, read
// strictly), and may be up to this size: an hour of a laptop's battery is about 2 MB. The
// recorder writes nothing larger than a replay reads.
inline constexpr size_t kMaxRecordingBytes = 64 * 1024 * 1024;

// One recorded status may be up to this much text and this many values (a laptop's is about
// 2 KB and 40 values), so that what a replay holds is bounded whatever the recording's size.
inline constexpr brimwell::ElementLimits kRecordedStatusLimits = {256 * 1024, 4096};

// An element of a recording: either a dictionary {delay = seconds; status = {...}} or a bare
// status dictionary (no delay). None, with why ("is not a dictionary", "has a bad delay", "has
// a status that is not a dictionary"), for anything else.
struct RecordedStatus {
  double delay = 0;
  brimwell::Plist status;
};
std::optional<RecordedStatus> recordedStatusOf(brimwell::Plist element, std::string& why);

// A recorded session: status dictionaries in order, each after its delay (recorded seconds,
// divided by the speed). The recording is read as a stream, twice: whole before the run, to
// check every element and add up the delays, so that a bad one runs nothing; then an element
// at a time as each is due, only the next one held.
class ReplaySource : public BatterySource {
 public:
  // Null, with one line naming the recording, for a recording that is not one.
  static std::unique_ptr<ReplaySource> open(std::unique_ptr<brimwell::ByteInput> input,
                                            const std::string& name, double speed,
                                            std::string& why);
  std::optional<brimwell::Plist> tick(double realSeconds) override;
  bool finished() const override { return !next_; }
  double simulatedSeconds() const override { return elapsed_; }
  std::optional<double> plannedSeconds() const override { return planned_; }
  // A recording changed in place while it was replayed: the replay ends there, and says so.
  std::vector<std::string> takeNotices() override;

 private:
  ReplaySource(std::unique_ptr<brimwell::ByteInput> input, std::string name, double speed,
               double planned);
  void readNext();

  std::unique_ptr<brimwell::ByteInput> input_;
  std::string name_;
  std::unique_ptr<brimwell::PlistArrayStream> stream_;
  std::optional<RecordedStatus> next_;
  double planned_;
  double waited_ = 0;
  double elapsed_ = 0;
  std::vector<std::string> notices_;
};

// Reads a recording from a file, or from its bytes (`name` is used in the messages); null,
// with one line, for a recording that is not one.
std::unique_ptr<ReplaySource> loadReplay(const std::string& path, double speed, std::string& why);
std::unique_ptr<ReplaySource> replayFromBytes(std::string bytes, const std::string& name,
                                              double speed, std::string& why);

// Writes what a run delivered as a recording, a status at a time as each comes, into a file
// that takes the recording's name at the end; so the run's memory does not grow with it. Past
// kMaxRecordingBytes (what a replay accepts) it keeps no more.
class Recorder {
 public:
  explicit Recorder(std::string path, size_t limit = kMaxRecordingBytes)
      : path_(std::move(path)), limit_(limit) {}
  // Adds a status; the one line that says the recording stops here, once, when it does.
  std::optional<std::string> add(double simulatedSeconds, const brimwell::Plist& status);
  // Ends the file and puts it in place; false with why when it could not be written.
  bool write(std::string& why);
  size_t size() const { return count_; }

 private:
  std::string path_, footer_, failure_;
  brimwell::AtomicFileWriter file_;
  size_t limit_, bytes_ = 0, count_ = 0;
  bool stopped_ = false;
  double lastTime_ = 0;
};

}  // namespace host

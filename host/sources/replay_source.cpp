#include "host/sources/replay_source.h"

#include "common/dictionary_file.h"
#include "common/plist_xml_writer.h"
#include "common/value_conversions.h"

namespace host {

using brimwell::Plist;
using brimwell::PlistArrayStream;

namespace {

// Bytes the replay owns (a recording given whole, as the fuzzer gives it).
class OwnedBytes final : public brimwell::ByteInput {
 public:
  explicit OwnedBytes(std::string bytes) : bytes_(std::move(bytes)), view_(bytes_) {}
  uint64_t size() const override { return view_.size(); }
  bool read(uint64_t offset, char* into, size_t count, size_t& got, std::string& why) override {
    return view_.read(offset, into, count, got, why);
  }

 private:
  std::string bytes_;
  brimwell::MemoryInput view_;
};

// What is wrong with a recording, in one line that names it.
std::string faultOf(const PlistArrayStream& stream, const std::string& name) {
  switch (stream.fault()) {
    case PlistArrayStream::Fault::notAnArray:
      return name + " is not a property-list array of status dictionaries";
    case PlistArrayStream::Fault::tooLarge:
      return name + ": " + stream.why();
    case PlistArrayStream::Fault::unreadable:
      return "cannot read " + name + ": " + stream.why();
    default:
      return name + " is not a property list: " + stream.why();
  }
}

// Reads the whole recording, checking each element; false with why at the first fault.
bool check(brimwell::ByteInput& input, const std::string& name, double& planned, std::string& why) {
  const auto stream = PlistArrayStream::open(input, kRecordedStatusLimits);
  for (Plist element = stream->next(); element; element = stream->next()) {
    std::string what;
    const std::optional<RecordedStatus> entry = recordedStatusOf(std::move(element), what);
    if (!entry) {
      why = name + ": element " + std::to_string(stream->given() - 1) + " " + what;
      return false;
    }
    planned += entry->delay;
  }
  if (stream->fault() == PlistArrayStream::Fault::none) return true;
  why = faultOf(*stream, name);
  return false;
}

}  // namespace

std::optional<RecordedStatus> recordedStatusOf(Plist element, std::string& why) {
  if (!element.isDictionary()) {
    why = "is not a dictionary";
    return std::nullopt;
  }
  const Plist* status = element.item("status");
  const Plist* delay = element.item("delay");
  RecordedStatus entry;
  if (delay) {
    const bool number = delay->kind() == Plist::Kind::Real || delay->kind() == Plist::Kind::Integer;
    entry.delay =
        delay->kind() == Plist::Kind::Real ? delay->realValue() : brimwell::intValueOf(delay);
    if (!number || !(entry.delay >= 0 && entry.delay < 1e9)) {
      why = "has a bad delay";
      return std::nullopt;
    }
  }
  if (status && !status->isDictionary()) {
    why = "has a status that is not a dictionary";
    return std::nullopt;
  }
  entry.status = status ? status->copy() : std::move(element);
  return entry;
}

ReplaySource::ReplaySource(std::unique_ptr<brimwell::ByteInput> input, std::string name,
                           double speed, double planned)
    : BatterySource(speed),
      input_(std::move(input)),
      name_(std::move(name)),
      stream_(PlistArrayStream::open(*input_, kRecordedStatusLimits)),
      planned_(planned) {
  readNext();
}

std::unique_ptr<ReplaySource> ReplaySource::open(std::unique_ptr<brimwell::ByteInput> input,
                                                 const std::string& name, double speed,
                                                 std::string& why) {
  double planned = 0;
  if (!check(*input, name, planned, why)) return nullptr;
  return std::unique_ptr<ReplaySource>(new ReplaySource(std::move(input), name, speed, planned));
}

// The file was checked whole before the run; a fault now means it changed in place since.
void ReplaySource::readNext() {
  next_.reset();
  Plist element = stream_->next();
  std::string what;
  if (element) next_ = recordedStatusOf(std::move(element), what);
  if (next_ || (!element && stream_->fault() == PlistArrayStream::Fault::none)) return;
  if (what.empty()) what = faultOf(*stream_, name_);
  notices_.push_back(name_ + " changed while it was replayed (" + what + "): the replay ends here");
}

std::optional<Plist> ReplaySource::tick(double realSeconds) {
  if (finished()) return std::nullopt;
  waited_ += realSeconds * speed();
  elapsed_ += realSeconds * speed();
  if (waited_ < next_->delay) return std::nullopt;
  waited_ = 0;
  Plist status = std::move(next_->status);
  readNext();
  return status;
}

std::vector<std::string> ReplaySource::takeNotices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

std::unique_ptr<ReplaySource> loadReplay(const std::string& path, double speed, std::string& why) {
  std::string cause;
  auto input = brimwell::FileInput::open(path, kMaxRecordingBytes, cause);
  if (!input) {
    why = "cannot read " + path + ": " + cause;
    return nullptr;
  }
  return ReplaySource::open(std::move(input), path, speed, why);
}

std::unique_ptr<ReplaySource> replayFromBytes(std::string bytes, const std::string& name,
                                              double speed, std::string& why) {
  return ReplaySource::open(std::make_unique<OwnedBytes>(std::move(bytes)), name, speed, why);
}

std::optional<std::string> Recorder::add(double simulatedSeconds, const Plist& status) {
  if (stopped_) return std::nullopt;
  Plist one = Plist::newArray();
  Plist element = Plist::newDictionary();
  element.setItem("delay", Plist::real(simulatedSeconds - lastTime_));
  element.setItem("status", status.copy());
  one.append(std::move(element));
  lastTime_ = simulatedSeconds;
  // The text of a recording of this one status: the array's opening, the status, the ending.
  std::string unwritable;
  const std::optional<std::string> xml = brimwell::xmlPropertyList(one, &unwritable);
  const size_t open = xml ? xml->find("<array>\n") : std::string::npos;
  const size_t close = xml ? xml->rfind("</array>") : std::string::npos;
  if (open == std::string::npos || close == std::string::npos) {
    failure_ = "cannot be written as a property list: " + unwritable;
    stopped_ = true;
    return std::nullopt;
  }
  const size_t start = open + 8;
  if (count_ == 0) {
    footer_ = xml->substr(close);
    if (!file_.open(path_, &failure_) ||
        !file_.append(std::string_view(*xml).substr(0, start), &failure_)) {
      stopped_ = true;
      return std::nullopt;
    }
    bytes_ = start;
  }
  const std::string_view entry = std::string_view(*xml).substr(start, close - start);
  if (bytes_ + entry.size() + footer_.size() > limit_) {
    stopped_ = true;
    const std::string size = limit_ % (1 << 20) == 0 ? std::to_string(limit_ >> 20) + " MiB"
                                                     : std::to_string(limit_ >> 10) + " KiB";
    return "recording stopped at " + size + ", the most a replay takes: " + path_ +
           " keeps the first " + std::to_string(count_) + " statuses";
  }
  if (!file_.append(entry, &failure_)) {
    stopped_ = true;
    return std::nullopt;
  }
  bytes_ += entry.size();
  ++count_;
  return std::nullopt;
}

bool Recorder::write(std::string& why) {
  if (!failure_.empty()) {
    why = failure_;
    return false;
  }
  // A run that delivered nothing still leaves a recording: an empty one.
  if (count_ == 0) return brimwell::writePropertyListAtomically(Plist::newArray(), path_, &why);
  return file_.append(footer_, &why) && file_.commit(brimwell::Durability::rename, &why);
}

}  // namespace host

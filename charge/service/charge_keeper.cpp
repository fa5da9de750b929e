#include "charge/service/charge_keeper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "charge/charge_bus.h"
#include "charge/kept_limits.h"

namespace brimwell::charge {
namespace {

std::string describe(const ThresholdWrite& w) {
  return w.battery + " " + (w.threshold == Threshold::End ? "limit " : "start ") +
         std::to_string(w.previous) + " -> " + std::to_string(w.value);
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::vector<std::string> namesOf(const std::vector<BatteryThresholds>& batteries) {
  std::vector<std::string> names;
  for (const auto& b : batteries) names.push_back(b.name);
  return names;
}

}  // namespace

ChargeKeeper::ChargeKeeper(PowerSupplyFolder folder, std::string stateDir, std::string bootId,
                           Log log)
    : folder_(std::move(folder)),
      file_(stateDir + "/" + kKeptFileName),
      bootId_(std::move(bootId)),
      log_(std::move(log)) {
  load();
}

// Read afresh before each change, so that a service started while another was ending builds on
// what that one kept.
void ChargeKeeper::load() {
  if (unsaved_) return;
  const KeptFileText read = readKeptFile(file_);
  if (read.absent) return;  // nothing kept yet
  auto kept = read.text ? keptFromJson(*read.text) : std::nullopt;
  if (kept) {
    kept_ = std::move(*kept);
    damagedSaid_ = false;
  } else if (!damagedSaid_) {
    damagedSaid_ = true;
    log_(file_ + " is damaged: no limit is put back until one is set again");
  }
}

std::string ChargeKeeper::store(const KeptState& kept) const {
  const std::string temporary = file_ + ".new";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return "cannot write " + temporary + ": " + std::strerror(errno);
  const bool written = writeAll(fd, keptToJson(kept)) && ::fsync(fd) == 0;
  const int error = errno;
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), file_.c_str()) != 0) {
    const std::string why = std::strerror(written ? errno : error);
    ::unlink(temporary.c_str());
    return "cannot write " + file_ + ": " + why;
  }
  return {};
}

Outcome ChargeKeeper::apply(const Plan& plan, const std::string& what) {
  if (plan.errorName) return {plan.errorName, plan.refusal};
  for (const auto& w : plan.writes) {
    const std::string why = folder_.whyNotWritable(w);
    if (!why.empty()) return {kErrorNoLimit, why};
  }
  for (size_t i = 0; i < plan.writes.size(); ++i) {
    const std::string refusal = folder_.write(plan.writes[i]);
    if (refusal.empty()) continue;
    // Whole or not at all: what this plan wrote before the refusal goes back.
    for (size_t j = i; j-- > 0;) {
      ThresholdWrite back = plan.writes[j];
      back.value = back.previous;
      folder_.write(back);
    }
    log_(what + ": " + refusal);
    return {kErrorRefused, refusal};
  }
  for (const auto& w : plan.writes) log_(what + ": " + describe(w));
  if (plan.kept == kept_ && !unsaved_) return {};
  // What was set holds for this boot whether or not the file takes it.
  kept_ = plan.kept;
  const std::string why = keep(what);
  if (why.empty()) return {};
  return {kErrorNotKept, "the limit is set but cannot be kept for the next boot: " + why};
}

std::string ChargeKeeper::keep(const std::string& what) {
  const std::string why = store(kept_);
  if (why.empty() && unsaved_) log_(what + ": kept in " + file_ + " again");
  if (!why.empty() && !unsaved_)
    log_(what + ": " + why + "; what is set holds until the next boot");
  unsaved_ = !why.empty();
  return why;
}

bool ChargeKeeper::keepUnsaved() {
  return !unsaved_ || keep("tried again").empty();
}

Outcome ChargeKeeper::setLimits(const LimitsRequest& request, const std::string& caller) {
  load();
  return apply(planLimits(request, folder_.batteries(), kept_), "set by " + caller);
}

Outcome ChargeKeeper::fullOnce(const std::string& battery, const std::string& caller) {
  load();
  return apply(planFullOnce(battery, folder_.batteries(), kept_, bootId_, folder_.externalPower()),
               "full once for " + caller);
}

void ChargeKeeper::putBack(const std::string& why, PutBack which,
                           const std::vector<std::string>& only) {
  load();
  auto batteries = folder_.batteries();
  seen_ = namesOf(batteries);
  if (!only.empty()) {
    batteries.erase(std::remove_if(batteries.begin(), batteries.end(),
                                   [&](const BatteryThresholds& b) {
                                     return std::find(only.begin(), only.end(), b.name) ==
                                            only.end();
                                   }),
                    batteries.end());
  }
  apply(planPutBack(batteries, kept_, bootId_, folder_.externalPower(), which),
        "put back (" + why + ")");
}

// Only what the change concerns is touched: the batteries that came, and those whose full once
// waits; a limit set by hand on another holds.
void ChargeKeeper::suppliesChanged() {
  const auto names = namesOf(folder_.batteries());
  std::vector<std::string> arrived;
  for (const std::string& name : names) {
    if (std::find(seen_.begin(), seen_.end(), name) == seen_.end()) arrived.push_back(name);
  }
  seen_ = names;
  if (!arrived.empty()) putBack("a battery arrived", PutBack::every, arrived);
  if (fullOnceWaiting()) {
    putBack(folder_.externalPower() ? "external power there" : "external power gone",
            PutBack::fullOnceWaiting);
  }
}

bool ChargeKeeper::fullOnceWaiting() const {
  return std::any_of(kept_.begin(), kept_.end(), [&](const auto& entry) {
    return fullOncePending(kept_, entry.first, bootId_);
  });
}

}  // namespace brimwell::charge

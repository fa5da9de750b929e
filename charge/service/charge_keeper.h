#pragma once

#include <functional>
#include <string>
#include <vector>

#include "charge/limits_plan.h"
#include "charge/service/power_supply_folder.h"

// The service's state and every write it makes, without the bus: the kept limits read at the
// start, each plan carried out whole or not at all, and the kept file written after each change.
namespace brimwell::charge {

struct Outcome {
  const char* errorName = nullptr;  // none: done
  std::string message;
};

class ChargeKeeper {
 public:
  using Log = std::function<void(const std::string&)>;
  // Reads what was kept; nothing is written before the first putBack().
  ChargeKeeper(PowerSupplyFolder folder, std::string stateDir, std::string bootId, Log log);

  Outcome setLimits(const LimitsRequest& request, const std::string& caller);
  Outcome fullOnce(const std::string& battery, const std::string& caller);
  // Puts the kept limits back where the driver lost them, of the batteries named in `only` (none:
  // all); `why` goes into the log. The first, at the start, also notes the batteries there, so
  // that a later one is seen to arrive.
  void putBack(const std::string& why, PutBack which = PutBack::every,
               const std::vector<std::string>& only = {});
  // A battery not seen before, or external power gone while a "full once" waits.
  void suppliesChanged();

  bool fullOnceWaiting() const;
  // What was set could not be written to the kept file: it holds in this service alone until
  // the file takes it. Tries the file again; whether it is kept now.
  bool keepUnsaved();
  const KeptState& kept() const { return kept_; }
  const std::string& bootId() const { return bootId_; }
  const PowerSupplyFolder& folder() const { return folder_; }

 private:
  Outcome apply(const Plan& plan, const std::string& what);
  std::string store(const KeptState& kept) const;
  // Writes kept_ to the file; its failure is said once, until the file takes it again. Empty, or
  // why not.
  std::string keep(const std::string& what);
  void load();

  PowerSupplyFolder folder_;
  std::string file_;
  std::string bootId_;
  Log log_;
  KeptState kept_;
  bool damagedSaid_ = false;
  // Newer than the kept file, which could not be written: the file is not read again, nor its
  // failure said again, until it takes what is here.
  bool unsaved_ = false;
  std::vector<std::string> seen_;
};

}  // namespace brimwell::charge

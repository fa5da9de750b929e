#include "host/low_battery/logind.h"

namespace host::low_battery {

bool logindMethods(Action action, const char*& can, const char*& method) {
  switch (action) {
    case Action::suspend:
      can = "CanSuspend", method = "Suspend";
      return true;
    case Action::hibernate:
      can = "CanHibernate", method = "Hibernate";
      return true;
    case Action::hybridSleep:
      can = "CanHybridSleep", method = "HybridSleep";
      return true;
    case Action::poweroff:
      can = "CanPowerOff", method = "PowerOff";
      return true;
    case Action::none:
    case Action::command:
      break;
  }
  return false;
}

}  // namespace host::low_battery

#pragma once

// How the charge service and its callers find each other on the system bus. The bus policy, the
// activation file and the polkit action installed with the package use these same names.
//
//   GetLimits() -> a(sbubub)
//       each system battery: name, has an end threshold, the end, has a start threshold, the
//       start, a "full once" is pending
//   SetLimits(s battery, u end, u start)
//       battery "" is every system battery that offers a limit; end 0 or start 0 leaves that
//       threshold as it is (at least one of them is given); stored, and put back after a boot, a
//       sleep or the battery's return; ends a pending "full once"
//   ChargeFullOnce(s battery)
//       the limit lifted until external power goes, then the stored limit put back
namespace brimwell::charge {

inline constexpr const char* kBusName = "org.tarnel.Brimwell.Charge";
inline constexpr const char* kObjectPath = "/org/tarnel/Brimwell/Charge";
inline constexpr const char* kInterface = "org.tarnel.Brimwell.Charge1";
inline constexpr const char* kPolkitAction = "org.tarnel.brimwell.set-charge-limits";

// The errors a call may end in; each carries one line for the user.
inline constexpr const char* kErrorNotAuthorized =
    "org.tarnel.Brimwell.Charge1.Error.NotAuthorized";
inline constexpr const char* kErrorNoLimit = "org.tarnel.Brimwell.Charge1.Error.NoLimit";
inline constexpr const char* kErrorNoSuchBattery =
    "org.tarnel.Brimwell.Charge1.Error.NoSuchBattery";
// The driver's own refusal, with its text (firmware that takes only some values says EINVAL).
inline constexpr const char* kErrorRefused = "org.tarnel.Brimwell.Charge1.Error.Refused";
inline constexpr const char* kErrorInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr const char* kErrorFailed = "org.freedesktop.DBus.Error.Failed";
// Done, but the state folder could not keep it: it holds until the next boot only.
inline constexpr const char* kErrorNotKept = "org.tarnel.Brimwell.Charge1.Error.NotKept";

}  // namespace brimwell::charge

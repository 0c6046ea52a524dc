// The events Veltrane writes to the Windows Application log. Their texts are
// the message table's (main/events.mc), compiled into veltrane.exe; a test
// keeps these ids and levels in step with it.
#pragma once
#include <cstdint>

#include "platform/event_log.h"

namespace events {

struct Event {
  uint32_t id;
  platform::EventLevel level;
};

using enum platform::EventLevel;

inline constexpr Event kProtectionStarted{1000, Information};
inline constexpr Event kProtectionEnded{1001, Information};
// Place, name, command.
inline constexpr Event kAutostartFound{2000, Warning};
inline constexpr Event kAutostartAllowed{2001, Information};
inline constexpr Event kAutostartDeleted{2002, Information};
inline constexpr Event kAutostartDeletedAndForbidden{2003, Information};
inline constexpr Event kAutostartPutBack{2004, Information};
// The first scan of the tasks or the services took the entry as known.
inline constexpr Event kAutostartTakenAsKnown{2005, Information};
// A known entry's program changed: place, name, command, company, signature.
inline constexpr Event kAllowedProgramChanged{2006, Warning};
// A service's start type set to disabled: nothing was deleted.
inline constexpr Event kServiceDisabled{2007, Information};
// The program's path.
inline constexpr Event kForbiddenStopped{3000, Warning};
inline constexpr Event kForbiddenAllowed{3001, Information};
inline constexpr Event kMovedToTrashcan{4000, Information};
inline constexpr Event kPutBackFromTrashcan{4001, Information};
inline constexpr Event kDeletedFromTrashcan{4002, Information};
// What changed.
inline constexpr Event kGuardedPlaceChanged{5000, Warning};
// The key, and "read", "change" or "delete".
inline constexpr Event kAccessRefused{6000, Error};
// The path or entry.
inline constexpr Event kRefusedToAct{6001, Error};
// The version; the archive's path.
inline constexpr Event kUpdateFound{7000, Information};
inline constexpr Event kUpdateDownloaded{7001, Information};

inline constexpr Event kAll[] = {
    kProtectionStarted, kProtectionEnded,     kAutostartFound,     kAutostartAllowed,     kAutostartDeleted,
    kAutostartDeletedAndForbidden,            kAutostartPutBack,   kAutostartTakenAsKnown, kAllowedProgramChanged, kServiceDisabled, kForbiddenStopped,     kForbiddenAllowed,
    kMovedToTrashcan,   kPutBackFromTrashcan, kDeletedFromTrashcan, kGuardedPlaceChanged, kAccessRefused,
    kRefusedToAct,      kUpdateFound,         kUpdateDownloaded,
};

}  // namespace events

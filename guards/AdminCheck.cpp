#include "guards/AdminCheck.h"

#include <cstddef>

namespace {

// TOKEN_GROUPS attributes (winnt.h).
constexpr std::uint32_t kGroupEnabled = 0x4;
constexpr std::uint32_t kGroupUseForDenyOnly = 0x10;

bool Counts(std::uint32_t attributes) {
  return (attributes & kGroupEnabled) != 0 &&
         (attributes & kGroupUseForDenyOnly) == 0;
}

// Whether the group list filled into a buffer of `size` bytes holds `sid`
// so that it counts. A count that would run past the buffer is not
// trusted.
bool GroupListHolds(PlatformOps& ops, const void* buffer, unsigned long size,
                    OsSid sid) {
  if (size < sizeof(TokenGroupList)) return false;
  const auto* list = static_cast<const TokenGroupList*>(buffer);
  const std::size_t room =
      (size - offsetof(TokenGroupList, groups)) / sizeof(TokenGroupEntry);
  if (list->groupCount > room) return false;
  const TokenGroupEntry* groups = list->groups;
  for (std::uint32_t i = 0; i < list->groupCount; ++i) {
    if (ops.EqualSids(groups[i].sid, sid)) {
      return Counts(groups[i].attributes);
    }
  }
  return false;
}

}  // namespace

int IsAdministrator(PlatformOps& ops) {
  OsHandle token = nullptr;
  if (!ops.OpenProcessTokenForQuery(&token)) return 0;

  unsigned long size = 0;
  unsigned long lastError = 0;
  if (ops.GetTokenGroups(token, nullptr, 0, &size, &lastError)) {
    ops.CloseOsHandle(token);
    ops.DebugOutput("GetTokenInformation return TRUE first call!\n");
    return 0;
  }
  if (lastError != os_error::kInsufficientBuffer) {
    ops.CloseOsHandle(token);
    ops.DebugOutput("GetTokenInformation return UNKOWN ERROR  first call!\n");
    return 0;
  }

  void* buffer = ops.AllocateZeroed(size);
  unsigned long filled = 0;
  const int listed =
      buffer != nullptr &&
      ops.GetTokenGroups(token, buffer, size, &filled, &lastError);
  ops.CloseOsHandle(token);
  if (!listed) {
    if (buffer != nullptr) ops.FreeBlock(buffer);
    return 0;
  }

  OsSid administrators = nullptr;
  if (!ops.AllocateAdministratorsSid(&administrators)) {
    ops.FreeBlock(buffer);
    return 0;
  }
  const bool member = GroupListHolds(ops, buffer, size, administrators);
  ops.FreeOsSid(administrators);
  ops.FreeBlock(buffer);
  return member ? 1 : 0;
}


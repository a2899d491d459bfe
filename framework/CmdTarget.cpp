#include "framework/CmdTarget.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY noEntries[] = {{0, 0, nullptr}};
  static const AFX_MSGMAP rootMap = {nullptr, noEntries};
  return &rootMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message,
                                                     UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->getBaseMap ? map->getBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->thunk; ++entry) {
      if (entry->message == message && entry->id == id) return entry;
    }
  }
  return nullptr;
}

bool CCmdTarget::OnCmdMsg(UINT id) {
  const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, id);
  if (entry == nullptr) return false;
  entry->thunk(this, 0, 0);
  return true;
}

// Message maps: each class lists the window messages and commands it handles
// in a static table; a lookup walks the class's table, then its bases'.
#pragma once

#include <windows.h>

class CCmdTarget;

// Calls one handler on the object that owns the map, unpacking the message's
// parameters for it.
using AfxMsgThunk = LRESULT (*)(CCmdTarget* target, WPARAM wParam,
                                LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
  UINT message;  // window message; WM_COMMAND for commands
  UINT id;       // command id for WM_COMMAND entries, else 0
  AfxMsgThunk thunk;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*getBaseMap)();  // null for the root
  const AFX_MSGMAP_ENTRY* entries;    // ends with a null thunk
};

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

  // The handler for the message (for WM_COMMAND, for command `id`), or null.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT id) const;
  // Runs the handler of command `id`; false when this object has none.
  bool OnCmdMsg(UINT id);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                  \
 protected:                                    \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)           \
  const AFX_MSGMAP* theClass::GetMessageMap() const {    \
    return GetThisMessageMap();                          \
  }                                                      \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {      \
    using ThisClass [[maybe_unused]] = theClass;         \
    using TheBaseClass = baseClass;                      \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                            \
  {0, 0, nullptr}                                                    \
  }                                                                  \
  ;                                                                  \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                        entries};                    \
  return &messageMap;                                                \
  }

#define ON_COMMAND(id, memberFxn)                                \
  {WM_COMMAND, static_cast<UINT>(id),                            \
   [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {           \
     static_cast<ThisClass*>(target)->memberFxn();               \
     return 0;                                                   \
   }},

#define ON_WM_SYSCOMMAND()                                                   \
  {WM_SYSCOMMAND, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { \
     static_cast<ThisClass*>(target)->OnSysCommand(static_cast<UINT>(wParam), lParam); \
     return 0;                                                               \
   }},

#define ON_WM_PAINT()                                            \
  {WM_PAINT, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { \
     static_cast<ThisClass*>(target)->OnPaint();                 \
     return 0;                                                   \
   }},

#define ON_WM_QUERYDRAGICON()                                              \
  {WM_QUERYDRAGICON, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT { \
     return reinterpret_cast<LRESULT>(                                     \
         static_cast<ThisClass*>(target)->OnQueryDragIcon());              \
   }},

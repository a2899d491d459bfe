// What the main dialog does before it is shown, once the window exists: the
// guards, detection, the start-up warnings and the reading of the option.
#pragma once

#include "app/SettingToolState.h"
#include "platform/PlatformOps.h"

enum class StartupOutcome {
  ShowDialog,  // the dialog is to be shown
  EndProcess,  // the run is over: the caller ends the process with status 0
};

// Runs the start-up steps in their fixed order, ending with the option read
// into state.m_nSkipState. Every message box is owned by `owner`, the
// dialog's (not yet visible) window.
StartupOutcome RunStartupSequence(PlatformOps& ops, OsWindow owner,
                                  SettingToolState& state);

// Loading DLLs from the system folder only. The program is a loose exe that
// administrators start elevated from wherever they saved it (a Downloads
// folder full of other files, say); a DLL that Windows found beside the exe
// would run with their rights.
#pragma once

#include <windows.h>

// Restricts the search for every DLL loaded from now on (and the delay
// loads of the system DLLs themselves) to the system folder. Called first
// thing in the program's entry point. Where SetDefaultDllDirectories does
// not exist (Windows before the KB2533623 update), it at least takes the
// current directory out of the search.
void RestrictDllSearchToSystemFolder();

// Loads a DLL from the system folder and nowhere else; null on failure.
HMODULE LoadSystemLibrary(const char* fileName);

// A function of a loaded module, as its own type; null when it is missing.
// GetProcAddress hands out a generic pointer; going through void (*)() is
// the conversion the compiler accepts without a warning.
template <typename Function>
Function LookUpFunction(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

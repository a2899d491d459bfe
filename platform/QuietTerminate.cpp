// The C++ library's default terminate handler prints the name of an
// uncaught exception's type, and links a whole demangler into the exe for
// it: a third of the program's code. The program catches what it can throw
// (running out of memory); should anything still escape, it ends at once
// with a status of its own, without the name. Linked into each exe
// directly, so that the library's own handler is never pulled in.
#include "platform/QuietTerminate.h"

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::_Exit(kUnexpectedEndStatus); }
}  // namespace __gnu_cxx

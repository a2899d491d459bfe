// The C++ library's default terminate handler prints the name of an
// uncaught exception's type, and links a whole demangler into the exe for
// it: a third of the program's code. The program catches what it can throw
// (running out of memory); should anything still escape, it ends as abort()
// ends it, without the name. Linked into each exe directly, so that the
// library's own handler is never pulled in.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

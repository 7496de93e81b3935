// What the program does when C++ gives up (std::terminate): the standard
// library's default handler prints the pending exception's demangled type to
// standard error, which a GUI program does not have, and links the whole
// C++ demangler (about 45 KB) for it. This definition takes the place of the
// library's (the linker takes the program's own definition and never loads
// the library's copy); it leaves a line for a debugger and aborts, as the
// default handler does after printing.
#include <windows.h>

#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  ::OutputDebugStringA("lite_installer: terminate called\n");
  std::abort();
}

}  // namespace __gnu_cxx

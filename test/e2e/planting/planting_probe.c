// A program that loads the DLLs named on its command line by name alone,
// with the default search order (its own folder first): the control that
// shows the planting fixtures are loaded when nothing stops them. Exits with
// the number it could load.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  int loaded = 0;
  for (int i = 1; i < argc; ++i) {
    if (LoadLibraryW(argv[i]))
      ++loaded;
  }
  return loaded;
}

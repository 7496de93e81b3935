#ifndef TEST_SUPPORT_RECT_OPS_H_
#define TEST_SUPPORT_RECT_OPS_H_

#include <windows.h>

#include <ostream>
#include <tuple>

// Global, so that the tests' comparisons of RECT find them.
inline bool operator==(const RECT& a, const RECT& b) {
  return std::tie(a.left, a.top, a.right, a.bottom) ==
         std::tie(b.left, b.top, b.right, b.bottom);
}

inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

#endif  // TEST_SUPPORT_RECT_OPS_H_

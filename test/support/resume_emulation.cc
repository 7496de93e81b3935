#include "test/support/resume_emulation.h"

#include <algorithm>

#include "chrome/installer/norvel/util/network/downloader.h"

namespace test {

ScopedResumeBySkipping::ScopedResumeBySkipping() {
  installer::SetResumeFunctionForTesting(&Skip);
}

ScopedResumeBySkipping::~ScopedResumeBySkipping() {
  installer::SetResumeFunctionForTesting(nullptr);
}

// static
DWORD ScopedResumeBySkipping::Skip(HINTERNET request, DWORD offset) {
  char buffer[4096];
  DWORD skipped = 0;
  while (skipped < offset) {
    DWORD read = 0;
    const DWORD want = std::min<DWORD>(sizeof(buffer), offset - skipped);
    if (!::InternetReadFile(request, buffer, want, &read))
      return INVALID_SET_FILE_POINTER;
    if (read == 0) {
      ::SetLastError(ERROR_INTERNET_INVALID_OPERATION);
      return INVALID_SET_FILE_POINTER;
    }
    skipped += read;
  }
  return skipped;
}

}  // namespace test

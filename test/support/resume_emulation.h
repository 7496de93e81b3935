#ifndef TEST_SUPPORT_RESUME_EMULATION_H_
#define TEST_SUPPORT_RESUME_EMULATION_H_

#include <windows.h>

#include <wininet.h>

namespace test {

// Wine cannot resume a download (InternetSetFilePointer fails with 12016 and
// no Range goes out). While one of these lives, the downloader resumes the
// way a platform that can would deliver it: the request's first `offset`
// body bytes are read and dropped, so its next read starts at the offset of
// the whole resource, whose length stays the one announced. Serve the whole
// body (no Range needed). Set it up before downloads start.
class ScopedResumeBySkipping {
 public:
  ScopedResumeBySkipping();
  ScopedResumeBySkipping(const ScopedResumeBySkipping&) = delete;
  ScopedResumeBySkipping& operator=(const ScopedResumeBySkipping&) = delete;
  ~ScopedResumeBySkipping();

  // The emulated InternetSetFilePointer: the new position, or
  // INVALID_SET_FILE_POINTER when the body ends before `offset`.
  static DWORD Skip(HINTERNET request, DWORD offset);
};

}  // namespace test

#endif  // TEST_SUPPORT_RESUME_EMULATION_H_

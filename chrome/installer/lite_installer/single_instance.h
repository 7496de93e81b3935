#ifndef CHROME_INSTALLER_LITE_INSTALLER_SINGLE_INSTANCE_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SINGLE_INSTANCE_H_

#include "base/scoped_handle.h"

namespace lite_installer {

inline constexpr wchar_t kSingleInstanceMutexName[] =
    L"Local\\NorvelBrowserLiteInstallerMutex-"
    L"E523E369-4A72-4B13-AD57-5B956174172A";

// The mutex that allows one interactive installer per logon session.
class SingleInstanceMutex {
 public:
  SingleInstanceMutex() = default;
  SingleInstanceMutex(const SingleInstanceMutex&) = delete;
  SingleInstanceMutex& operator=(const SingleInstanceMutex&) = delete;
  // Releases the mutex when owned, then closes it.
  ~SingleInstanceMutex();

  // Creates the mutex and tries it without waiting. Only a clean
  // acquisition counts: an abandoned mutex or a failed creation mean that
  // another instance is (or was) running.
  bool TryAcquire();
  bool owned() const { return owned_; }

 private:
  base::ScopedKernelHandle mutex_;
  bool owned_ = false;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SINGLE_INSTANCE_H_

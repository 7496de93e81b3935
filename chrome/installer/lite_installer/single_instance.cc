#include "chrome/installer/lite_installer/single_instance.h"

namespace lite_installer {

SingleInstanceMutex::~SingleInstanceMutex() {
  if (owned_)
    ::ReleaseMutex(mutex_.get());
}

bool SingleInstanceMutex::TryAcquire() {
  mutex_.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
  owned_ = mutex_.is_valid() &&
           ::WaitForSingleObject(mutex_.get(), 0) == WAIT_OBJECT_0;
  return owned_;
}

}  // namespace lite_installer

#ifndef CHROME_INSTALLER_LITE_INSTALLER_TASKBAR_PROGRESS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_TASKBAR_PROGRESS_H_

#include <windows.h>
#include <shobjidl.h>

#include <memory>

namespace lite_installer {

// The progress the taskbar button of a window shows (ITaskbarList3).
class TaskbarProgress {
 public:
  virtual ~TaskbarProgress() = default;
  virtual HRESULT SetProgressState(HWND window, TBPFLAG state) = 0;
  virtual HRESULT SetProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) = 0;
};

// The system's taskbar list, or null when it cannot be created (nothing is
// reported then: a missing taskbar is no failure).
std::unique_ptr<TaskbarProgress> CreateTaskbarProgress();

// Tests replace the taskbar: Wine's answers S_OK to everything and the
// test display has no taskbar. Null restores the system's.
using TaskbarProgressFactory = std::unique_ptr<TaskbarProgress> (*)();
void SetTaskbarProgressFactoryForTesting(TaskbarProgressFactory factory);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_TASKBAR_PROGRESS_H_

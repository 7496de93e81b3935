#include "chrome/installer/lite_installer/taskbar_progress.h"

namespace lite_installer {

namespace {

// {56FDF344-FD6D-11D0-958A-006097C9A090}
constexpr CLSID kTaskbarListClsid = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
// {EA1AFB91-9E28-4B86-90E9-9E9F8A5EEFAF}
constexpr IID kTaskbarList3Iid = {
    0xEA1AFB91, 0x9E28, 0x4B86, {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF}};

class SystemTaskbarProgress : public TaskbarProgress {
 public:
  explicit SystemTaskbarProgress(ITaskbarList3* list) : list_(list) {}
  ~SystemTaskbarProgress() override { list_->Release(); }

  HRESULT SetProgressState(HWND window, TBPFLAG state) override {
    return list_->SetProgressState(window, state);
  }
  HRESULT SetProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) override {
    return list_->SetProgressValue(window, completed, total);
  }

 private:
  ITaskbarList3* list_;
};

std::unique_ptr<TaskbarProgress> CreateSystemTaskbarProgress() {
  void* list = nullptr;
  // CLSCTX_ALL: the list may live in or out of process.
  if (FAILED(::CoCreateInstance(kTaskbarListClsid, nullptr, CLSCTX_ALL, kTaskbarList3Iid,
                                &list)) ||
      !list) {
    return nullptr;
  }
  return std::make_unique<SystemTaskbarProgress>(static_cast<ITaskbarList3*>(list));
}

TaskbarProgressFactory g_factory = nullptr;

}  // namespace

std::unique_ptr<TaskbarProgress> CreateTaskbarProgress() {
  return g_factory ? g_factory() : CreateSystemTaskbarProgress();
}

void SetTaskbarProgressFactoryForTesting(TaskbarProgressFactory factory) {
  g_factory = factory;
}

}  // namespace lite_installer

#ifndef BASE_SCOPED_COM_PTR_H_
#define BASE_SCOPED_COM_PTR_H_

#include <unknwn.h>

namespace base {

// Owns one reference to a COM interface and releases it on destruction.
// Move-only.
template <typename Interface>
class ScopedComPtr {
 public:
  ScopedComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit ScopedComPtr(Interface* adopted) : ptr_(adopted) {}
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;
  ScopedComPtr(ScopedComPtr&& other) noexcept : ptr_(other.ptr_) {
    other.ptr_ = nullptr;
  }
  ScopedComPtr& operator=(ScopedComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = other.ptr_;
      other.ptr_ = nullptr;
    }
    return *this;
  }
  ~ScopedComPtr() { reset(); }

  Interface* get() const { return ptr_; }
  Interface* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void reset() {
    if (ptr_) {
      ptr_->Release();
      ptr_ = nullptr;
    }
  }
  // For out-parameters of creating calls; releases any current reference.
  Interface** Receive() {
    reset();
    return &ptr_;
  }
  // For creating calls that take a void** (QueryInterface and the like).
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

 private:
  Interface* ptr_ = nullptr;
};

}  // namespace base

#endif  // BASE_SCOPED_COM_PTR_H_

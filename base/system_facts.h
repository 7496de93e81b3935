#ifndef BASE_SYSTEM_FACTS_H_
#define BASE_SYSTEM_FACTS_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace base {

// Facts about the machine that a test cannot change under Wine (processor
// features, the Windows version, free disk space). Production code asks
// SystemFacts::Current(); tests install a subclass for their duration.
class SystemFacts {
 public:
  struct Version {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
  };

  virtual ~SystemFacts() = default;

  virtual bool IsProcessorFeaturePresent(DWORD feature) const;
  virtual std::optional<Version> GetWindowsVersion() const;
  // Bytes free to the caller on the volume of `folder`.
  virtual std::optional<uint64_t> GetFreeDiskSpace(const wchar_t* folder) const;
  // The user's region as two ISO 3166 letters ("RU"), empty when unknown.
  virtual std::string GetUserRegion() const;
  // GetUserDefaultUILanguage.
  virtual LANGID GetUserDefaultUILanguage() const;

  static const SystemFacts& Current();

 protected:
  friend class ScopedSystemFactsForTesting;
  static void Set(const SystemFacts* facts);
};

// Makes `facts` the current facts until destruction. Not thread-safe: set it
// up before the code under test starts threads.
class ScopedSystemFactsForTesting {
 public:
  explicit ScopedSystemFactsForTesting(const SystemFacts* facts);
  ScopedSystemFactsForTesting(const ScopedSystemFactsForTesting&) = delete;
  ScopedSystemFactsForTesting& operator=(const ScopedSystemFactsForTesting&) =
      delete;
  ~ScopedSystemFactsForTesting();
};

}  // namespace base

#endif  // BASE_SYSTEM_FACTS_H_

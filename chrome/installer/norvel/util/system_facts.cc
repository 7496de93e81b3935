#include "chrome/installer/norvel/util/system_facts.h"

namespace installer {
namespace {

const SystemFacts* g_override = nullptr;

}  // namespace

bool SystemFacts::IsProcessorFeaturePresent(DWORD feature) const {
  return ::IsProcessorFeaturePresent(feature) != FALSE;
}

std::optional<SystemFacts::Version> SystemFacts::GetWindowsVersion() const {
  OSVERSIONINFOW info = {sizeof(info)};
  // The manifest declares Windows 10 support, so the answer is not capped at
  // Windows 8.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info))
    return std::nullopt;
#pragma GCC diagnostic pop
  return Version{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

std::optional<uint64_t> SystemFacts::GetFreeDiskSpace(
    const wchar_t* folder) const {
  ULARGE_INTEGER free_to_caller;
  if (!::GetDiskFreeSpaceExW(folder, &free_to_caller, nullptr, nullptr))
    return std::nullopt;
  return free_to_caller.QuadPart;
}

// static
const SystemFacts& SystemFacts::Current() {
  static const SystemFacts real;
  return g_override ? *g_override : real;
}

// static
void SystemFacts::Set(const SystemFacts* facts) {
  g_override = facts;
}

ScopedSystemFactsForTesting::ScopedSystemFactsForTesting(
    const SystemFacts* facts) {
  SystemFacts::Set(facts);
}

ScopedSystemFactsForTesting::~ScopedSystemFactsForTesting() {
  SystemFacts::Set(nullptr);
}

}  // namespace installer

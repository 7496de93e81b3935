#ifndef CHROME_INSTALLER_LITE_INSTALLER_DELAYED_PARAMS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_DELAYED_PARAMS_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace lite_installer {

inline constexpr size_t kDelayedPathUnits = 261;   // 260 + NUL
inline constexpr size_t kDelayedNumberUnits = 33;  // 32 + NUL

// The block through which the interactive installer hands paths and choices
// to its elevated copy. It lives in a data section that Windows shares
// between all processes started from the same program file, so both see the
// same bytes at the same offsets; the layout is fixed.
struct DelayedParams {
  wchar_t browser_arc_path[kDelayedPathUnits];
  wchar_t clids_file_path[kDelayedPathUnits];
  wchar_t norvel_website_icon_file_path[kDelayedPathUnits];
  wchar_t installer_data_path[kDelayedPathUnits];
  wchar_t brand_package_path[kDelayedPathUnits];
  wchar_t partner_package_path[kDelayedPathUnits];
  wchar_t partner_package_override_path[kDelayedPathUnits];
  wchar_t histogram_download_time[kDelayedNumberUnits];
  wchar_t histogram_full_time[kDelayedNumberUnits];
  uint8_t send_statistics;
  uint8_t make_default;
  uint8_t install_nrpin;
  uint8_t padding[3];
  // The error kind of a failed setup run, written by whichever process
  // started setup; 0 when none.
  volatile int32_t error_kind;
};

static_assert(offsetof(DelayedParams, clids_file_path) == 0x20A);
static_assert(offsetof(DelayedParams, norvel_website_icon_file_path) == 0x414);
static_assert(offsetof(DelayedParams, installer_data_path) == 0x61E);
static_assert(offsetof(DelayedParams, brand_package_path) == 0x828);
static_assert(offsetof(DelayedParams, partner_package_path) == 0xA32);
static_assert(offsetof(DelayedParams, partner_package_override_path) == 0xC3C);
static_assert(offsetof(DelayedParams, histogram_download_time) == 0xE46);
static_assert(offsetof(DelayedParams, histogram_full_time) == 0xE88);
static_assert(offsetof(DelayedParams, send_statistics) == 0xECA);
static_assert(offsetof(DelayedParams, make_default) == 0xECB);
static_assert(offsetof(DelayedParams, install_nrpin) == 0xECC);
static_assert(offsetof(DelayedParams, error_kind) == 0xED0);
static_assert(sizeof(DelayedParams) == 3796);

// The process-shared block (shared_data.cc).
DelayedParams& GetDelayedParams();

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_DELAYED_PARAMS_H_

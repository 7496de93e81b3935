#include "chrome/installer/lite_installer/scale_factor.h"

#include <cstdlib>
#include <string>

#include "chrome/installer/lite_installer/installer_options.h"
#include "logging/file_logger.h"

namespace lite_installer {

double ComputeDeviceScaleFactor(std::string_view forced) {
  if (std::optional<double> factor = ParseForcedScaleFactor(forced))
    return *factor;
  if (!forced.empty()) {
    LOG(INFO) << "Ignoring device scale factor \"" << std::string(forced)
              << "\", using the screen's";
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen)
    ::ReleaseDC(nullptr, screen);
  return ScaleFactorForDpi(dpi);
}

std::optional<double> ParseForcedScaleFactor(std::string_view text) {
  if (text.empty())
    return std::nullopt;
  const std::string terminated(text);
  const double value = std::strtod(terminated.c_str(), nullptr);
  // Written so that NaN fails too.
  if (!(value > 0.0 && value <= kMaxDeviceScaleFactor))
    return std::nullopt;
  return value;
}

double ScaleFactorForDpi(int dpi) {
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

double GetDeviceScaleFactor() {
  // Thread-safe one-time initialisation: windows on two threads may ask
  // first at the same moment.
  static const double factor = ComputeDeviceScaleFactor(
      InstallerOptions::ForCurrentProcess().force_device_scale_factor);
  return factor;
}

int ScaleValue(int value) {
  return static_cast<int>(value * GetDeviceScaleFactor());
}

RECT ScaleRect(const RECT& rect) {
  return ScaleRectBy(rect, GetDeviceScaleFactor());
}

RECT ScaleRectBy(const RECT& rect, double factor) {
  auto scale = [factor](LONG value) { return static_cast<LONG>(value * factor); };
  return RECT{scale(rect.left), scale(rect.top), scale(rect.right), scale(rect.bottom)};
}

}  // namespace lite_installer

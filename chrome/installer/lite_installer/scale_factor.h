#ifndef CHROME_INSTALLER_LITE_INSTALLER_SCALE_FACTOR_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SCALE_FACTOR_H_

#include <windows.h>

#include <optional>
#include <string_view>

namespace lite_installer {

// The largest factor Windows offers (500 %). A forced factor above it
// would only overflow the scaled integers.
inline constexpr double kMaxDeviceScaleFactor = 5.0;

// The factor that turns the 96-dpi design sizes into device pixels and
// chooses between the picture densities: the "force-device-scale-factor"
// switch when it holds a usable factor, else the screen's horizontal dpi
// divided by 96. Computed on first use and kept for the process's life.
double GetDeviceScaleFactor();

// `value` times the factor, truncated toward zero.
int ScaleValue(int value);
// Each edge of `rect` scaled on its own.
RECT ScaleRect(const RECT& rect);
// Each edge times `factor`, truncated toward zero.
RECT ScaleRectBy(const RECT& rect, double factor);

// The factor a "force-device-scale-factor" text asks for: what strtod reads
// from it, when that is a finite number in (0, kMaxDeviceScaleFactor].
// Anything else (empty, unparsable, 0, negative, NaN, infinite, too large)
// gives nothing, and the screen decides.
std::optional<double> ParseForcedScaleFactor(std::string_view text);

// What GetDeviceScaleFactor computes, uncached, for the switch text
// `forced` (empty when the switch is absent). A text that is given but not
// usable is logged and the screen decides.
double ComputeDeviceScaleFactor(std::string_view forced);

// The factor for a screen of `dpi` dots per inch; 1 when the screen gave no
// usable answer.
double ScaleFactorForDpi(int dpi);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SCALE_FACTOR_H_

#ifndef BRAND_INSTALLER_TAG_H_
#define BRAND_INSTALLER_TAG_H_

#include <string>

namespace install_util {

// The tags of the dummy certificates in the signature of the executable at
// `path`, concatenated in certificate order; empty when there are none or on
// any failure. Failures are logged; a signed file without dummy
// certificates is not a failure.
std::string ExtractTagFromFakeCertificate(const std::wstring& path);

// The tag of the executable at `path`: the dummy certificates' tags, or
// when they give nothing, the tag block appended after the signature.
// Empty when neither holds a tag.
std::string ReadTagFromExecutable(const std::wstring& path);

// The path of the running executable; empty when it cannot be had in full.
std::wstring GetCurrentExecutablePath();

// ReadTagFromExecutable() for the running executable.
std::string ReadCurrentExecutableTag();

}  // namespace install_util

#endif  // BRAND_INSTALLER_TAG_H_

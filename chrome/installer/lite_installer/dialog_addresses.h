#ifndef CHROME_INSTALLER_LITE_INSTALLER_DIALOG_ADDRESSES_H_
#define CHROME_INSTALLER_LITE_INSTALLER_DIALOG_ADDRESSES_H_

// The web pages the error and notice dialogs open. Every host ends in a
// country suffix chosen from the brand id; the failure download page also
// forwards some distribution parameters. Pure string work.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lite_installer {

// The country suffix of the failure download page for `brand_id`.
std::string_view DownloadPageSuffix(std::string_view brand_id);
// The country suffix of the support, browser-site and feedback pages.
std::string_view SitePageSuffix(std::string_view brand_id);

// `value` with control characters, the space, both quotes, "<", ">" and
// bytes above 0x7F percent-escaped, everything else as it is: distribution
// values come from the unsigned tag, and the address goes to the shell's
// URL handler, which would split it at a quote or a space.
std::string EscapeForwardedValue(std::string_view value);

// The distribution parameters the failure download page forwards.
std::vector<std::string> FailurePageKeys();

// "https://" + `host_stem` + "." + suffix + path (and query).
// The failure download page forwards those of `params` whose key is one of
// FailurePageKeys(), in key order.
std::string FailureDownloadAddress(std::string_view host_stem,
                                   std::string_view brand_id,
                                   const std::map<std::string, std::string>& params);
std::string BrowserSiteAddress(std::string_view host_stem, std::string_view brand_id);
std::string FeedbackAddress(std::string_view host_stem, std::string_view brand_id);
std::string SupportAddress(std::string_view host_stem, std::string_view brand_id);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_DIALOG_ADDRESSES_H_

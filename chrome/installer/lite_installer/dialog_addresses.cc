#include "chrome/installer/lite_installer/dialog_addresses.h"

#include <algorithm>
#include <iterator>

namespace lite_installer {

namespace {

struct SuffixRow {
  std::string_view brand_id;
  std::string_view download_page;
  std::string_view site_pages;
};

constexpr SuffixRow kSuffixes[] = {
    {"by", "by", "ru"},       {"int", "com", "com"}, {"tb", "com.tr", "com.tr"},
    {"ua", "ua", "ru"},       {"ua-uk", "ua", "ua"}, {"ua-ru", "ua", "ua"},
    {"norvel", "ru", "ru"},
};
constexpr std::string_view kDefaultSuffix = "ru";

// The distribution parameters the failure download page receives.
constexpr std::string_view kForwardedKeys[] = {
    "banerid", "beta",  "betacusto", "bgid",       "calypso", "custo",
    "expcalypso", "football", "lang", "partner_id", "tablo",   "nrpartner_id",
};

const SuffixRow* FindRow(std::string_view brand_id) {
  for (const SuffixRow& row : kSuffixes) {
    if (row.brand_id == brand_id)
      return &row;
  }
  return nullptr;
}

std::string Address(std::string_view host_stem, std::string_view suffix, std::string_view path) {
  std::string address = "https://";
  address.append(host_stem).append(".").append(suffix).append(path);
  return address;
}

}  // namespace

std::vector<std::string> FailurePageKeys() {
  return std::vector<std::string>(std::begin(kForwardedKeys), std::end(kForwardedKeys));
}

std::string_view DownloadPageSuffix(std::string_view brand_id) {
  const SuffixRow* row = FindRow(brand_id);
  return row ? row->download_page : kDefaultSuffix;
}

std::string_view SitePageSuffix(std::string_view brand_id) {
  const SuffixRow* row = FindRow(brand_id);
  return row ? row->site_pages : kDefaultSuffix;
}

std::string EscapeForwardedValue(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(value.size());
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = byte > 0x20 && byte < 0x7F && c != '"' && c != '\'' && c != '<' &&
                       c != '>';
    if (plain) {
      escaped.push_back(c);
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 0xF]);
    }
  }
  return escaped;
}

std::string FailureDownloadAddress(std::string_view host_stem,
                                   std::string_view brand_id,
                                   const std::map<std::string, std::string>& params) {
  std::string address = Address(host_stem, DownloadPageSuffix(brand_id), "/download?");
  for (const auto& [key, value] : params) {
    if (std::find(std::begin(kForwardedKeys), std::end(kForwardedKeys), key) ==
        std::end(kForwardedKeys)) {
      continue;
    }
    address.append(key).append("=").append(EscapeForwardedValue(value)).append("&");
  }
  address.append("full=1&code=lite_install_failed");
  return address;
}

std::string BrowserSiteAddress(std::string_view host_stem, std::string_view brand_id) {
  return Address(host_stem, SitePageSuffix(brand_id), "/?from=installer");
}

std::string FeedbackAddress(std::string_view host_stem, std::string_view brand_id) {
  return Address(host_stem, SitePageSuffix(brand_id), "/feedback/?from=installer");
}

std::string SupportAddress(std::string_view host_stem, std::string_view brand_id) {
  return Address(host_stem, SitePageSuffix(brand_id), "/support/browser/about/install.xml");
}

}  // namespace lite_installer

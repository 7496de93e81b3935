#include "test/support/stat_request.h"

#include <windows.h>

#include <cstring>

#include "gtest/gtest.h"

namespace test {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

bool IsValidUtf8(const std::string& text) {
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) >
             0 ||
         text.empty();
}

// Undoes "%XX" once. A "%" not followed by two hexadecimal digits stays (the
// sender's segment escaping leaves a "%" of the value alone).
bool Unescape(const std::string& text, std::string* out, std::string* error) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#' || c == '/') {
      *error = "raw character " + std::to_string(c) + " in \"" + text + "\"";
      return false;
    }
    if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out->push_back(
          static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  if (!IsValidUtf8(*out)) {
    *error = "\"" + text + "\" is not UTF-8 once unescaped";
    return false;
  }
  return true;
}

bool Fail(std::string* error, const std::string& text) {
  if (error)
    *error = text;
  return false;
}

bool Decode(const std::string& path, StatRequest* request, std::string* error) {
  const size_t prefix_length = std::strlen(kStatRequestPrefix);
  if (path.compare(0, prefix_length, kStatRequestPrefix) != 0)
    return Fail(error, "not a statistics path: " + path);
  if (path.size() < prefix_length + 2 ||
      path.compare(path.size() - 2, 2, "/*") != 0) {
    return Fail(error, "no closing \"/*\": " + path);
  }
  const std::string body =
      path.substr(prefix_length, path.size() - 2 - prefix_length);
  // cid=N/path=P[/vars=...]; the variables hold no raw "/".
  std::vector<std::string> segments;
  size_t start = 0;
  for (;;) {
    const size_t slash = body.find('/', start);
    segments.push_back(body.substr(start, slash - start));
    if (slash == std::string::npos)
      break;
    start = slash + 1;
  }
  if (segments.size() < 2 || segments.size() > 3 ||
      segments[0].compare(0, 4, "cid=") != 0 ||
      segments[1].compare(0, 5, "path=") != 0) {
    return Fail(error, "bad segments: " + path);
  }
  request->counter_id = segments[0].substr(4);
  request->path = segments[1].substr(5);
  if (request->counter_id.empty() || request->path.empty())
    return Fail(error, "empty counter or path: " + path);
  if (segments.size() == 2)
    return true;
  if (segments[2].compare(0, 5, "vars=") != 0)
    return Fail(error, "third segment is not vars: " + path);
  const std::string vars = segments[2].substr(5);
  start = 0;
  for (;;) {
    const size_t comma = vars.find(',', start);
    const std::string item = vars.substr(start, comma - start);
    const size_t equals = item.find('=');
    if (item.empty() || item[0] != '-' || equals == std::string::npos ||
        item.find('=', equals + 1) != std::string::npos ||
        item.find('-', 1) != std::string::npos) {
      return Fail(error, "bad variable \"" + item + "\" in " + path);
    }
    std::string name, value, reason;
    if (!Unescape(item.substr(1, equals - 1), &name, &reason) ||
        !Unescape(item.substr(equals + 1), &value, &reason)) {
      return Fail(error, reason + " in " + path);
    }
    if (name.empty())
      return Fail(error, "empty name in " + path);
    request->vars.emplace_back(name, value);
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  return true;
}

}  // namespace

bool StatRequest::Has(const std::string& name) const {
  for (const auto& var : vars) {
    if (var.first == name)
      return true;
  }
  return false;
}

std::string StatRequest::Get(const std::string& name) const {
  for (const auto& var : vars) {
    if (var.first == name)
      return var.second;
  }
  return std::string();
}

std::vector<std::string> StatRequest::Names() const {
  std::vector<std::string> names;
  for (const auto& var : vars)
    names.push_back(var.first);
  return names;
}

std::string StatRequest::Event() const {
  const std::string stage = Get("stage");
  return stage.empty() ? Get("action") : Get("action") + "/" + stage;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out.push_back(
          static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::optional<StatRequest> DecodeStatRequest(const std::string& path,
                                             std::string* error) {
  StatRequest request;
  std::string reason;
  if (!Decode(path, &request, &reason)) {
    if (error)
      *error = reason;
    return std::nullopt;
  }
  return request;
}

std::vector<StatRequest> DecodeStatRequests(
    const std::vector<RecordedRequest>& requests) {
  std::vector<StatRequest> decoded;
  for (const RecordedRequest& request : requests) {
    if (request.path.compare(0, std::strlen("/installstats/"),
                             "/installstats/") != 0) {
      continue;
    }
    std::string error;
    std::optional<StatRequest> stat = DecodeStatRequest(request.path, &error);
    if (!stat) {
      ADD_FAILURE() << "malformed statistics request: " << error;
      continue;
    }
    decoded.push_back(std::move(*stat));
  }
  return decoded;
}

std::vector<StatRequest> WaitForStatRequests(FakeServices& services,
                                             size_t count,
                                             DWORD timeout_ms,
                                             int since) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<RecordedRequest> requests = services.Requests(since);
    size_t arrived = 0;
    for (const RecordedRequest& request : requests) {
      if (request.path.compare(0, std::strlen("/installstats/"),
                               "/installstats/") == 0) {
        ++arrived;
      }
    }
    if (arrived >= count || ::GetTickCount() - start >= timeout_ms)
      return DecodeStatRequests(requests);
    ::Sleep(50);
  }
}

}  // namespace test

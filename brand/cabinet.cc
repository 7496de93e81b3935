#include "brand/cabinet.h"

#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/system_library.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

using FDICreateFn = decltype(&::FDICreate);
using FDICopyFn = decltype(&::FDICopy);
using FDIDestroyFn = decltype(&::FDIDestroy);

struct CabinetFunctions {
  FDICreateFn create = nullptr;
  FDICopyFn copy = nullptr;
  FDIDestroyFn destroy = nullptr;
};

// Loads cabinet.dll from the system directory once per process and keeps
// it loaded.
const CabinetFunctions* GetCabinetFunctions() {
  static const CabinetFunctions functions = [] {
    CabinetFunctions result;
    HMODULE module = base::LoadSystemLibrary(L"cabinet.dll");
    if (!module)
      return result;
    result.create = reinterpret_cast<FDICreateFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "FDICreate")));
    result.copy = reinterpret_cast<FDICopyFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "FDICopy")));
    result.destroy = reinterpret_cast<FDIDestroyFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "FDIDestroy")));
    return result;
  }();
  if (!functions.create || !functions.copy || !functions.destroy)
    return nullptr;
  return &functions;
}

// FDI handles are pointers to one of these.
struct Stream {
  enum Kind { kCabinet, kOutput } kind;
  // kCabinet: the cabinet bytes and the read position.
  std::string_view data;
  size_t position = 0;
  // kOutput: the entry being extracted.
  std::string name;
  std::string output;
  bool too_large = false;
};

// The extraction running on this thread; FDI's open callback has no
// context argument, so the cabinet name identifies it.
struct Extraction {
  std::string_view bytes;
  std::string cabinet_name;
  std::string wanted_name;
  std::map<std::string, std::string>* entries;
};
thread_local Extraction* t_extraction = nullptr;

FNALLOC(Alloc) {
  return ::HeapAlloc(::GetProcessHeap(), 0, cb);
}

FNFREE(Free) {
  ::HeapFree(::GetProcessHeap(), 0, pv);
}

FNOPEN(Open) {
  Extraction* extraction = t_extraction;
  if (!extraction || !pszFile || extraction->cabinet_name != pszFile)
    return -1;
  Stream* stream = new Stream{Stream::kCabinet};
  stream->data = extraction->bytes;
  return reinterpret_cast<INT_PTR>(stream);
}

FNREAD(Read) {
  Stream* stream = reinterpret_cast<Stream*>(hf);
  if (stream->kind != Stream::kCabinet)
    return static_cast<UINT>(-1);
  size_t count = std::min<size_t>(cb, stream->data.size() - stream->position);
  memcpy(pv, stream->data.data() + stream->position, count);
  stream->position += count;
  return static_cast<UINT>(count);
}

FNWRITE(Write) {
  Stream* stream = reinterpret_cast<Stream*>(hf);
  if (stream->kind != Stream::kOutput)
    return static_cast<UINT>(-1);
  if (stream->output.size() + cb > kMaxCabinetEntrySize) {
    stream->too_large = true;
    return static_cast<UINT>(-1);
  }
  stream->output.append(static_cast<const char*>(pv), cb);
  return cb;
}

FNCLOSE(Close) {
  delete reinterpret_cast<Stream*>(hf);
  return 0;
}

FNSEEK(Seek) {
  Stream* stream = reinterpret_cast<Stream*>(hf);
  if (stream->kind != Stream::kCabinet)
    return -1;
  int64_t base = 0;
  if (seektype == SEEK_CUR)
    base = static_cast<int64_t>(stream->position);
  else if (seektype == SEEK_END)
    base = static_cast<int64_t>(stream->data.size());
  else if (seektype != SEEK_SET)
    dist = 0;  // unknown origins mean the start
  int64_t target = base + dist;
  if (target < 0 || target > static_cast<int64_t>(stream->data.size()))
    return -1;
  stream->position = static_cast<size_t>(target);
  return static_cast<__LONG32>(target);
}

FNFDINOTIFY(Notify) {
  Extraction* extraction = t_extraction;
  switch (fdint) {
    case fdintCABINET_INFO:
    case fdintENUMERATE:
      return 0;
    case fdintCOPY_FILE: {
      std::string name = pfdin->psz1 ? pfdin->psz1 : "";
      if (!extraction->wanted_name.empty() && extraction->wanted_name != name)
        return 0;  // skip
      if (pfdin->cb < 0 ||
          static_cast<uint64_t>(pfdin->cb) > kMaxCabinetEntrySize) {
        LOG(WARNING) << "Cabinet entry " << name << " is too large ("
                     << static_cast<uint64_t>(pfdin->cb) << " bytes)";
        return -1;
      }
      Stream* stream = new Stream{Stream::kOutput};
      stream->name = std::move(name);
      stream->output.reserve(pfdin->cb);
      return reinterpret_cast<INT_PTR>(stream);
    }
    case fdintCLOSE_FILE_INFO: {
      Stream* stream = reinterpret_cast<Stream*>(pfdin->hf);
      (*extraction->entries)[stream->name] = std::move(stream->output);
      delete stream;
      return 1;
    }
    default:
      // Spanned cabinets are not supported.
      return -1;
  }
}

}  // namespace

bool ExtractCabinetFromMemory(std::string_view bytes,
                              const std::string& wanted_name,
                              std::map<std::string, std::string>* entries) {
  const CabinetFunctions* fdi = GetCabinetFunctions();
  if (!fdi)
    return false;
  ERF erf = {};
  HFDI context = fdi->create(Alloc, Free, Open, Read, Write, Close, Seek,
                             cpuUNKNOWN, &erf);
  if (!context)
    return false;

  Extraction extraction;
  extraction.bytes = bytes;
  char name[32];
  std::snprintf(name, sizeof(name), "%llu",
                static_cast<unsigned long long>(
                    reinterpret_cast<uintptr_t>(&extraction)));
  extraction.cabinet_name = name;
  extraction.wanted_name = wanted_name;
  extraction.entries = entries;

  Extraction* previous = t_extraction;
  t_extraction = &extraction;
  char empty_path[1] = "";
  BOOL ok = fdi->copy(context, extraction.cabinet_name.data(), empty_path, 0,
                      Notify, nullptr, nullptr);
  t_extraction = previous;
  fdi->destroy(context);
  return ok != FALSE;
}

}  // namespace installer

// The Windows backend: CECompress.dll and Compress.dll of the platform tools, bound by name,
// or the built-in codecs where they are missing (backend_choice.h). The platform's DLLs are
// 32-bit: only the 32-bit programs bind them, the 64-bit ones always use the built-in codecs.
#include <windows.h>

#include <cstdlib>
#include <iostream>

#include "compress/backend_choice.h"
#include "compress/compression_library.h"

namespace codec {

namespace {

#if !defined(_WIN64)
// The exports take and return 32-bit values and clean up their own arguments (stdcall).
using CompressExport = DWORD(WINAPI*)(LPBYTE, DWORD, LPBYTE, DWORD, DWORD, DWORD);
using DecompressExport = DWORD(WINAPI*)(LPBYTE, DWORD, LPBYTE, DWORD, DWORD, DWORD, DWORD);

class WindowsLibrary final : public CompressionLibrary {
 public:
  CompressExport compress3 = nullptr;
  DecompressExport decompress3 = nullptr;
  DecompressExport decompress_rom = nullptr;
  CompressExport compress4 = nullptr;
  DecompressExport decompress4 = nullptr;
  HMODULE ce_compress = nullptr;
  HMODULE compress = nullptr;

  ~WindowsLibrary() override {
    if (ce_compress) FreeLibrary(ce_compress);
    if (compress) FreeLibrary(compress);
  }

  uint32_t CECompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t one, uint32_t page) const override {
    return compress3(const_cast<LPBYTE>(src), src_len, dst, dst_cap, one, page);
  }
  uint32_t CECompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t one, uint32_t page) const override {
    return compress4(const_cast<LPBYTE>(src), src_len, dst, dst_cap, one, page);
  }
  uint32_t CEDecompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t zero, uint32_t one, uint32_t page) const override {
    return decompress3(const_cast<LPBYTE>(src), src_len, dst, dst_cap, zero, one, page);
  }
  uint32_t CEDecompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t zero, uint32_t one, uint32_t page) const override {
    return decompress4(const_cast<LPBYTE>(src), src_len, dst, dst_cap, zero, one, page);
  }
  uint32_t CEDecompressROM(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                           uint32_t zero, uint32_t one, uint32_t page) const override {
    return decompress_rom(const_cast<LPBYTE>(src), src_len, dst, dst_cap, zero, one, page);
  }
};

template <typename T>
bool Export(HMODULE module, const char* library, const char* name, T& out, std::string& missing) {
  out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!out) missing = std::string(library) + ": export " + name;
  return out != nullptr;
}

std::unique_ptr<CompressionLibrary> BindPlatformDlls(std::string& missing) {
  auto lib = std::make_unique<WindowsLibrary>();
  lib->ce_compress = LoadLibraryA("CECompress.dll");
  if (!lib->ce_compress) {
    missing = "CECompress.dll";
    return nullptr;
  }
  lib->compress = LoadLibraryA("Compress.dll");
  if (!lib->compress) {
    missing = "Compress.dll";
    return nullptr;
  }
  if (!Export(lib->ce_compress, "CECompress.dll", "CECompress", lib->compress3, missing) ||
      !Export(lib->ce_compress, "CECompress.dll", "CEDecompress", lib->decompress3, missing) ||
      !Export(lib->ce_compress, "CECompress.dll", "CEDecompressROM", lib->decompress_rom,
              missing) ||
      !Export(lib->compress, "Compress.dll", "CECompress", lib->compress4, missing) ||
      !Export(lib->compress, "Compress.dll", "CEDecompress", lib->decompress4, missing)) {
    return nullptr;
  }
  missing.clear();
  return lib;
}

constexpr PlatformBinder kPlatformBinder = BindPlatformDlls;
#else
constexpr PlatformBinder kPlatformBinder = nullptr;
#endif

}  // namespace

std::unique_ptr<CompressionLibrary> CompressionLibrary::Bind(std::string& missing) {
  std::string notice;
  const BackendChoice choice = ParseBackendChoice(std::getenv(kBackendVariable), notice);
  auto lib = SelectBackend(choice, kPlatformBinder, missing, notice);
  std::cerr << notice << std::flush;
  return lib;
}

}  // namespace codec

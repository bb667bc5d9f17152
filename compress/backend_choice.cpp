// The choice between the platform's DLLs and the built-in codecs, and the notice that tells it.
#include "compress/backend_choice.h"

#include <cctype>
#include <string_view>

namespace codec {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

constexpr const char* kPlatformCannotLoad =
    "this 64-bit program cannot load the platform's 32-bit DLLs";

}  // namespace

BackendChoice ParseBackendChoice(const char* value, std::string& notice) {
  if (value == nullptr || *value == '\0') return BackendChoice::kAutomatic;
  if (EqualsIgnoringCase(value, "dll")) return BackendChoice::kPlatform;
  if (EqualsIgnoringCase(value, "builtin")) return BackendChoice::kBuiltin;
  notice +=
      std::string(kBackendVariable) + "=" + value + " is neither dll nor builtin and is ignored\n";
  return BackendChoice::kAutomatic;
}

std::unique_ptr<CompressionLibrary> SelectBackend(BackendChoice choice,
                                                  PlatformBinder bind_platform,
                                                  std::string& missing, std::string& notice) {
  missing.clear();
  if (choice == BackendChoice::kBuiltin) {
    notice += std::string("Using the built-in codecs (") + kBackendVariable + "=builtin)\n";
    return MakeBuiltinLibrary();
  }
  if (bind_platform == nullptr) {
    if (choice == BackendChoice::kPlatform) {
      missing = "CECompress.dll";
      notice += std::string("Cannot use CECompress.dll and Compress.dll as ") + kBackendVariable +
                "=dll asks: " + kPlatformCannotLoad + "; the 32-bit one can\n";
      return nullptr;
    }
    notice += std::string("Using the built-in codecs: ") + kPlatformCannotLoad + "\n";
    return MakeBuiltinLibrary();
  }
  std::string platform_missing;
  if (auto platform = bind_platform(platform_missing)) {
    notice += "Using CECompress.dll and Compress.dll\n";
    return platform;
  }
  if (choice == BackendChoice::kPlatform) {
    missing = platform_missing;
    return nullptr;
  }
  notice += "Using the built-in codecs: " + platform_missing + " is missing\n";
  return MakeBuiltinLibrary();
}

}  // namespace codec

// Which codecs the binding calls on Windows: the platform's DLLs or the built-in codecs.
//
// The platform's CECompress.dll and Compress.dll are bound when both are there; when one (or
// one of their exports) is missing, the built-in codecs take their place, so that the programs
// also work on machines without the platform tools. The environment variable
// TARNWICK_COMPRESSION forces either: "dll" the DLLs (the program then refuses to start without
// them), "builtin" the built-in codecs. The choice is told once, as a notice for standard error.
#ifndef TARNWICK_COMPRESS_BACKEND_CHOICE_H_
#define TARNWICK_COMPRESS_BACKEND_CHOICE_H_

#include <memory>
#include <string>

#include "compress/compression_library.h"

namespace codec {

inline constexpr const char* kBackendVariable = "TARNWICK_COMPRESSION";

enum class BackendChoice { kAutomatic, kPlatform, kBuiltin };

// The choice TARNWICK_COMPRESSION's value makes (nullptr: the variable is not set). "dll" and
// "builtin" in any case; any other value chooses automatically and adds a line to `notice`.
[[nodiscard]] BackendChoice ParseBackendChoice(const char* value, std::string& notice);

// The platform's DLLs bound, or nullptr with `missing` naming the DLL or export that is missing.
using PlatformBinder = std::unique_ptr<CompressionLibrary> (*)(std::string& missing);

// The library `choice` asks for. `bind_platform` is nullptr where the program cannot load the
// platform's DLLs at all (they are 32-bit; a 64-bit program cannot). nullptr when the DLLs are
// forced and cannot be bound: `missing` then names what is missing. `notice` receives the lines
// that tell the user which codecs are used, or why the forced DLLs are not.
[[nodiscard]] std::unique_ptr<CompressionLibrary> SelectBackend(BackendChoice choice,
                                                                PlatformBinder bind_platform,
                                                                std::string& missing,
                                                                std::string& notice);

// The built-in codecs of both page codings in place of the two DLLs (builtin_backend.cpp).
[[nodiscard]] std::unique_ptr<CompressionLibrary> MakeBuiltinLibrary();

}  // namespace codec

#endif  // TARNWICK_COMPRESS_BACKEND_CHOICE_H_

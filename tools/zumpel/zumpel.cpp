// Switches, buffers and outcome lines of Zumpel.
#include "tools/zumpel/zumpel.h"

#include <memory>
#include <new>
#include <optional>
#include <span>

#include "fileio/file_io.h"
#include "fileio/native_path.h"

namespace zumpel {

namespace {

constexpr const char* kUsage =
    "WinCE Compressor/Decompressor\n"
    "Usage: Zumpel /xx  infile outfile\n"
    " /xx is:\n"
    "    /C3 = Compress\n"
    "    /C4 = Compress\n"
    "    /D3 = Decompress\n"
    "    /D4 = Decompress\n"
    "    /R  = Decompress ROM mode use /C4 and /D4 or /R for WinCE5 ROMs\n";

constexpr uint32_t kCompressSlack = 65536;
constexpr uint64_t kMaxInput = 0x7FFFFFFFu - kCompressSlack;
constexpr uint32_t kDecompressBuffer = 33554432;

struct Switch {
  const char* name;
  codec::Operation op;
  bool compress;
  bool rom;
};
constexpr Switch kSwitches[] = {
    {"/C3", codec::Operation::kCompress3, true, false},
    {"/C4", codec::Operation::kCompress4, true, false},
    {"/D3", codec::Operation::kDecompress3, false, false},
    {"/D4", codec::Operation::kDecompress4, false, false},
    {"/R", codec::Operation::kDecompressRom, false, true},
};

int Usage(std::ostream& out, int status) {
  out << kUsage;
  return status;
}

int Fail(std::ostream& out, const std::string& message) {
  out << "Error: " << message << "\n";
  return 1;
}

}  // namespace

int Run(const std::vector<std::string>& args, const codec::CompressionLibrary& lib,
        std::ostream& out) {
  if (args.size() != 3) return Usage(out, 0);
  const std::string& in_name = args[1];
  const std::string& out_name = args[2];
  if (fileio::KindOf(in_name) != fileio::FileKind::kRegular) {
    out << "no File \"" << in_name << "\"\n";
    return Usage(out, 1);
  }
  const Switch* sw = nullptr;
  for (const Switch& s : kSwitches) {
    if (args[0] == s.name) sw = &s;
  }
  if (!sw) return Usage(out, 0);

  out << (sw->compress ? "Compressing " : "Decompressing ") << in_name << " --> " << out_name
      << (sw->rom ? "  (ROM-mode)" : "") << "\n";

  // InLen is a signed 32-bit count, and a compressed result must fit its 32-bit capacity.
  fileio::ReadResult input;
  try {
    input = fileio::ReadWholeFile(in_name, kMaxInput);
  } catch (const std::bad_alloc&) {
    return Fail(out, "Inbuf out of RAM");
  }
  if (input.error) {
    if (input.error->kind == fileio::ErrorKind::kTooLarge) {
      return Fail(out, in_name + ": file too large");
    }
    return Fail(out, input.error->Message());
  }
  const std::vector<uint8_t>& in_buf = input.bytes;
  const auto in_len = static_cast<uint32_t>(in_buf.size());
  // Even 0 bytes compress (to a 3-byte stream); no stream is 0 bytes long.
  if (in_len == 0 && !sw->compress) return Fail(out, in_name + ": the input file is empty");

  const uint32_t out_size = sw->compress ? in_len + kCompressSlack : kDecompressBuffer;
  const uint32_t capacity = sw->compress ? out_size : kDecompressBuffer - 1;
  std::unique_ptr<uint8_t[]> out_buf(new (std::nothrow) uint8_t[out_size]);
  if (!out_buf) return Fail(out, "Outbuf out of RAM");

  uint32_t raw = 0;
  const std::optional<uint32_t> result =
      lib.CallChecked(sw->op, in_buf, std::span(out_buf.get(), capacity), &raw);
  if (!result) return Fail(out, std::to_string(static_cast<int32_t>(raw)));

  if (const auto e =
          fileio::WriteFileAtomically(out_name, std::span<const uint8_t>(out_buf.get(), *result))) {
    return Fail(out, e->Message());
  }
  out << "OK, Len " << in_len << " --> " << *result << "\n";
  return 0;
}

}  // namespace zumpel

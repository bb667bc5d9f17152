// Switches, buffers and outcome lines of Zumpel.
#include "tools/zumpel/zumpel.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

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

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

int Usage(std::ostream& out, int status) {
  out << kUsage;
  return status;
}

int Fail(std::ostream& out, const std::string& message) {
  out << "Error: " << message << "\n";
  return 1;
}

std::string Reason(const std::string& name) {
  return name + ": " + std::strerror(errno ? errno : EIO);
}

}  // namespace

int Run(const std::vector<std::string>& args, const codec::CompressionLibrary& lib,
        std::ostream& out) {
  if (args.size() != 3) return Usage(out, 0);
  const std::string& in_name = args[1];
  const std::string& out_name = args[2];
  std::error_code ec;
  if (!std::filesystem::is_regular_file(in_name, ec)) {
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

  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(in_name.c_str(), "rb"));
  if (!in) return Fail(out, Reason(in_name));
  long length = -1;
  if (std::fseek(in.get(), 0, SEEK_END) == 0) length = std::ftell(in.get());
  if (length < 0 || std::fseek(in.get(), 0, SEEK_SET) != 0) return Fail(out, Reason(in_name));
  // InLen is a signed 32-bit count, and a compressed result must fit its 32-bit capacity.
  if (length > 0x7FFFFFFFL - static_cast<long>(kCompressSlack)) {
    return Fail(out, in_name + ": file too large");
  }
  const auto in_len = static_cast<uint32_t>(length);
  std::unique_ptr<uint8_t[]> in_buf(in_len == 0 ? nullptr : new (std::nothrow) uint8_t[in_len]);
  if (!in_buf) return Fail(out, "Inbuf out of RAM");
  if (std::fread(in_buf.get(), 1, in_len, in.get()) != in_len) return Fail(out, Reason(in_name));
  in.reset();

  const uint32_t out_size = sw->compress ? in_len + kCompressSlack : kDecompressBuffer;
  const uint32_t capacity = sw->compress ? out_size : kDecompressBuffer - 1;
  std::unique_ptr<uint8_t[]> out_buf(new (std::nothrow) uint8_t[out_size]);
  if (!out_buf) return Fail(out, "Outbuf out of RAM");

  const uint32_t result = lib.Call(sw->op, in_buf.get(), in_len, out_buf.get(), capacity);
  if (codec::Failed(result)) return Fail(out, std::to_string(static_cast<int32_t>(result)));

  errno = 0;
  std::FILE* f = std::fopen(out_name.c_str(), "wb");
  if (!f) return Fail(out, Reason(out_name));
  const bool written = std::fwrite(out_buf.get(), 1, result, f) == result;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) return Fail(out, Reason(out_name));
  out << "OK, Len " << in_len << " --> " << result << "\n";
  return 0;
}

}  // namespace zumpel

// The batch run over the marked files.
#include "ui/presenter/batch_run.h"

#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>

#include "fileio/file_io.h"

namespace presenter {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kOutputSize = 67108864;
constexpr uint32_t kInputSlack = 4096;
constexpr uint64_t kMaxInput = 0x7FFFFFFFu - kInputSlack;

// A file's bytes followed by kInputSlack zero bytes, as the libraries get them; or why not.
struct Input {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size = 0;
  std::string error;
};

Input ReadInput(const std::string& path) {
  Input in;
  fileio::OpenResult opened = fileio::OpenForReading(path);
  if (opened.error) {
    in.error = opened.error->Message();
    return in;
  }
  if (opened.file.size() > kMaxInput) {
    in.error = path + ": file too large";
    return in;
  }
  in.size = static_cast<uint32_t>(opened.file.size());
  in.bytes.reset(new (std::nothrow) uint8_t[in.size + kInputSlack]());
  if (!in.bytes) {
    in.error = "out of memory for the buffers of " + path;
    return in;
  }
  if (const auto e = opened.file.ReadExactly(std::span(in.bytes.get(), in.size))) {
    in.error = e->Message();
  }
  return in;
}

}  // namespace

std::string RefusalReason(codec::Operation op, uint64_t size) {
  constexpr uint64_t k16MiB = uint64_t{1} << 24;
  if (op == codec::Operation::kCompress3 || op == codec::Operation::kCompress4) {
    return size >= k16MiB ? "Die Datei ist 16 MiB groß oder größer."
                          : "Das Ergebnis wäre 16 MiB groß oder größer.";
  }
  return size >= k16MiB ? "Die Datei ist 16 MiB groß oder größer."
                        : "Die Datei ist kein Strom dieser Kodierung (oder ihr Inhalt wäre "
                          "16 MiB groß oder größer).";
}

BatchResult RunBatch(const std::vector<std::string>& names, const std::string& source_dir,
                     const std::string& target_dir, codec::Operation op,
                     const codec::CompressionLibrary& lib, bool overwrite_without_asking,
                     const BatchHooks& hooks) {
  BatchResult result;
  result.total = static_cast<int>(names.size());
  std::unique_ptr<uint8_t[]> out;
  bool replace_all = overwrite_without_asking;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    result.reached = static_cast<int>(i + 1);
    if (hooks.progress && !hooks.progress(result.reached, result.total, name)) {
      result.cancelled = true;
      return result;
    }
    const std::string source = (fs::path(source_dir) / name).string();
    Input in = ReadInput(source);
    // The output area is allocated once, for the first file read.
    if (in.error.empty() && !out) {
      out.reset(new (std::nothrow) uint8_t[kOutputSize]);
      if (!out) in.error = "out of memory for the buffers of " + source;
    }
    if (!in.error.empty()) {
      result.error = std::move(in.error);
      return result;
    }

    bool stopped = false;
    codec::PageProgress page_progress;
    if (hooks.page_progress) {
      page_progress = [&](uint32_t done, uint32_t pages) {
        stopped = !hooks.page_progress(done, pages);
        return !stopped;
      };
    }
    const std::optional<uint32_t> written =
        lib.CallChecked(op, std::span<const uint8_t>(in.bytes.get(), in.size),
                        std::span(out.get(), kOutputSize - 1), nullptr, page_progress);
    if (stopped) {
      result.cancelled = true;
      return result;
    }
    if (!written) {
      if (hooks.result) hooks.result(FailedRow(name, RefusalReason(op, in.size)));
      continue;
    }
    const fs::path target = fs::path(target_dir) / name;
    std::error_code ec;
    if (!replace_all && fs::exists(target, ec) && hooks.ask_overwrite) {
      const OverwriteChoice choice = hooks.ask_overwrite(target.string());
      if (choice == OverwriteChoice::kCancel) {
        result.cancelled = true;
        return result;
      }
      if (choice == OverwriteChoice::kSkip) continue;
      if (choice == OverwriteChoice::kReplaceAll) replace_all = true;
    }
    if (const auto e = fileio::WriteFileAtomically(target.string(),
                                                   std::span<const uint8_t>(out.get(), *written))) {
      result.error = e->Message();
      return result;
    }
    if (hooks.result) hooks.result(WrittenRow(name, *written));
    ++result.count;
  }
  result.finished = true;
  return result;
}

}  // namespace presenter

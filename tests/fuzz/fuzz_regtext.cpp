// Fuzz target: any bytes as REGEDIT4 text, compiled into a precompiled file and into a hive.
//
// Besides the sanitizers' checks, whatever compiles must come back: the text Hivelore writes
// for the precompiled file compiles to the same bytes, and the hive passes every check of the
// hive reader, its text compiles to a hive of the same text. A difference aborts. Values of the
// types without a form of their own (hex(2): in the input, say) come back as marker lines,
// which the compiler refuses by design: such a registry has no second compile to compare.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "tests/hivelore/hive_builder.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/hive_writer.h"
#include "tools/hivelore/precompiled_writer.h"
#include "tools/hivelore/reg_text_reader.h"
#include "tools/hivelore/regedit4_syntax.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"
#include "tools/hivelore/text_output.h"

namespace {

using namespace hivelore;

// Registries of fuzz inputs stay small; this keeps each run quick.
constexpr size_t kLimit = 1 << 20;
// Far above the text of such a registry.
constexpr uint64_t kTextLimit = uint64_t{64} << 20;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string PrecompiledText(std::span<const uint8_t> file) {
  std::string text;
  StringSink sink(text);
  TextOutput output(sink, kTextLimit);
  Regedit4Writer writer(output);
  writer.WriteHeader();
  RegistryImage image;
  image.LoadBytes(std::vector<uint8_t>(file.begin(), file.end()));
  if (!image.CheckSignature()) std::abort();
  image.ReadU32();
  image.WalkRecords(writer);
  if (!output.Finish()) std::abort();
  return text;
}

std::string HiveText(std::span<const uint8_t> file) {
  std::string text;
  StringSink sink(text);
  TextOutput output(sink, kTextLimit);
  Regedit4Writer writer(output);
  writer.WriteHeader();
  if (WalkHive(file, writer) || !output.Finish()) std::abort();  // a hive the reader refuses
  return text;
}

// Passes every entry on and notes a value of a type that the text writes as a marker.
class MarkerWatch : public EntrySink {
 public:
  explicit MarkerWatch(EntrySink& sink) : sink_(sink) {}
  Refusal AddKey(const KeyEntry& key) override { return sink_.AddKey(key); }
  Refusal AddValue(const ValueEntry& value) override {
    if (!reg::HasDataForm(value.type)) marker_ = true;
    return sink_.AddValue(value);
  }
  [[nodiscard]] bool marker() const { return marker_; }

 private:
  EntrySink& sink_;
  bool marker_ = false;
};

// The second compile of Hivelore's own text, which must succeed unless a marker stands in it.
bool CompileAgain(const std::string& text, EntrySink& sink, bool marker) {
  const bool compiled = !ReadRegText(Bytes(text), sink).fault;
  if (!compiled && !marker) std::abort();
  return compiled && !marker;
}

void CheckPrecompiled(std::span<const uint8_t> text, KeyLayout layout) {
  PrecompiledWriter first(layout, kLimit);
  MarkerWatch watch(first);
  if (ReadRegText(text, watch).fault) return;
  const std::span<const uint8_t> file = first.Finish();
  PrecompiledWriter second(layout, kLimit);
  if (!CompileAgain(PrecompiledText(file), second, watch.marker())) return;
  const std::span<const uint8_t> again = second.Finish();
  if (!std::equal(file.begin(), file.end(), again.begin(), again.end())) std::abort();
}

// The whole hive, which must be as long as the writer said.
std::string HiveFile(const HiveWriter& writer) {
  std::string file;
  StringSink sink(file);
  if (!writer.WriteTo(sink) || file.size() != writer.FileSize()) std::abort();
  return file;
}

void CheckHive(std::span<const uint8_t> text) {
  static const std::vector<uint8_t> like = testhive::HiveBuilder().Build();
  HiveWriter first(like, kLimit);
  MarkerWatch watch(first);
  if (ReadRegText(text, watch).fault) return;
  const std::string hive_text = HiveText(Bytes(HiveFile(first)));
  HiveWriter second(like, kLimit);
  if (!CompileAgain(hive_text, second, watch.marker())) return;
  if (HiveText(Bytes(HiveFile(second))) != hive_text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> text(data, size);
  CheckPrecompiled(text, size % 2 == 0 ? KeyLayout::kCurrent : KeyLayout::kOlder);
  CheckHive(text);
  return 0;
}

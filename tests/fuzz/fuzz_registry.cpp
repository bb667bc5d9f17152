// Fuzz target: any bytes as a registry file, a hive (signature "EKIM" at offset 8) or a
// precompiled file, walked into REGEDIT4 text.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"
#include "tools/hivelore/text_output.h"

namespace {

// Takes the text and keeps nothing, so that memory shows only what the readers hold.
class DiscardSink : public hivelore::ChunkSink {
 public:
  bool Write(std::string_view) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DiscardSink sink;
  hivelore::TextOutput output(sink, 64 << 20);
  hivelore::Regedit4Writer writer(output);
  writer.WriteHeader();
  const std::span<const uint8_t> file(data, size);
  if (hivelore::IsHive(file)) {
    (void)hivelore::WalkHive(file, writer);
  } else {
    hivelore::RegistryImage image;
    image.LoadBytes(std::vector<uint8_t>(data, data + size));
    if (!image.CheckSignature()) image.LoadBytes(std::vector<uint8_t>(data, data + size));
    image.ReadU32();
    image.WalkRecords(writer);
  }
  (void)output.Finish();
  return 0;
}

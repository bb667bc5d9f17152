// Fuzz target: any bytes as a precompiled registry file, walked into REGEDIT4 text.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hivelore::RegistryImage image;
  image.LoadBytes(std::vector<uint8_t>(data, data + size));
  if (!image.CheckSignature()) image.LoadBytes(std::vector<uint8_t>(data, data + size));
  image.ReadU32();
  std::string text;
  hivelore::StringSink sink(text);
  hivelore::TextOutput output(sink, 64 << 20);
  hivelore::Regedit4Writer writer(output);
  writer.WriteHeader();
  image.WalkRecords(writer);
  (void)output.Finish();
  return 0;
}

// Tests of the hive reader: the text of built hives, and hives broken in one place each.
#include "tools/hivelore/hive_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/hivelore/hive_builder.h"
#include "tools/hivelore/hivelore.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {
namespace {

using testhive::Bytes;
using testhive::HiveBuilder;
using testhive::HiveString;
using testhive::Put16;
using testhive::Put32;

struct Walked {
  std::string text;
  std::optional<HiveRefusal> refusal;
};

// The REGEDIT4 text of a hive, read from a heap block of exactly its size.
Walked Walk(const Bytes& file) {
  const std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size()]);
  std::copy(file.begin(), file.end(), exact.get());
  Walked walked;
  StringSink sink(walked.text);
  TextOutput output(sink, kMaxOutputSize);
  Regedit4Writer writer(output);
  writer.WriteHeader();
  walked.refusal = WalkHive(std::span<const uint8_t>(exact.get(), file.size()), writer);
  EXPECT_TRUE(output.Finish());
  return walked;
}

std::string Text(const Bytes& file) {
  Walked walked = Walk(file);
  EXPECT_FALSE(walked.refusal) << walked.refusal->Message();
  return walked.text;
}

constexpr const char* kHead = "REGEDIT4\r\n\r\n";

TEST(WalkHive, WritesASmallHive) {
  HiveBuilder b;
  const uint32_t software = b.RootKey(2, "Software");
  const uint32_t demo = b.Key(software, "Demo");
  b.Value(demo, 1, "", HiveString("C:\\Temp \"x\""));
  b.Value(demo, 4, "Count", {10, 0, 0, 0});
  Bytes data;
  for (uint8_t i = 0; i < 22; ++i) data.push_back(i);
  b.Value(demo, 3, "Data", data);
  b.Value(demo, 7, "List", {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
  b.Value(demo, 21, "Mui", HiveString("a.dll,#9008"));
  b.Value(demo, 2, "Old", HiveString("%x%"));
  b.Key(software, std::vector<uint16_t>{'Z', 0xE4, 0x20AC});
  const uint32_t txt = b.RootKey(0, ".txt");
  b.Value(txt, 1, "", HiveString("txtfile"));
  const uint32_t panel = b.RootKey(1, "ControlPanel");
  const uint32_t owner = b.Key(panel, "Owner");
  b.Value(owner, 1, std::vector<uint16_t>{'N', 0xFC, 0x0100}, HiveString("x"));
  b.RootKey(2, "Drivers");
  b.Value(software, 4, "Late", {1, 0, 0, 0});  // after the subkeys, written before them
  b.RootKey(5, "Odd");
  EXPECT_EQ(Text(b.Build()),
            "REGEDIT4\r\n"
            "\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\.txt]\r\n"
            "\"\"=\"txtfile\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\ControlPanel]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\ControlPanel\\Owner]\r\n"
            "\"N\xFC" +
                std::string(1, '\0') +
                "\"=\"x\"\r\n"
                "\r\n"
                "[HKEY_LOCAL_MACHINE\\Software]\r\n"
                "\"Late\"=dword:00000001\r\n"
                "\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Demo]\r\n"
                "\"\"=\"C:\\\\Temp \\\"x\\\"\"\r\n"
                "\"Count\"=dword:0000000A\r\n"
                "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,\\\r\n"
                "   14,15\r\n"
                "\"List\"=multi_sz:\"a\",\\\r\n"
                "  \"b\"\r\n"
                "\"Mui\"=mui_sz:\"a.dll,#9008\"\r\n"
                "\"Old\"=----------------------expand_sz---\r\n"
                "\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Z\xE4\xAC]\r\n"
                "\r\n"
                "[HKEY_LOCAL_MACHINE\\Drivers]\r\n"
                "\r\n"
                "[HKEY_ROOT_5\\Odd]\r\n");
}

TEST(WalkHive, ValueDataEndsAtItsLengthNotAtItsCell) {
  HiveBuilder b;
  const uint32_t key = b.RootKey(2, "K");
  const uint32_t text = b.Value(key, 1, "s", {'a', 0, 'b', 0});  // no terminator
  const uint32_t word = b.Value(key, 4, "d", {0x34, 0x12});      // two bytes of four
  b.Value(key, 3, "h", {});
  b.Value(key, 12, "u", {1, 2, 3, 4});
  Bytes file = b.Build();
  // The cells' padding behind the data holds something other than zeros.
  Put16(file, b.PayloadOffset(text) + 0x0A + 2 + 4, 'X');
  Put16(file, b.PayloadOffset(word) + 0x0A + 2 + 2, 0xFFFF);
  EXPECT_EQ(Text(file), std::string(kHead) +
                            "\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
                            "\"s\"=hex(1):61,00,62,00\r\n"
                            "\"d\"=hex(4):34,12\r\n"
                            "\"h\"=hex:\r\n"
                            "\"u\"=--------------------- unbekannt 12\r\n");
}

TEST(WalkHive, ListsComeOutInTheReverseOfTheirStoredOrder) {
  // Linked oldest first, the lists come out newest first: the reader reverses what it finds
  // and does not sort by handle.
  HiveBuilder b;
  b.LinkAtTail();
  const uint32_t a = b.RootKey(2, "A");
  b.Value(a, 4, "x", {1, 0, 0, 0});
  b.Value(a, 4, "y", {2, 0, 0, 0});
  b.Key(a, "A1");
  b.Key(a, "A2");
  b.RootKey(2, "B");
  EXPECT_EQ(Text(b.Build()), std::string(kHead) +
                                 "\r\n[HKEY_LOCAL_MACHINE\\B]\r\n"
                                 "\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
                                 "\"y\"=dword:00000002\r\n"
                                 "\"x\"=dword:00000001\r\n"
                                 "\r\n[HKEY_LOCAL_MACHINE\\A\\A2]\r\n"
                                 "\r\n[HKEY_LOCAL_MACHINE\\A\\A1]\r\n");
}

TEST(WalkHive, ReadsHandlesOfTheSecondTable) {
  HiveBuilder b;
  const uint32_t key = b.RootKey(2, "Many");
  std::string expected = std::string(kHead) + "\r\n[HKEY_LOCAL_MACHINE\\Many]\r\n";
  for (int i = 0; i < 1500; ++i) {
    b.Value(key, 4, "v" + std::to_string(i), {static_cast<uint8_t>(i), 0, 0, 0});
    char line[64];
    std::snprintf(line, sizeof line, "\"v%d\"=dword:%08X\r\n", i, i & 0xFF);
    expected += line;
  }
  const uint32_t late = b.Key(key, "Late");
  ASSERT_GT(late, 1024u);
  expected += "\r\n[HKEY_LOCAL_MACHINE\\Many\\Late]\r\n";
  const Bytes file = b.Build();
  ASSERT_EQ(b.table_count(), 2u);
  EXPECT_EQ(Text(file), expected);
}

TEST(WalkHive, KeysNestUpTo512Levels) {
  auto chain = [](int depth) {
    HiveBuilder b;
    uint32_t key = b.RootKey(3, "k");
    for (int i = 1; i < depth; ++i) key = b.Key(key, "k");
    Bytes file = b.Build();
    return std::make_pair(file, b.PayloadOffset(key - 1));
  };
  std::string deepest = "[HKEY_USERS\\k";
  for (int i = 1; i < 512; ++i) deepest += "\\k";
  const std::string text = Text(chain(512).first);
  EXPECT_EQ(text.substr(text.size() - deepest.size() - 3), deepest + "]\r\n");

  const auto [file, parent] = chain(513);
  const Walked walked = Walk(file);
  ASSERT_TRUE(walked.refusal);
  EXPECT_EQ(walked.refusal->offset, parent + 4);  // the 512th key's subkey reference
  EXPECT_NE(walked.refusal->reason.find("deeper than 512"), std::string::npos);
}

// A hive of two top-level keys A (handle 1) and B (2), A with the value V (3).
struct Sample {
  HiveBuilder builder;
  Bytes file;
  Sample() {
    const uint32_t a = builder.RootKey(2, "A");
    builder.RootKey(2, "B");
    builder.Value(a, 4, "V", {1, 0, 0, 0});
    file = builder.Build();
  }
};

TEST(WalkHive, RefusesAHiveBrokenInOnePlace) {
  constexpr uint32_t kA = 1, kB = 2, kV = 3;
  auto ref = [](uint32_t handle) { return testhive::kReferenceTag | handle; };
  struct Case {
    const char* what;
    std::function<uint32_t(Sample&)> brake;  // breaks the file, returns the defect's offset
    const char* reason;
  };
  const Case cases[] = {
      {"a loop in a sibling list (B -> A -> B)",
       [&](Sample& s) {
         Put32(s.file, s.builder.PayloadOffset(kA), ref(kB));
         return s.builder.PayloadOffset(kA);
       },
       "reached before"},
      {"a value where a key is expected",
       [&](Sample& s) {
         Put32(s.file, s.builder.PayloadOffset(kA) + 4, ref(kV));
         return s.builder.PayloadOffset(kA) + 4;
       },
       "expects a key but finds a value"},
      {"a handle past the tables",
       [&](Sample& s) {
         Put32(s.file, s.builder.PayloadOffset(kA), ref(5000));
         return s.builder.PayloadOffset(kA);
       },
       "past the handle tables"},
      {"a handle whose slot is free",
       [&](Sample& s) {
         Put32(s.file, s.builder.PayloadOffset(kA), ref(4));
         return s.builder.PayloadOffset(kA);
       },
       "slot is free"},
      {"a cell size past the file",
       [&](Sample& s) {
         Put32(s.file, s.builder.CellOffset(kB), 0xC0000000 | 0x0FFFFFF0);
         return s.builder.CellOffset(kB);
       },
       "runs past the end of the file"},
      {"a table slot between cells",
       [&](Sample& s) {
         Put32(s.file, s.builder.SlotOffset(kB), (s.builder.CellOffset(kB) - 0x5000 + 4) | 1);
         return s.builder.SlotOffset(kB);
       },
       "not the start of a cell"},
      {"a cell that carries another handle",
       [&](Sample& s) {
         Put32(s.file, s.builder.CellOffset(kB) + 8, 7);
         return s.builder.SlotOffset(kB);
       },
       "carries handle 7"},
      {"a cell that no slot names",
       [&](Sample& s) {
         Put32(s.file, s.builder.SlotOffset(kV), 0);
         return s.builder.CellOffset(kV);
       },
       "has no slot"},
      {"a cell not reached from the root",
       [&](Sample& s) {
         Put32(s.file, s.builder.RootListOffset(2), ref(kA));
         return s.builder.CellOffset(kB);
       },
       "not reached from the root"},
      {"a key name past its cell",
       [&](Sample& s) {
         Put16(s.file, s.builder.PayloadOffset(kA) + 0x0C, 3);
         return s.builder.CellOffset(kA);
       },
       "key name of 3 units runs past its cell"},
      {"value data past its cell",
       [&](Sample& s) {
         Put16(s.file, s.builder.PayloadOffset(kV) + 6, 9);
         return s.builder.CellOffset(kV);
       },
       "value data of 9 bytes runs past its cell"},
      {"cells that end before the file",
       [&](Sample& s) {
         const uint32_t free = s.builder.FreeCellOffset();
         Put32(s.file, free, testhive::Get32(s.file, free) - 8);
         return static_cast<uint32_t>(s.file.size()) - 8;
       },
       "too few for a cell header"},
      {"a directory entry that names no table",
       [&](Sample& s) {
         Put32(s.file, testhive::kDirectory, s.builder.CellOffset(0) - 0x5000);
         return testhive::kDirectory;
       },
       "not the start of a handle table"},
      {"a file that ends before its cells",
       [&](Sample& s) {
         s.file.resize(0x4FFC);
         return 0x4FFCu;
       },
       "ends before its cells"},
  };
  for (const Case& c : cases) {
    Sample sample;
    ASSERT_FALSE(Walk(sample.file).refusal);
    const uint32_t offset = c.brake(sample);
    const Walked walked = Walk(sample.file);
    ASSERT_TRUE(walked.refusal) << c.what;
    EXPECT_EQ(walked.refusal->offset, offset) << c.what << ": " << walked.refusal->Message();
    EXPECT_NE(walked.refusal->reason.find(c.reason), std::string::npos)
        << c.what << ": " << walked.refusal->Message();
  }
}

}  // namespace
}  // namespace hivelore

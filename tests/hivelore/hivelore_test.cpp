// Tests of the registry reader, the REGEDIT4 writer and the Hivelore program.
#include "tools/hivelore/hivelore.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "tests/fileio/small_file_system.h"
#include "tests/hivelore/hive_builder.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {
namespace {

using testreg::Bytes;
using testreg::RegistryBuilder;
using testreg::StringData;
using testreg::Units;
using testreg::Wide;

// The REGEDIT4 text of the file's records (after the 8-byte header).
std::string Convert(const Bytes& file) {
  RegistryImage image;
  image.LoadBytes(file);
  EXPECT_TRUE(image.CheckSignature());
  image.ReadU32();
  std::string text;
  StringSink sink(text);
  TextOutput output(sink, kMaxOutputSize);
  Regedit4Writer writer(output);
  writer.WriteHeader();
  image.WalkRecords(writer);
  EXPECT_TRUE(output.Finish());
  return text;
}

constexpr const char* kHead = "REGEDIT4\r\n\r\n";

TEST(Regedit4Writer, ReproducesTheDocumentedExample) {
  Bytes data;
  for (uint8_t i = 0; i < 22; ++i) data.push_back(i);
  Bytes count;
  testreg::U16(count, 10);
  testreg::U16(count, 0);
  const Bytes file = RegistryBuilder()
                         .Key(2, "Software\\Demo")
                         .Value(1, "", StringData("C:\\Temp \"x\""))
                         .Value(4, "Count", count)
                         .Value(3, "Data", data)
                         .Value(7, "List", Units({'a', 0, 'b', 0, 0}))
                         .Value(2, "Old", {})
                         .Key(0, "X")
                         .bytes();
  EXPECT_EQ(Convert(file),
            "REGEDIT4\r\n"
            "\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Demo]\r\n"
            "\"\"=\"C:\\\\Temp \\\"x\\\"\"\r\n"
            "\"Count\"=dword:0000000A\r\n"
            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,\\\r\n"
            "   14,15\r\n"
            "\"List\"=multi_sz:\"a\",\\\r\n"
            "  \"b\"\r\n"
            "\"Old\"=----------------------expand_sz---\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\X]\r\n");
}

std::string HexLine(size_t n) {
  Bytes data(n, 0xAB);
  return Convert(RegistryBuilder().Value(3, "h", data).bytes()).substr(12);
}

TEST(Regedit4Writer, HexListsBreakAfter20AndEvery25Bytes) {
  auto bytes = [](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += i ? ",AB" : "AB";
    return s;
  };
  EXPECT_EQ(HexLine(20), "\"h\"=hex:" + bytes(20) + "\r\n");
  EXPECT_EQ(HexLine(21), "\"h\"=hex:" + bytes(20) + ",\\\r\n   AB\r\n");
  EXPECT_EQ(HexLine(46), "\"h\"=hex:" + bytes(20) + ",\\\r\n   " + bytes(25) + ",\\\r\n   AB\r\n");
  EXPECT_EQ(HexLine(0), "\"h\"=hex:\r\n");
}

TEST(Regedit4Writer, HexDataMayRunPastTheBodyAndTheFile) {
  // dataLength 6 with 2 bytes in the body: the next record's head and then zeros follow.
  const Bytes file = RegistryBuilder().Value(3, "h", {1, 2}, 6).bytes();
  EXPECT_EQ(Convert(file), std::string(kHead) + "\"h\"=hex:01,02,00,00,00,00\r\n");
}

TEST(Regedit4Writer, MultiStringLists) {
  auto multi = [](const Bytes& units, uint16_t length) {
    return Convert(RegistryBuilder().Value(7, "m", units, length).bytes()).substr(12);
  };
  // An empty string in the middle.
  EXPECT_EQ(multi(Units({'a', 0, 0, 'b', 0, 0}), 12),
            "\"m\"=multi_sz:\"a\",\\\r\n  \"\",\\\r\n  \"b\"\r\n");
  // The empty list is its final zero unit alone.
  EXPECT_EQ(multi(Units({0}), 2), "\"m\"=multi_sz:\r\n");
  // Lists that the items would not give back: no data, an odd length, a last string without
  // its zero unit within the counted bytes (the items would lose it), no final zero unit.
  EXPECT_EQ(multi(Units({'a', 0, 0}), 0), "\"m\"=hex(7):\r\n");
  EXPECT_EQ(multi(Units({'a', 0, 0}), 1), "\"m\"=hex(7):61\r\n");
  EXPECT_EQ(multi(Units({'a', 0, 0}), 2), "\"m\"=hex(7):61,00\r\n");
  EXPECT_EQ(multi(Units({'a', 0, 'b', 'c'}), 8), "\"m\"=hex(7):61,00,00,00,62,00,63,00\r\n");
  EXPECT_EQ(multi(Units({'a', 0, 'b', 0, 'c'}), 10),
            "\"m\"=hex(7):61,00,00,00,62,00,00,00,63,00\r\n");
  // A final zero unit behind the record (past the end of the file) is still read.
  EXPECT_EQ(multi(Units({'a', 0, 'b', 0}), 10), "\"m\"=multi_sz:\"a\",\\\r\n  \"b\"\r\n");
  // Items are escaped.
  EXPECT_EQ(multi(Units({'\\', '"', 0, 0}), 8), "\"m\"=multi_sz:\"\\\\\\\"\"\r\n");
}

TEST(Regedit4Writer, EscapingAndTypes) {
  Bytes max;
  testreg::U16(max, 0xFFFF);
  testreg::U16(max, 0xFFFF);
  const Bytes file = RegistryBuilder()
                         .Value(1, "q\\r", StringData("C:\\x"))
                         .Value(21, "mui", StringData("C:\\x"))
                         .Value(4, "d", max)
                         .Value(0, "n", {})
                         .Value(5, "a", {})
                         .Value(6, "b", {})
                         .Value(8, "c", {})
                         .Value(9, "e", {})
                         .Value(10, "f", {})
                         .Value(11, "g", {})
                         .Value(12, "u", {})
                         .Value(65535, "v", {})
                         .bytes();
  // Names are written unchanged; the types without a form of their own get their marker.
  EXPECT_EQ(Convert(file), std::string(kHead) +
                               "\"q\\r\"=\"C:\\\\x\"\r\n"
                               "\"mui\"=mui_sz:\"C:\\x\"\r\n"
                               "\"d\"=dword:FFFFFFFF\r\n"
                               "\"n\"=-----------------------none---\r\n"
                               "\"a\"=----dword_be---\r\n"
                               "\"b\"=----link---\r\n"
                               "\"c\"=---- resorcelist--\r\n"
                               "\"e\"=---- full resorce descr--\r\n"
                               "\"f\"=---- resorce requirements--\r\n"
                               "\"g\"=---- Qword--\r\n"
                               "\"u\"=--------------------- unbekannt 12\r\n"
                               "\"v\"=--------------------- unbekannt 65535\r\n");
}

TEST(Regedit4Writer, ValuesTheUsualFormWouldChangeAreWrittenAsTypedHex) {
  const Bytes euro = Units({'1', 0x20AC, 0});
  const Bytes file =
      RegistryBuilder()
          .Value(1, "unit", euro)                     // a unit above 0xFF
          .Value(1, "cut", Units({'a', 'b'}), 4)      // no terminator in the data
          .Value(1, "long", Units({'a', 0, 'b', 0}))  // bytes behind the terminator
          .Value(1, "odd", Units({'a', 0}), 3)        // an odd length
          .Value(1, "empty", {})                      // no data at all
          .Value(1, "lf", Units({'a', '\n', 0}))      // a line end in the string
          .Value(21, "mq", StringData("a\"b"))        // a quote in the unescaped MUI string
          .Value(21, "mu", euro)                      // a unit above 0xFF
          .Value(4, "short", {1, 2})                  // a number of two bytes
          .Value(2, "q\"", StringData("%x%"))         // a marker: the name stays as it is
          .Value(4, "q\"\\", {1, 0, 0, 0})            // a quote and a closing backslash
          .Value(4, "a\\\\b", {1, 0, 0, 0})           // two backslashes read back as one
          .Value(4, "a\\b", {1, 0, 0, 0})             // a backslash reads back as itself
          .Value(1, "s", StringData("\"\\\xFF"))      // escaped as usual
          .bytes();
  EXPECT_EQ(Convert(file), std::string(kHead) +
                               "\"unit\"=hex(1):31,00,AC,20,00,00\r\n"
                               "\"cut\"=hex(1):61,00,62,00\r\n"
                               "\"long\"=hex(1):61,00,00,00,62,00,00,00\r\n"
                               "\"odd\"=hex(1):61,00,00\r\n"
                               "\"empty\"=hex(1):\r\n"
                               "\"lf\"=hex(1):61,00,0A,00,00,00\r\n"
                               "\"mq\"=hex(15):61,00,22,00,62,00,00,00\r\n"
                               "\"mu\"=hex(15):31,00,AC,20,00,00\r\n"
                               "\"short\"=hex(4):01,02\r\n"
                               "\"q\"\"=----------------------expand_sz---\r\n"
                               "\"q\\\"\\\\\"=hex(4):01,00,00,00\r\n"
                               "\"a\\\\\\\\b\"=hex(4):01,00,00,00\r\n"
                               "\"a\\b\"=dword:00000001\r\n"
                               "\"s\"=\"\\\"\\\\\xFF\"\r\n");
}

TEST(RegistryImage, WideStringsKeepTheLowByte) {
  const Bytes file = RegistryBuilder()
                         .Key(1, Units({0x00E9, 0x20AC, 0x0100, 'z'}))
                         .Key(3, Bytes{})
                         .Key(9, "odd")
                         .bytes();
  EXPECT_EQ(Convert(file), std::string(kHead) + "\r\n[HKEY_CURRENT_USER\\\xE9\xAC" +
                               std::string(1, '\0') +
                               "z]\r\n"
                               "\r\n[HKEY_USERS\\]\r\n"
                               "\r\n[HKEY_ROOT_9\\odd]\r\n");
}

TEST(RegistryImage, RecordsAreFoundThroughTheirBodyLength) {
  // A string that runs into the next record, a record of bodyLength 0, skipped types.
  Bytes unterminated;
  testreg::U16(unterminated, 1);
  testreg::U16(unterminated, 0);
  testreg::U16(unterminated, 8);  // "ab", a unit of the next record and its zero type
  testreg::Append(unterminated, Wide("s"));
  testreg::U16(unterminated, 0);
  testreg::Append(unterminated, Wide("ab"));  // no terminator inside the body
  const Bytes file = RegistryBuilder()
                         .Record(2, unterminated)
                         .Record(0, Wide("skipped"))
                         .Record(3, {})
                         .Record(0xFFFF, {1, 2, 3, 4})
                         .Key(2, "K")
                         .bytes();
  const std::string text = Convert(file);
  // "ab" then the head of the type-0 record (14, 0, 0, 0): 14 gives byte 0x0E; its type unit
  // 0 ends the string.
  EXPECT_EQ(text, std::string(kHead) + "\"s\"=\"ab\x0E\"\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n");

  RegistryBuilder zero;
  zero.Record(1, {}, 0).Raw({2, 0, 0, 0, 'A', 0, 0, 0});
  // bodyLength 0: the fields are read from the bytes that follow (root 2, path "A"); the
  // next record begins 4 bytes after the head, where root 2 reads as body length 2.
  EXPECT_EQ(Convert(zero.bytes()).substr(0, 40),
            std::string(kHead) + "\r\n[HKEY_LOCAL_MACHINE\\A]\r\n");
}

TEST(RegistryImage, TrailingBytesAreAHeadPaddedWithZeros) {
  EXPECT_EQ(Convert(RegistryBuilder().Raw({5}).bytes()), kHead);
  EXPECT_EQ(Convert(RegistryBuilder().Raw({5, 0}).bytes()), kHead);
  EXPECT_EQ(Convert(RegistryBuilder().Raw({5, 0, 1}).bytes()),
            std::string(kHead) + "\r\n[HKEY_CLASSES_ROOT\\]\r\n");
  EXPECT_EQ(Convert(RegistryBuilder().Raw({5, 0, 2}).bytes()),
            std::string(kHead) + "\"\"=-----------------------none---\r\n");
  // A value before any key is written directly after the header's empty line.
  EXPECT_EQ(Convert(RegistryBuilder().Value(4, "v", {1, 0, 0, 0}).bytes()),
            std::string(kHead) + "\"v\"=dword:00000001\r\n");
}

TEST(RegistryImage, ReadsKeysInTheOlderLayout) {
  Bytes dword;
  testreg::U16(dword, 0x1234);
  testreg::U16(dword, 0);
  const Bytes file = RegistryBuilder()
                         .OldKey(2, "Drivers\\BuiltIn\\Serial\\Port1\\Config")
                         .Value(1, "Dll", StringData("serial.dll"))
                         .Value(4, "Index", dword)
                         .OldKey(0, Units({'.', 'x', 0xE4, 0x20AC}))
                         .Value(3, "Bin", {1, 2, 0xFF})
                         .Value(7, "List", Units({'a', 0, 0xE9, 0, 0}))
                         .Value(21, "Mui", StringData("a.dll,#1"))
                         .Value(2, "Exp", {})
                         .OldKey(1, "ControlPanel\\Owner")
                         .OldKey(3, Bytes{})
                         .bytes();
  EXPECT_EQ(Convert(file),
            "REGEDIT4\r\n"
            "\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial\\Port1\\Config]\r\n"
            "\"Dll\"=\"serial.dll\"\r\n"
            "\"Index\"=dword:00001234\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\.x\xE4\xAC]\r\n"
            "\"Bin\"=hex:01,02,FF\r\n"
            "\"List\"=multi_sz:\"a\",\\\r\n"
            "  \"\xE9\"\r\n"
            "\"Mui\"=mui_sz:\"a.dll,#1\"\r\n"
            "\"Exp\"=----------------------expand_sz---\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\ControlPanel\\Owner]\r\n"
            "\r\n"
            "[HKEY_USERS\\]\r\n");
}

// An older-layout body for root 2 and the path "AB"; `n` is the stored length.
Bytes OlderBody(uint16_t n, uint16_t zero_word, uint16_t terminator) {
  Bytes body;
  testreg::U16(body, 2);
  testreg::U16(body, n);
  testreg::U16(body, zero_word);
  testreg::Append(body, Wide("AB"));
  testreg::U16(body, terminator);
  return body;
}

TEST(RegistryImage, AKeyRecordThatTheOlderLayoutDoesNotFitExactlyIsReadInTheCurrentOne) {
  const std::string current_empty = "\r\n[HKEY_LOCAL_MACHINE\\]\r\n";
  struct Case {
    const char* what;
    Bytes body;
    std::optional<uint16_t> body_length;
    std::string expected;
  };
  const Case cases[] = {
      {"fits", OlderBody(3, 0, 0), std::nullopt, "\r\n[HKEY_LOCAL_MACHINE\\AB]\r\n"},
      {"length one more", OlderBody(4, 0, 0), std::nullopt, current_empty},
      {"length one less", OlderBody(2, 0, 0), std::nullopt, current_empty},
      // The word at offset 4 is then the path's first unit.
      {"word at 4 not 0", OlderBody(3, 'Z', 0), std::nullopt, "\r\n[HKEY_LOCAL_MACHINE\\ZAB]\r\n"},
      {"no terminator", OlderBody(3, 0, 'C'), std::nullopt, current_empty},
      {"body one byte longer", OlderBody(3, 0, 0), 13, current_empty},
  };
  for (const Case& c : cases) {
    Bytes body = c.body;
    if (c.body_length) body.resize(*c.body_length, 0);
    const Bytes file = RegistryBuilder().Record(1, body).Key(0, "Next").bytes();
    EXPECT_EQ(Convert(file), kHead + c.expected + "\r\n[HKEY_CLASSES_ROOT\\Next]\r\n") << c.what;
  }
}

TEST(RegistryImage, AFileMayMixBothKeyLayouts) {
  const Bytes file = RegistryBuilder()
                         .Key(2, "New")
                         .Value(4, "a", {1, 0, 0, 0})
                         .OldKey(2, "Old")
                         .Value(4, "b", {2, 0, 0, 0})
                         .Key(1, "")
                         .OldKey(0, "Old\\Sub")
                         .bytes();
  EXPECT_EQ(Convert(file), std::string(kHead) +
                               "\r\n[HKEY_LOCAL_MACHINE\\New]\r\n\"a\"=dword:00000001\r\n"
                               "\r\n[HKEY_LOCAL_MACHINE\\Old]\r\n\"b\"=dword:00000002\r\n"
                               "\r\n[HKEY_CURRENT_USER\\]\r\n"
                               "\r\n[HKEY_CLASSES_ROOT\\Old\\Sub]\r\n");
}

class HiveloreProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { std::filesystem::current_path(cwd_); }
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return hivelore::Run(args, out_, err_);
  }
  std::string Output() {
    const testimg::Bytes b = testimg::ReadFile(kOutputFileName);
    return std::string(b.begin(), b.end());
  }
  testimg::TempDir dir_;
  std::filesystem::path cwd_;
  std::ostringstream out_, err_;
};

TEST_F(HiveloreProgram, UsageForAnyOtherNumberOfArguments) {
  testimg::WriteFile("a.fdf", RegistryBuilder().bytes());
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(out_.str().rfind("\"default.fdf\"  Windows CE precompiled Registry Recompiler\n", 0),
            0u);
  EXPECT_EQ(Run({"a.fdf", "a.fdf"}), 0);
  EXPECT_NE(out_.str().find(" REGCOMP myfilename aPathWhereTheFileGoesTo\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));
}

TEST_F(HiveloreProgram, ConvertsAFile) {
  testimg::WriteFile("in.fdf", RegistryBuilder().Key(2, "A").bytes());
  EXPECT_EQ(Run({"in.fdf"}), 0);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(Output(), "REGEDIT4\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n");
  EXPECT_EQ(err_.str(), "Hivelore: 1 key, 0 values\n");
  // Only the header: the header lines and nothing more. The input may bear the output's name.
  testimg::WriteFile(kOutputFileName, RegistryBuilder().bytes());
  EXPECT_EQ(Run({kOutputFileName}), 0);
  EXPECT_EQ(Output(), "REGEDIT4\r\n\r\n");
}

TEST_F(HiveloreProgram, FailuresEndWithStatusOne) {
  EXPECT_EQ(Run({"default.fdf"}), 1);
  EXPECT_EQ(out_.str(), "kann Datei \"default.fdf\" nicht finden.\n");
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));
  EXPECT_EQ(Run({"."}), 1);  // a folder is no file

  testimg::WriteFile("short.fdf", {0xB2, 0x74});
  EXPECT_EQ(Run({"short.fdf"}), 1);
  EXPECT_EQ(Output(), "die Datei hat eine falsche Signatur.\r\n");
  EXPECT_EQ(out_.str(), "");

  testimg::Bytes big(kMaxRegistryFileSize + 1, 0);
  testimg::WriteFile("big.fdf", big);
  std::filesystem::remove(kOutputFileName);
  EXPECT_EQ(Run({"big.fdf"}), 1);
  EXPECT_EQ(out_.str(), "die Datei ist zu gro\xE1.\n");
  EXPECT_FALSE(std::filesystem::exists(kOutputFileName));

  big.pop_back();
  big[0] = 0xB2, big[1] = 0x74, big[2] = 0x83, big[3] = 0x1D;
  testimg::WriteFile("exact.fdf", big);
  EXPECT_EQ(Run({"exact.fdf"}), 0);
}

TEST_F(HiveloreProgram, ReportsKeysAndValuesByType) {
  testimg::WriteFile("in.fdf", RegistryBuilder()
                                   .Key(2, "A")
                                   .Value(4, "a", {1, 0, 0, 0})
                                   .Value(4, "b", {1, 0, 0, 0})
                                   .Value(1, "c", StringData("x"))
                                   .Value(12, "d", {})
                                   .Value(65535, "e", {})
                                   .Key(2, "B")
                                   .bytes());
  EXPECT_EQ(Run({"in.fdf"}), 0);
  EXPECT_EQ(err_.str(),
            "Hivelore: 2 keys, 5 values: 1 REG_SZ, 2 REG_DWORD, 1 of type 12, 1 of type 65535\n");
}

TEST_F(HiveloreProgram, TextAboveTheLimitIsAnErrorAndKeepsThePreviousFile) {
  // Records of 12 bytes that each claim 65535 data bytes: about 200 KB of text each.
  RegistryBuilder amplifying;
  for (int i = 0; i < 40; ++i) amplifying.Value(3, "", {}, 65535);
  testimg::WriteFile("in.fdf", amplifying.bytes());
  testimg::WriteFile(kOutputFileName, testimg::BytesOf("previous"));
  out_.str("");
  err_.str("");
  EXPECT_EQ(hivelore::Run({"in.fdf"}, out_, err_, {.max_output_size = 1 << 20}), 1);
  EXPECT_EQ(Output(), "previous");
  EXPECT_NE(err_.str().find("passes 1048576 bytes"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("a previous file of that name is kept"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);

  // Text of exactly the limit is written; a limit one byte lower refuses it.
  const Bytes file =
      RegistryBuilder().Key(2, "K").Value(3, "a", Bytes(60000, 1)).Value(3, "b", {}, 9).bytes();
  const std::string text = Convert(file);
  ASSERT_GT(text.size(), TextOutput::kBufferSize * 2);
  testimg::WriteFile("exact.fdf", file);
  EXPECT_EQ(hivelore::Run({"exact.fdf"}, out_, err_, {.max_output_size = text.size()}), 0);
  EXPECT_EQ(Output(), text);
  testimg::WriteFile(kOutputFileName, testimg::BytesOf("previous"));
  EXPECT_EQ(hivelore::Run({"exact.fdf"}, out_, err_, {.max_output_size = text.size() - 1}), 1);
  EXPECT_EQ(Output(), "previous");
}

TEST_F(HiveloreProgram, ConvertsAHive) {
  testhive::HiveBuilder b;
  const uint32_t key = b.RootKey(2, "init");
  b.Value(key, 1, "Launch10", testhive::HiveString("shell.exe"));
  b.Value(key, 4, "Depend10", {0x14, 0, 0, 0});
  b.Key(key, "Sub");
  testimg::WriteFile("default.hv", b.Build());
  EXPECT_EQ(Run({"default.hv"}), 0);
  EXPECT_EQ(Output(),
            "REGEDIT4\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\init]\r\n"
            "\"Launch10\"=\"shell.exe\"\r\n\"Depend10\"=dword:00000014\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\init\\Sub]\r\n");
  EXPECT_EQ(err_.str(), "Hivelore: 2 keys, 2 values: 1 REG_SZ, 1 REG_DWORD\n");
}

TEST_F(HiveloreProgram, ARefusedHiveLeavesThePreviousFile) {
  testhive::HiveBuilder b;
  const uint32_t a = b.RootKey(2, "A");
  b.Key(a, "B");
  Bytes file = b.Build();
  testhive::Put32(file, b.PayloadOffset(a) + 4, testhive::kReferenceTag | a);  // A below A
  testimg::WriteFile("default.hv", file);
  testimg::WriteFile(kOutputFileName, testimg::BytesOf("previous"));
  EXPECT_EQ(Run({"default.hv"}), 1);
  EXPECT_EQ(Output(), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
  char offset[16];
  std::snprintf(offset, sizeof offset, "0x%08X", b.PayloadOffset(a) + 4);
  EXPECT_EQ(err_.str(), "Hivelore: default.hv: not a sound hive file, at offset " +
                            std::string(offset) +
                            ": reference to handle 1, a cell reached before: a list loops or a "
                            "cell is linked twice; nothing written, a previous file of that "
                            "name is kept\n");
}

using testfs::StatusWithin;

TEST_F(HiveloreProgram, RefusesInputThatIsNotARegularFile) {
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  for (const char* input : {"fifo", "/dev/zero"}) {
    EXPECT_EQ(StatusWithin(5, [&] { return Run({input}); }), 1) << input;
    EXPECT_EQ(Run({input}), 1);
    EXPECT_EQ(err_.str(), std::string("Hivelore: ") + input + ": not a regular file\n");
    EXPECT_FALSE(std::filesystem::exists(kOutputFileName));
  }
}

TEST_F(HiveloreProgram, AFullDiskKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  testfs::SmallFileSystem small(dir_, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  RegistryBuilder large;  // about 400 KB of text
  large.Key(2, "K").Value(3, "a", Bytes(60000, 1)).Value(3, "b", Bytes(60000, 2));
  testimg::WriteFile("in.fdf", large.bytes());
  std::filesystem::current_path(small.File(""));
  testimg::WriteFile(kOutputFileName, testimg::BytesOf("previous"));
  EXPECT_EQ(Run({dir_.File("in.fdf")}), 1);
  EXPECT_EQ(Output(), "previous");
  EXPECT_EQ(small.Entries(), 1u);
  EXPECT_NE(err_.str().find(std::strerror(ENOSPC)), std::string::npos) << err_.str();
  std::filesystem::current_path(dir_.path());
}

// The exit status and peak resident memory (KiB) of the Hivelore program run in `dir` on
// `input`; status -1 when it has not ended after `seconds`.
struct ProgramRun {
  int status = -1;
  long peak_kib = 0;
};

// The peak resident memory (KiB) of process `pid` once it runs Hivelore, 0 before. The peak that
// wait4 reports would also count what the child had from this test process before its exec.
long PeakOfHivelore(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid) + "/";
  std::ifstream comm(proc + "comm");
  std::string line;
  if (!std::getline(comm, line) || line != "Hivelore") return 0;
  std::ifstream status(proc + "status");
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

ProgramRun RunProgram(const std::string& dir, const std::string& input, int seconds) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(dir.c_str()) != 0 || null < 0 || dup2(null, 2) < 0) _exit(126);
    execl(HIVELORE_BINARY, "Hivelore", input.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ProgramRun run;
  for (int i = 0; i < seconds * 50; ++i) {
    run.peak_kib = std::max(run.peak_kib, PeakOfHivelore(pid));
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
      return run;
    }
    usleep(20000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return run;
}

TEST_F(HiveloreProgram, MemoryStaysBoundedWhenASmallFileMakesGigabytesOfText) {
  // 120 KB of 12-byte records that each claim 65535 data bytes would make 2.1 GB of text:
  // written as it is made, the run passes the 1 GiB limit with little memory and stops.
  RegistryBuilder amplifying;
  for (int i = 0; i < 10240; ++i) amplifying.Value(3, "", {}, 65535);
  testimg::WriteFile("in.fdf", amplifying.bytes());
  testimg::WriteFile(kOutputFileName, testimg::BytesOf("previous"));
  const ProgramRun run = RunProgram(dir_.path().string(), "in.fdf", 120);
  EXPECT_EQ(run.status, 1);
  EXPECT_LT(run.peak_kib, 64 * 1024);
  EXPECT_GT(run.peak_kib, 0);
  EXPECT_EQ(Output(), "previous");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
}

}  // namespace
}  // namespace hivelore

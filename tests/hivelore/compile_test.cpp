// Tests of Hivelore --compile: registry files through their text and back, hand-written text,
// and every fault the compiler reports.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bytes/byte_order.h"
#include "tests/fileio/small_file_system.h"
#include "tests/hivelore/hive_builder.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/hive_writer.h"
#include "tools/hivelore/hivelore.h"
#include "tools/hivelore/precompiled_writer.h"
#include "tools/hivelore/reg_text_reader.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {
namespace {

using testreg::Bytes;
using testreg::RegistryBuilder;
using testreg::StringData;
using testreg::Units;

class Compile : public ::testing::Test {
 protected:
  void SetUp() override {
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { std::filesystem::current_path(cwd_); }

  int Run(const std::vector<std::string>& args, const Options& options = {}) {
    out_.str("");
    err_.str("");
    return hivelore::Run(args, out_, err_, options);
  }
  static std::string Read(const std::string& name) {
    const Bytes b = testimg::ReadFile(name);
    return std::string(b.begin(), b.end());
  }
  static void Write(const std::string& name, const std::string& text) {
    testimg::WriteFile(name, testimg::BytesOf(text));
  }
  // The text Hivelore writes for `file`.
  std::string TextOf(const Bytes& file) {
    testimg::WriteFile("input", file);
    EXPECT_EQ(Run({"input"}), 0) << err_.str();
    return Read(kOutputFileName);
  }
  // `file` turned into text and compiled back --like itself.
  Bytes RoundTrip(const Bytes& file) {
    testimg::WriteFile("like", file);
    EXPECT_EQ(Run({"like"}), 0) << err_.str();
    EXPECT_EQ(Run({"--compile", kOutputFileName, "out", "--like", "like"}), 0) << err_.str();
    return testimg::ReadFile("out");
  }
  // The files in the folder.
  static std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testimg::TempDir dir_;
  std::filesystem::path cwd_;
  std::ostringstream out_, err_;
};

// Values of every type the text carries, in their usual forms and in the hex(N) form for what
// those would change, behind keys made by `key` (either key layout).
template <typename KeyFn>
Bytes EveryKindOfValue(KeyFn key) {
  RegistryBuilder b;
  Bytes data;
  for (uint8_t i = 0; i < 46; ++i) data.push_back(i);
  key(b, 2, "Software\\Demo");
  b.Value(1, "", StringData("C:\\Temp \"x\""))
      .Value(1, "N\xE4me \xFF", StringData("\xE9t\xE9"))  // above 0x7F
      .Value(1, "empty", StringData(""))
      .Value(4, "Count", {10, 0, 0, 0})
      .Value(3, "Data", data)
      .Value(3, "none", {})
      .Value(7, "List", Units({'a', 0, 0, '\\', '"', 0, 0}))
      .Value(7, "EmptyList", Units({0}))
      .Value(21, "Mui", StringData("a.dll,#9008 \\x"))
      .Value(1, "a\\b", StringData("\\"));
  // What the usual forms would change.
  b.Value(1, "units", Units({'1', 0x20AC, 0x0100, 0}))  // above 0xFF
      .Value(7, "odd", {'a', 0, 0, 0, 0})
      .Value(7, "open", Units({'a', 0, 'b'}))
      .Value(21, "quote", StringData("a\"b"))
      .Value(1, "crlf", Units({'a', '\r', '\n', 0}))
      .Value(4, "q\"\\", {1, 0, 0, 0})
      .Value(4, "x\\\\y", {1, 0, 0, 0})
      .Value(4, "short", {1, 2});
  key(b, 0, "");
  key(b, 9, "odd\\root");
  key(b, 1, "a]b;c");
  b.Value(1, "", StringData(""));
  return b.bytes();
}

TEST_F(Compile, PrecompiledFilesOfBothKeyLayoutsComeBackByteForByte) {
  const Bytes current = EveryKindOfValue(
      [](RegistryBuilder& b, uint16_t root, const std::string& path) { b.Key(root, path); });
  const Bytes older = EveryKindOfValue(
      [](RegistryBuilder& b, uint16_t root, const std::string& path) { b.OldKey(root, path); });
  EXPECT_EQ(RoundTrip(current), current);
  EXPECT_NE(err_.str().find("current key layout"), std::string::npos) << err_.str();
  EXPECT_EQ(RoundTrip(older), older);
  EXPECT_NE(err_.str().find("older key layout"), std::string::npos) << err_.str();
  // Without --like: the current layout.
  testimg::WriteFile("older.fdf", older);
  ASSERT_EQ(Run({"older.fdf"}), 0);
  ASSERT_EQ(Run({"--compile", kOutputFileName, "plain.fdf"}), 0) << err_.str();
  EXPECT_EQ(testimg::ReadFile("plain.fdf"), current);
}

// Keys and values made in the order of their text: each key, its values, then its subkeys.
struct TextOrderHive {
  testhive::HiveBuilder b;
  TextOrderHive() {
    const uint32_t txt = b.RootKey(0, ".txt");
    b.Value(txt, 1, "", testhive::HiveString("txtfile"));
    b.RootKey(1, "ControlPanel");
    const uint32_t many = b.RootKey(2, "Many");
    for (int i = 0; i < 1500; ++i) {
      b.Value(many, 4, "v" + std::to_string(i), {static_cast<uint8_t>(i), 0, 0, 0});
    }
    uint32_t deep = b.Key(many, "Deep");
    b.Value(deep, 1, "Expand", testhive::HiveString("%windir%"));
    b.Value(deep, 1, std::vector<uint16_t>{'N', 0xE4}, {'a', 0, 0x20, 0x20, 0, 0});
    b.Value(deep, 7, "List", {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    b.Value(deep, 21, "Mui", testhive::HiveString("a.dll,#1"));
    b.Value(deep, 3, "Bin", testhive::Bytes(30, 7));
    for (int level = 0; level < 40; ++level) deep = b.Key(deep, "L" + std::to_string(level));
    for (int i = 0; i < 700; ++i) b.Key(b.RootKey(2, "k" + std::to_string(i)), "sub");
    b.RootKey(3, "");
    b.RootKey(5, "Odd");
  }
};

TEST_F(Compile, HivesComeBackLaidOutAsThePlatformLaysThemOut) {
  TextOrderHive hive;
  Bytes like = hive.b.Build();
  ASSERT_EQ(hive.b.table_count(), 3u);
  // An operation log in the hive the header comes from, which the new one leaves empty.
  for (uint32_t i = 0; i < 16; ++i) like[kHiveLogOffset + i] = static_cast<uint8_t>(i + 1);
  const Bytes out = RoundTrip(like);
  ASSERT_EQ(out.size(), like.size());
  EXPECT_EQ(bytes::LoadLe32(out.data() + 0x20), out.size());
  EXPECT_TRUE(std::all_of(out.begin() + kHiveLogOffset, out.begin() + 0x1000,
                          [](uint8_t b) { return b == 0; }));
  // Apart from the log, the hive the builder made in the text's order.
  std::copy(out.begin() + kHiveLogOffset, out.begin() + kHiveLogOffset + 16,
            like.begin() + kHiveLogOffset);
  EXPECT_EQ(out, like);
}

TEST_F(Compile, HivesInAnyOrderComeBackToTheSameText) {
  for (bool at_tail : {false, true}) {
    testhive::HiveBuilder b;
    if (at_tail) b.LinkAtTail();
    const uint32_t software = b.RootKey(2, "Software");
    const uint32_t demo = b.Key(software, "Demo");
    b.RootKey(0, ".txt");
    b.Value(demo, 4, "Count", {10, 0, 0, 0});
    b.Key(software, "Late");
    b.Value(software, 1, "Later", testhive::HiveString("value"));
    for (int i = 0; i < 1100; ++i) b.Key(demo, "k" + std::to_string(i));
    b.Value(demo, 4, "Last", {1, 0, 0, 0});
    const Bytes hive = b.Build();
    const std::string text = TextOf(hive);
    const Bytes out = RoundTrip(hive);
    EXPECT_EQ(out.size() % 0x1000, 0u);
    testimg::WriteFile("out.hv", out);
    ASSERT_EQ(Run({"out.hv"}), 0) << err_.str();  // every check of the hive reader passes
    EXPECT_EQ(Read(kOutputFileName), text) << at_tail;
  }
}

// `text` compiled into a precompiled file of the current layout.
Bytes Precompiled(const std::string& text) {
  PrecompiledWriter writer(KeyLayout::kCurrent);
  const TextRead read = ReadRegText(testimg::BytesOf(text), writer);
  EXPECT_FALSE(read.fault) << read.fault->Message();
  const std::span<const uint8_t> file = writer.Finish();
  return Bytes(file.begin(), file.end());
}

TEST(ReadRegText, ReadsWhatPeopleWriteByHand) {
  const std::string text =
      "; a comment before the header\r\n"
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial]   ; a comment\r\n"
      "\"Dll\"=\"serial.dll\"\r\n"
      "@=\"quoted \\\"x\\\" C:\\\\dir\\\\ and \\d alone\"\r\n"
      "\"Index\" = dword:1\r\n"
      "\"Full\"=dword:FFFFFFFF ; and a comment\r\n"
      "\"Bin\"=hex:01,2,\\\r\n"
      "   0a , FF\r\n"
      "\"Exp\"=hex(2):25,00,00,00\r\n"
      "\"Q\"=HEX(B):\r\n"
      "\"List\"=multi_sz:\"a\\\\b\",\\\r\n"
      "  \"\",\\ \r\n"
      "   \"c\\\"d\"\r\n"
      "\"Empty\"=multi_sz:\r\n"
      "\"Mui\"=mui_sz:\"x.dll,#1 \\ raw\"\r\n"
      "\"N\xE4me\"=\"\xFC\"\r\n"
      "\t\"indented\"=dword:00000002\r\n"
      "[HKEY_CLASSES_ROOT]\r\n"
      "[HKEY_CURRENT_USER\\a]b]\r\n"
      "[hkey_users\\x]\r\n"
      "[HKEY_ROOT_7\\Odd]\r\n"
      "\"a\\\\b\"=\"\"";
  const Bytes expected = RegistryBuilder()
                             .Key(2, "Drivers\\BuiltIn\\Serial")
                             .Value(1, "Dll", StringData("serial.dll"))
                             .Value(1, "", StringData("quoted \"x\" C:\\dir\\ and \\d alone"))
                             .Value(4, "Index", {1, 0, 0, 0})
                             .Value(4, "Full", {0xFF, 0xFF, 0xFF, 0xFF})
                             .Value(3, "Bin", {1, 2, 0x0A, 0xFF})
                             .Value(2, "Exp", {0x25, 0, 0, 0})
                             .Value(11, "Q", {})
                             .Value(7, "List", Units({'a', '\\', 'b', 0, 0, 'c', '"', 'd', 0, 0}))
                             .Value(7, "Empty", Units({0}))
                             .Value(21, "Mui", StringData("x.dll,#1 \\ raw"))
                             .Value(1, "N\xE4me", StringData("\xFC"))
                             .Value(4, "indented", {2, 0, 0, 0})
                             .Key(0, "")
                             .Key(1, "a]b")
                             .Key(3, "x")
                             .Key(7, "Odd")
                             .Value(1, "a\\b", StringData(""))
                             .bytes();
  EXPECT_EQ(Precompiled(text), expected);
  // LF line ends and no header read the same.
  EXPECT_EQ(Precompiled("[HKEY_USERS\\k]\n\"v\"=dword:0000000a\n"),
            RegistryBuilder().Key(3, "k").Value(4, "v", {10, 0, 0, 0}).bytes());
}

TEST_F(Compile, EveryFaultNamesItsLineAndLeavesNoOutput) {
  const std::string key = "[HKEY_LOCAL_MACHINE\\k]\r\n";
  const std::string long_name(32762, 'n');
  std::string deep = "[HKEY_LOCAL_MACHINE\\k";
  for (int i = 1; i < 513; ++i) deep += "\\k";
  struct Case {
    std::string text;
    const char* like;  // a hive, or none
    uint32_t line;
    const char* what;
  };
  const Case cases[] = {
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MASHINE\\a]\r\n", nullptr, 3,
       "unknown root \"HKEY_LOCAL_MASHINE\""},
      {"[HKEY_ROOT_3\\a]", nullptr, 1, "unknown root"},
      {key + "\"a\"=dword:1\r\n[HKEY_USERS\\a\r\n", nullptr, 3, "no closing bracket"},
      {key + "\"a\"=hex:01,02,\\\r\n  03,0G\r\n", nullptr, 3, "\"0G\" is not a byte"},
      {key + "\"a\"=hex:01,,02\r\n", nullptr, 2, "a byte in hexadecimal is missing"},
      {key + "\"a\"=hex:01,\r\n", nullptr, 2, "a byte is missing after the comma"},
      {key + "\"a\"=hex(12345):01\r\n", nullptr, 2, "type code of 1 to 4 hexadecimal digits"},
      {key + "\"a\"=dword:123456789\r\n", nullptr, 2, "1 to 8 hexadecimal digits"},
      {"\r\n\"a\"=dword:1\r\n" + key, nullptr, 2, "a value before any key"},
      {key + "\"a\"=\"abc\r\n\"b\"=\"c\"\r\n", nullptr, 2, "closing double quote is missing"},
      {key + "\"a=dword:1\r\n", nullptr, 2, "closing double quote is missing"},
      {key + "\"a\"=multi_sz:\"x\",\\\r\n  \"y\r\n", nullptr, 3, "closing double quote"},
      {key + "\"a\"=----------------------expand_sz---\r\n", nullptr, 2,
       "the data of this value is not in the text"},
      {key + "\"a\"=--------------------- unbekannt 12\r\n", nullptr, 2,
       "the data of this value is not in the text"},
      {key + "\"a\"=\"x\" y\r\n", nullptr, 2, "unexpected text after the value's data"},
      {key + "\"a\"=dword:1\r\nstray\r\n", nullptr, 3, "neither a key"},
      {key + "\"a\"=\"x" + std::string(1, '\0') + "\"\r\n", nullptr, 2, "a zero byte inside"},
      {key + "\"" + long_name + "\"=dword:1\r\n", nullptr, 2, "do not fit the 65535 bytes"},
      {key + "\"a" + std::string(1, '\0') + "\"=dword:1\r\n", nullptr, 2, "name holds a zero byte"},
      {"[HKEY_USERS\\" + std::string(32765, 'p') + "]\r\n", nullptr, 1,
       "longer than the 32764 a key record holds"},
      {key + "\"a\"=\"" + std::string(32767, 's') + "\"\r\n", nullptr, 2, "passes 65535 bytes"},
      {"[HKEY_ROOT_8\\a]\r\n", "like.hv", 1, "root slots 0 to 7 only"},
      {deep + "]\r\n", "like.hv", 1, "nests 513 keys deep"},
  };
  testhive::HiveBuilder hive;
  hive.RootKey(2, "k");
  testimg::WriteFile("like.hv", hive.Build());
  for (const Case& c : cases) {
    Write("in.reg", c.text);
    std::vector<std::string> args = {"--compile", "in.reg", "out"};
    if (c.like) args.insert(args.end(), {"--like", c.like});
    EXPECT_EQ(Run(args), 1) << c.what;
    const std::string line = "in.reg, line " + std::to_string(c.line) + ": ";
    EXPECT_EQ(err_.str().rfind("Hivelore: " + line, 0), 0u) << c.what << "\n" << err_.str();
    EXPECT_NE(err_.str().find(c.what), std::string::npos) << c.what << "\n" << err_.str();
    EXPECT_EQ(Files(), (std::vector<std::string>{"in.reg", "like.hv"})) << c.what;
  }
}

// Runs the Hivelore program on `args` in the current folder; its exit status, and its standard
// error in `err`. The large runs go through the program so that their memory stays out of the
// test's own (whose peak another test's child would inherit).
int RunProgram(const std::string& args, std::string& err) {
  const int status =
      std::system((std::string(HIVELORE_BINARY) + " " + args + " 2>err.txt").c_str());
  const Bytes b = testimg::ReadFile("err.txt");
  err.assign(b.begin(), b.end());
  std::filesystem::remove("err.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text of one key and long string values, written as it goes: neither the text nor its lines
// are ever held whole.
class LongValues {
 public:
  explicit LongValues(const char* name) : file_(name, std::ios::binary) {
    std::memset(run_, 'x', sizeof run_);
    file_ << "[HKEY_LOCAL_MACHINE\\k]\r\n";
  }
  // A string of `length` (at most 32766) characters as the value of `head` ("@", "\"v\"").
  void Value(const char* head, size_t length) {
    file_ << head << "=\"";
    file_.write(run_, static_cast<std::streamsize>(length));
    file_ << "\"\r\n";
  }
  std::ofstream& file() { return file_; }

 private:
  std::ofstream file_;
  char run_[32766];
};

TEST_F(Compile, OutputAboveWhatHiveloreReadsIsRefused) {
  // 255 strings of 32766 characters and one of 31476 fill a precompiled file to exactly
  // 16 MiB: a header of 8 bytes, a key record of 12, value records of 14 + 2 * length bytes.
  auto exact = [](LongValues& text) {
    for (int i = 0; i < 256; ++i) text.Value("@", i < 255 ? 32766 : 31476);
  };
  std::string err;
  {
    LongValues text("in.reg");
    exact(text);
  }
  ASSERT_EQ(RunProgram("--compile in.reg out.fdf", err), 0) << err;
  EXPECT_EQ(std::filesystem::file_size("out.fdf"), 16777216u);
  testimg::WriteFile("out.fdf", testimg::BytesOf("previous"));
  {
    LongValues text("in.reg");
    exact(text);
    text.file() << "\"one more\"=dword:1\r\n";
  }
  EXPECT_EQ(RunProgram("--compile in.reg out.fdf", err), 1);
  EXPECT_NE(err.find("line 258: the file would pass 16777216 bytes"), std::string::npos) << err;
  EXPECT_EQ(Read("out.fdf"), "previous");

  // A hive: values of their own names, until the file passes 16 MiB.
  testhive::HiveBuilder hive;
  hive.RootKey(2, "k");
  testimg::WriteFile("like.hv", hive.Build());
  {
    LongValues text("in.reg");
    char head[16];
    for (int i = 0; i < 260; ++i) {
      std::snprintf(head, sizeof head, "\"v%d\"", i);
      text.Value(head, 32766);
    }
  }
  EXPECT_EQ(RunProgram("--compile in.reg out.hv --like like.hv", err), 1);
  EXPECT_NE(err.find("the hive would pass 16777216 bytes"), std::string::npos) << err;
  EXPECT_EQ(Files(), (std::vector<std::string>{"in.reg", "like.hv", "out.fdf"}));
}

TEST_F(Compile, AFullDiskKeepsThePreviousHive) {
  testfs::SmallFileSystem small(dir_, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  testhive::HiveBuilder hive;
  hive.RootKey(2, "k");
  testimg::WriteFile("like.hv", hive.Build());
  std::string data = "00";
  for (int j = 1; j < 1000; ++j) data += ",00";
  std::string text = "[HKEY_LOCAL_MACHINE\\k]\r\n";
  for (int i = 0; i < 100; ++i) text += "\"v" + std::to_string(i) + "\"=hex:" + data + "\r\n";
  Write("in.reg", text);  // some 100 KB of hive
  const std::string out = small.File("out.hv");
  testimg::WriteFile(out, testimg::BytesOf("previous"));
  EXPECT_EQ(Run({"--compile", "in.reg", out, "--like", "like.hv"}), 1);
  EXPECT_NE(err_.str().find(std::strerror(ENOSPC)), std::string::npos) << err_.str();
  EXPECT_EQ(Read(out), "previous");
  EXPECT_EQ(small.Entries(), 1u);
}

TEST_F(Compile, CommandLine) {
  Write("in.reg", "[HKEY_LOCAL_MACHINE\\k]\r\n\"v\"=dword:1\r\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--compile"},
        {"--compile", "in.reg"},
        {"--compile", "in.reg", "out", "--like"},
        {"--compile", "in.reg", "out", "extra"},
        {"--compile", "in.reg", "out", "--like", "a", "--like", "b"}}) {
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(out_.str().rfind("Usage: Hivelore --compile IN.reg OUT [--like FILE]\n", 0), 0u);
  }
  // A hive only --like one.
  EXPECT_EQ(Run({"--compile", "in.reg", "default.HV"}), 1);
  EXPECT_NE(err_.str().find("a hive is made only --like an existing hive"), std::string::npos);
  EXPECT_NE(err_.str().find("identity fields"), std::string::npos);
  // --like a file that is neither kind.
  Write("text.txt", "not a registry");
  EXPECT_EQ(Run({"--compile", "in.reg", "out", "--like", "text.txt"}), 1);
  EXPECT_NE(err_.str().find("neither a precompiled registry file"), std::string::npos);
  EXPECT_EQ(Run({"--compile", "missing.reg", "out"}), 1);
  EXPECT_NE(err_.str().find("missing.reg"), std::string::npos);
  EXPECT_EQ(Files(), (std::vector<std::string>{"in.reg", "text.txt"}));
  // --like may come first; OUT may be IN.
  EXPECT_EQ(Run({"--compile", "--like", "missing.fdf", "in.reg", "in.reg"}), 1);
  EXPECT_EQ(Run({"--compile", "in.reg", "in.reg"}), 0) << err_.str();
  EXPECT_EQ(err_.str(),
            "Hivelore: in.reg: 1 key, 1 value, 38 bytes, precompiled, current key "
            "layout\n");
  EXPECT_EQ(testimg::ReadFile("in.reg"),
            RegistryBuilder().Key(2, "k").Value(4, "v", {1, 0, 0, 0}).bytes());
}

// The text Hivelore writes for the hive that `text` compiles into (without its header).
std::string HiveTextOf(const std::string& text) {
  testhive::HiveBuilder like;
  const Bytes header = like.Build();
  HiveWriter writer(header);
  const TextRead read = ReadRegText(testimg::BytesOf(text), writer);
  EXPECT_FALSE(read.fault) << read.fault->Message();
  std::string file;
  StringSink file_sink(file);
  EXPECT_TRUE(writer.WriteTo(file_sink));
  EXPECT_EQ(file.size(), writer.FileSize());
  std::string walked;
  StringSink sink(walked);
  TextOutput output(sink, kMaxOutputSize);
  Regedit4Writer regedit(output);
  EXPECT_FALSE(WalkHive(testimg::BytesOf(file), regedit));
  EXPECT_TRUE(output.Finish());
  return walked;
}

TEST(HiveWriter, AKeyOrValueAgainIsTheOneThereAlready) {
  // Later lines of a key or value name it in any case; the value keeps its place and takes
  // the new type and data.
  EXPECT_EQ(HiveTextOf("[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"x\"=dword:1\r\n\"y\"=dword:2\r\n"
                       "[HKEY_CURRENT_USER\\A]\r\n"
                       "[hkey_local_machine\\a\\\xC4]\r\n"
                       "[HKEY_LOCAL_MACHINE\\a\\b]\r\n\"X\"=\"longer than before\"\r\n"
                       "[HKEY_LOCAL_MACHINE\\A\\\xE4]\r\n\"z\"=dword:3\r\n"),
            "\r\n[HKEY_CURRENT_USER\\A]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n"
            "\"x\"=\"longer than before\"\r\n"
            "\"y\"=dword:00000002\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\A\\\xC4]\r\n"
            "\"z\"=dword:00000003\r\n");
  // The same in lists long enough to be searched through the index.
  std::string text = "[HKEY_LOCAL_MACHINE\\M]\r\n";
  for (int i = 0; i < 12; ++i) text += "\"v" + std::to_string(i) + "\"=dword:1\r\n";
  for (int i = 0; i < 12; ++i) text += "[HKEY_LOCAL_MACHINE\\M\\s" + std::to_string(i) + "]\r\n";
  text +=
      "[HKEY_LOCAL_MACHINE\\m]\r\n\"V5\"=dword:2\r\n[HKEY_LOCAL_MACHINE\\M\\S7]\r\n\"x\"=dword:"
      "3\r\n";
  std::string expected = "\r\n[HKEY_LOCAL_MACHINE\\M]\r\n";
  for (int i = 0; i < 12; ++i) {
    expected += "\"v" + std::to_string(i) + "\"=dword:0000000" + (i == 5 ? "2" : "1") + "\r\n";
  }
  for (int i = 0; i < 12; ++i) {
    expected += "\r\n[HKEY_LOCAL_MACHINE\\M\\s" + std::to_string(i) + "]\r\n";
    if (i == 7) expected += "\"x\"=dword:00000003\r\n";
  }
  EXPECT_EQ(HiveTextOf(text), expected);
}

}  // namespace
}  // namespace hivelore

// Putting a changed file back the way the image stores it: compressed in the coding of the
// entry's stream, in place where something behind may not move, and the header's "phys last"
// and "RAM Start" respected. Every case checks the edit property (edit_property.h) too.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "compress/compression_library.h"
#include "rom/export.h"
#include "rom/listing/row_actions.h"
#include "rom/rom_header.h"
#include "rom/stored_form.h"
#include "rom/text_format.h"
#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/rom/edit_fixture.h"
#include "tests/rom/edit_property.h"
#include "ui/console/library_decompressor.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;
using testimg::Pattern;

// Bytes that no coding makes smaller.
Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b(n);
  for (uint8_t& x : b) x = static_cast<uint8_t>(random());
  return b;
}

StreamCoding Ours(codec::PageCoding coding) {
  return coding == codec::PageCoding::kLzx ? StreamCoding::kLzx : StreamCoding::kLz77;
}

class PutBackTest : public testimg::EditFixture {
 protected:
  void SetUp() override {
    std::string missing;
    library_ = codec::CompressionLibrary::Bind(missing);
    ASSERT_TRUE(library_) << missing;
    codec_ = console::MakeStreamCodec(*library_);
    decompress_ = console::MakeDecompressor(*library_);
  }

  // The content a decompressed export of file entry `entry` gives.
  Bytes Exported(uint32_t entry) {
    const auto e = ExportEntry(image_, {EntryRef::Kind::kFile, entry}, false, decompress_);
    EXPECT_TRUE(e.ok()) << e.error().Message();
    return e.ok() ? e->bytes : Bytes{};
  }
  // The stored bytes of file entry `entry`, as its nCompFileSize says.
  Bytes Stored(uint32_t entry) {
    const uint32_t at = OffsetOf(image_, Field(entry, filesentry::ulLoadOffset));
    const auto b = image_.Bytes(at, Field(entry, filesentry::nCompFileSize));
    return b ? Bytes(b->begin(), b->end()) : Bytes{};
  }
  Bytes Stream(StreamCoding coding, const Bytes& content) { return *codec_.encode(coding, content); }

  // Replaces the file of map row `row` by `content` in its stored form on a fresh load of
  // `image`; checks the edit property either way.
  Result<StoredReplacement> PutBack(const Bytes& image, size_t row, const Bytes& content,
                                    const std::string& what) {
    LoadSmall(image);
    const editprop::Snapshot before = editprop::Take(image_);
    const auto plan = PlanReplace(lists_, static_cast<int64_t>(row));
    EXPECT_TRUE(plan) << what;
    if (!plan) return Error{.kind = ErrorKind::kNotAFile};
    const uint32_t entry = plan->entry;
    auto r = ReplaceFileStored(image_, *plan, content, 0xFF, codec_);
    const std::string fault =
        r.ok() ? editprop::CheckKept(before, image_,
                                     [entry](uint32_t k) -> std::optional<uint32_t> {
                                       return k == entry ? std::nullopt : std::optional(k);
                                     })
               : editprop::CheckUnchanged(before, image_);
    EXPECT_EQ(fault, "") << what;
    if (r.ok()) AnalyseImage(image_, lists_);
    return r;
  }

  std::unique_ptr<codec::CompressionLibrary> library_;
  StreamCodec codec_;
  Decompressor decompress_;
};

TEST_F(PutBackTest, EveryCompressedFileOfTheDemoGoesBackInTheCodingOfItsStream) {
  for (const codec::PageCoding built : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    const StreamCoding coding = Ours(built);
    const StreamCoding other = coding == StreamCoding::kLzx ? StreamCoding::kLz77 : StreamCoding::kLzx;
    SCOPED_TRACE(CodingName(coding));
    const Bytes demo = testimg::DemoImage(testimg::RomCompressor(built));
    LoadSmall(demo);
    std::vector<std::pair<size_t, uint32_t>> compressed;  // map row, entry
    for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
      const MapRow& row = lists_.MemoryMap[i];
      if (row.kind == StretchKind::kFileData && row.entry &&
          (Field(*row.entry, filesentry::dwFileAttributes) & kAttrCompressed) != 0) {
        compressed.push_back({i, *row.entry});
      }
    }
    ASSERT_GE(compressed.size(), 4u);
    for (const auto& [row, entry] : compressed) {
      LoadSmall(demo);
      const std::string name = image_.ReadRomString(Field(entry, filesentry::lpszFileName));
      const uint32_t attributes = Field(entry, filesentry::dwFileAttributes);
      const Bytes own = Exported(entry);
      Bytes changed = own;
      changed.insert(changed.begin(), {'n', 'e', 'w', ' '});
      const Bytes grown = Noise(own.size() + 700, entry);
      struct Case {
        std::string what;
        Bytes file;
        Bytes content;  // what the export must give afterwards
        bool as_stream;
      };
      const std::vector<Case> cases = {
          {"own bytes", own, own, false},
          {"changed bytes", changed, changed, false},
          {"grown noise", grown, grown, false},
          {"stream of its coding", Stream(coding, changed), changed, true},
          // A stream of the other coding is no stream of this one: it is content like any other.
          {"stream of the other coding", Stream(other, changed), Stream(other, changed), false},
      };
      int done = 0;
      for (const Case& c : cases) {
        const std::string what = name + ": " + c.what;
        const auto r = PutBack(demo, row, c.file, what);
        if (!r.ok()) {
          // Only where a fixed block or a module behind keeps the file in its room, and only
          // for a stream longer than the room (the image unchanged: PutBack checked it).
          const ErrorKind kind = r.error().kind;
          EXPECT_TRUE(kind == ErrorKind::kRoomTooSmall || kind == ErrorKind::kModuleRoomTooSmall)
              << what << ": " << r.error().Message();
          const Bytes stream = c.as_stream ? c.file : Stream(coding, c.file);
          EXPECT_GT(stream.size(), static_cast<size_t>(PlanReplace(lists_, row)->room)) << what;
          continue;
        }
        ++done;
        EXPECT_EQ(r->coding, coding) << what;
        EXPECT_EQ(r->given_as_stream, c.as_stream) << what;
        EXPECT_EQ(Field(entry, filesentry::dwFileAttributes), attributes) << what;
        EXPECT_EQ(Field(entry, filesentry::nRealFileSize), c.content.size()) << what;
        EXPECT_EQ(Field(entry, filesentry::nCompFileSize), r->stored_size) << what;
        EXPECT_EQ(Exported(entry), c.content) << what;
        // The stored bytes are a stream of the entry's coding, not of the other one.
        const auto decoded = codec_.decode(coding, Stored(entry));
        ASSERT_TRUE(decoded) << what;
        EXPECT_EQ(*decoded, c.content) << what;
        if (c.as_stream) {
          EXPECT_EQ(Stored(entry), c.file) << what;
        }
      }
      EXPECT_GE(done, 1) << name;  // its own bytes always go back
    }
  }
}

TEST_F(PutBackTest, AnEntryWithoutTheCBitTakesTheBytesAsGiven) {
  const Bytes demo = testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx));
  LoadSmall(demo);
  int row = -1;  // the data of "My File.txt", not compressed, with nothing fixed behind it
  for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
    const MapRow& r = lists_.MemoryMap[i];
    if (r.kind == StretchKind::kFileData &&
        image_.ReadRomString(Field(*r.entry, filesentry::lpszFileName)) == "My File.txt") {
      row = static_cast<int>(i);
    }
  }
  ASSERT_GE(row, 0);
  const Bytes stream = Stream(StreamCoding::kLzx, Pattern(100, 1));
  const auto r = PutBack(demo, static_cast<size_t>(row), stream, "My File.txt");
  ASSERT_TRUE(r.ok()) << r.error().Message();
  EXPECT_FALSE(r->coding);
  const uint32_t entry = MapEntry(row);
  EXPECT_EQ(Stored(entry), stream);
  EXPECT_EQ(Field(entry, filesentry::nRealFileSize), stream.size());
  EXPECT_EQ(Describe(*r), "Datei ungepackt gespeichert: " + std::to_string(stream.size()) +
                              " Bytes");
}

TEST_F(PutBackTest, ADamagedStreamTakesTheCodingOfTheImagesOtherCompressedFiles) {
  for (const codec::PageCoding built : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    ImageBuilder b(0x3000);
    b.HeaderOffset(0x2800);
    const Bytes good = *testimg::RomCompressor(built)(Pattern(3000, 5));
    b.AddFile({.name = "broken",
               .name_offset = 0x1000,
               .data = Bytes(64, 0xEE),
               .data_offset = 0x1010,
               .attributes = 0x801});
    b.AddFile({.name = "good",
               .name_offset = 0x1100,
               .data = good,
               .data_offset = 0x1110,
               .attributes = 0x801,
               .real_size = 3000});
    LoadSmall(b.Build());
    EXPECT_EQ(CodingOfEntry(image_, 0, codec_), Ours(built));
    EXPECT_EQ(CodingOfEntry(image_, 1, codec_), Ours(built));
  }
  // With no other compressed stream in the image: LZX.
  ImageBuilder alone(0x3000);
  alone.HeaderOffset(0x2800);
  alone.AddFile({.name = "broken",
                 .name_offset = 0x1000,
                 .data = Bytes(64, 0xEE),
                 .data_offset = 0x1010,
                 .attributes = 0x801});
  LoadSmall(alone.Build());
  EXPECT_EQ(CodingOfEntry(image_, 0, codec_), StreamCoding::kLzx);
}

// f: a compressed file at 0x1010, the image's last stretch; a module's name begins at the next
// multiple of 4 behind it, its e32_rom, o32_rom and section's stored bytes follow. The memory
// map lists none of the module's stretches: the file's room ends where its bytes end.
ImageBuilder ModuleRightBehind(const Bytes& stream, uint32_t real_size) {
  ImageBuilder b(0x2000);
  b.HeaderOffset(0x100);
  b.AddFile({.name = "f",
             .name_offset = 0x1000,
             .data = stream,
             .data_offset = 0x1010,
             .attributes = 0x801,
             .real_size = real_size});
  const uint32_t m = AlignUp4(0x1010 + static_cast<uint32_t>(stream.size()));
  b.AddModule({.name = "nk.exe", .name_offset = m, .e32_offset = m + 0x20, .o32_offset = m + 0x80});
  b.Put(m + 0x20, {1, 0});
  Bytes o32(24, 0);
  testimg::StoreDword(o32, 8, 0x40);                      // o32_psize
  testimg::StoreDword(o32, 12, b.rom_base() + m + 0x100);  // o32_dataptr
  b.Put(m + 0x80, o32);
  b.Put(m + 0x100, Pattern(0x40, 0x33));
  return b;
}

TEST_F(PutBackTest, AModuleRightBehindTakesASmallerStreamInPlaceAndRefusesALargerOne) {
  const Bytes content = Pattern(2500, 9);
  const Bytes stream = Stream(StreamCoding::kLzx, content);
  const Bytes image = ModuleRightBehind(stream, 2500).Build();
  LoadSmall(image);
  const int row = MapIndex("00001010");
  ASSERT_GE(row, 0);
  const auto room = static_cast<uint32_t>(PlanReplace(lists_, row)->room);
  ASSERT_EQ(room, stream.size());

  // Its own content again (the same stream, whatever its length) goes back in place.
  const auto same = PutBack(image, static_cast<size_t>(row), content, "own content");
  ASSERT_TRUE(same.ok()) << same.error().Message();
  EXPECT_EQ(Stored(0), stream);
  EXPECT_EQ(Head(0x2000), image);

  // A smaller stream: the module stays, the stream goes into the room, the rest takes the fill.
  const Bytes smaller(100, 0);
  const auto in_place = PutBack(image, static_cast<size_t>(row), smaller, "smaller");
  ASSERT_TRUE(in_place.ok()) << in_place.error().Message();
  EXPECT_TRUE(in_place->placed.in_place);
  EXPECT_EQ(in_place->placed.module, "nk.exe");
  ASSERT_LT(in_place->stored_size, room);
  EXPECT_EQ(image_.ImageLength(), 0x2000);
  EXPECT_EQ(Exported(0), smaller);
  const auto rest = *image_.Bytes(0x1010 + in_place->stored_size, room - in_place->stored_size);
  EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](uint8_t x) { return x == 0xFF; }));
  EXPECT_NE(Describe(*in_place).find("(am alten Platz: das Modul nk.exe liegt dahinter)"),
            std::string::npos)
      << Describe(*in_place);

  // A stream that needs more than the room: refused, naming the module; the image unchanged.
  const Bytes larger = Noise(room + 200, 1);
  const auto refused = PutBack(image, static_cast<size_t>(row), larger, "larger");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, ErrorKind::kModuleRoomTooSmall);
  EXPECT_EQ(refused.error().Message().rfind("Das Modul nk.exe (Name bei " +
                                                H8(AlignUp4(0x1010 + room)) + ") liegt dahinter",
                                            0),
            0u)
      << refused.error().Message();

  // Raw bytes follow the same rule.
  LoadSmall(image);
  const auto plan = *PlanReplace(lists_, row);
  EXPECT_EQ(ReplaceFile(image_, plan, Noise(room + 1, 2), 0).error().kind,
            ErrorKind::kModuleRoomTooSmall);
  EXPECT_EQ(Head(0x2000), image);
  ASSERT_TRUE(ReplaceFile(image_, plan, Noise(room, 2), 0).ok());
  EXPECT_EQ(image_.ImageLength(), 0x2000);
}

// a and b, then the header, which ends the image at 0x10F4: "phys last" marks that end or not.
ImageBuilder HeaderLast(bool phys_last_at_end, uint32_t ram_start) {
  ImageBuilder b(0x10F4);
  b.HeaderOffset(0x1068);
  b.HeaderField(romhdr::physfirst, 0x80000000);
  b.HeaderField(romhdr::physlast, phys_last_at_end ? 0x800010F4 : 0x80001800);
  b.HeaderField(romhdr::ulRAMStart, ram_start);
  b.AddFile({.name = "a", .name_offset = 0x1000, .data = Pattern(64, 1), .data_offset = 0x1004});
  b.AddFile({.name = "b", .name_offset = 0x1044, .data = Pattern(32, 2), .data_offset = 0x1048});
  return b;
}

TEST_F(PutBackTest, PhysLastFollowsTheImagesEndWhereItMarkedIt) {
  for (const bool at_end : {true, false}) {
    SCOPED_TRACE(at_end ? "phys last at the end" : "phys last elsewhere");
    Load(HeaderLast(at_end, 0x8C000000).Build());
    const auto note = std::find_if(lists_.AnalysisLog.begin(), lists_.AnalysisLog.end(),
                                   [](const LogRow& r) { return r.text.rfind("; phys last", 0) == 0; });
    EXPECT_EQ(note != lists_.AnalysisLog.end(), !at_end);
    if (!at_end) {
      EXPECT_EQ(note->text,
                "; phys last 80001800 ist nicht das Ende des Image (800010F4); er folgt der "
                "L\xE4nge nicht");
    }
    const uint32_t before = HeaderDword(romhdr::physlast);
    auto expect = [&](const char* what) {
      EXPECT_EQ(HeaderDword(romhdr::physlast),
                at_end ? 0x80000000u + static_cast<uint32_t>(image_.ImageLength()) : before)
          << what;
    };
    ASSERT_TRUE(ReplaceFile(image_, *PlanReplace(lists_, MapIndex("00001004")), Pattern(100, 3), 0)
                    .ok());
    AnalyseImage(image_, lists_);
    EXPECT_EQ(image_.ImageLength(), 0x10F4 + 36);
    expect("growing replacement");
    ASSERT_TRUE(AddFile(image_, "c", Pattern(8, 4), 0).ok());
    AnalyseImage(image_, lists_);
    expect("addition");
    ASSERT_TRUE(DeleteFile(image_, 0, 0).ok());
    AnalyseImage(image_, lists_);
    expect("deletion");
  }
}

TEST_F(PutBackTest, NoEditLetsTheImageReachRamStart) {
  // RAM Start 0x20 bytes behind the image's end: growing by 36 reaches it, by 32 does not.
  Load(HeaderLast(true, 0x80001114).Build());
  const Bytes before = Head(0x1300);
  const auto plan = *PlanReplace(lists_, MapIndex("00001004"));
  const auto past = ReplaceFile(image_, plan, Pattern(100, 3), 0);
  ASSERT_FALSE(past.ok());
  EXPECT_EQ(past.error().Message(),
            "Das Image reichte nach der Änderung bis 80001117 und damit über RAM Start "
            "(80001114); das Image wird nicht verändert.");
  EXPECT_EQ(Head(0x1300), before);
  EXPECT_EQ(AddFile(image_, "c", Pattern(8, 4), 0).error().kind, ErrorKind::kPastRamStart);
  EXPECT_EQ(Head(0x1300), before);
  ASSERT_TRUE(ReplaceFile(image_, plan, Pattern(96, 3), 0).ok());
  EXPECT_EQ(image_.ImageLength(), 0x1114);

  // A RAM Start below RomBase, or one the image already reaches, is no limit.
  for (const uint32_t ram : {0x10000000u, 0x80001000u}) {
    Load(HeaderLast(true, ram).Build());
    EXPECT_TRUE(AddFile(image_, "c", Pattern(8, 4), 0).ok()) << ram;
  }
}

TEST_F(PutBackTest, TheLastFileIsReplacedLikeAnyOtherAndSaysWhyWhereNothingCanBe) {
  // The header in front; x, then y as the image's last stretch.
  ImageBuilder b(0x2040);
  b.HeaderOffset(0x100);
  b.AddFile({.name = "x", .name_offset = 0x1F00, .data = Pattern(16, 1), .data_offset = 0x2000});
  b.AddFile({.name = "y", .name_offset = 0x1F04, .data = Pattern(40, 2), .data_offset = 0x2010});
  const Bytes image = b.Build();
  LoadSmall(image);
  const int last = MapIndex("00002010");
  ASSERT_EQ(last, static_cast<int>(lists_.MemoryMap.size()) - 2);
  EXPECT_FALSE(WhyNoReplacement(image_, lists_, last));
  EXPECT_EQ(PlanReplace(lists_, last)->next_start, 0x2038u);  // where "unallocated" starts
  EXPECT_EQ(WhyNoReplacement(image_, lists_, last + 1)->kind, ErrorKind::kNotAFile);

  for (const size_t size : {size_t{8}, size_t{40}, size_t{200}}) {
    const auto r = PutBack(image, static_cast<size_t>(last), Pattern(size, 7), "last");
    ASSERT_TRUE(r.ok()) << size << ": " << r.error().Message();
    EXPECT_EQ(Contents().at("y"), Pattern(size, 7));
    EXPECT_EQ(Contents().at("x"), Pattern(16, 1));
    EXPECT_EQ(image_.ImageLength(), static_cast<int32_t>(0x2010 + AlignUp4(static_cast<uint32_t>(size)) + 8))
        << size;
  }
  // After the last file's deletion, the one before it is the last and is replaced too.
  LoadSmall(image);
  ASSERT_TRUE(DeleteFile(image_, 1, 0xFF).ok());
  AnalyseImage(image_, lists_);
  const int now_last = MapIndex("00002000");
  ASSERT_EQ(now_last, static_cast<int>(lists_.MemoryMap.size()) - 2);
  ASSERT_TRUE(ReplaceFile(image_, *PlanReplace(lists_, now_last), Pattern(30, 3), 0).ok());
  AnalyseImage(image_, lists_);
  EXPECT_EQ(Contents().at("x"), Pattern(30, 3));

  // A file with a module behind: deletion says why not; replacement stays possible.
  LoadSmall(ModuleRightBehind(Pattern(16, 1), 16).Build());
  const int row = MapIndex("00001010");
  EXPECT_FALSE(WhyNoReplacement(image_, lists_, row));
  const auto why = WhyNoFileDeletion(image_, lists_, row);
  ASSERT_TRUE(why);
  EXPECT_EQ(why->kind, ErrorKind::kModuleBehind);
}

}  // namespace
}  // namespace rom

// Editing never loses data: on every kind of image, each edit either is refused with the image
// byte-identical, or leaves every other file's stored bytes and name and every module byte
// where they were. One hostile image per fault that an edit could otherwise commit.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "compress/compression_library.h"
#include "rom/add_replace.h"
#include "rom/delete.h"
#include "rom/entry_edit.h"
#include "rom/image_save.h"
#include "rom/listing/row_actions.h"
#include "rom/rom_header.h"
#include "rom/stored_form.h"
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

// A module whose e32_rom counts `sections` o32_rom records, each placing 16 stored bytes.
void AddModule(ImageBuilder& b, const std::string& name, uint32_t at, uint32_t sections = 1) {
  b.AddModule({.name = name, .name_offset = at, .e32_offset = at + 0x20, .o32_offset = at + 0x40});
  b.Put(at + 0x20, {static_cast<uint8_t>(sections), 0});
  for (uint32_t k = 0; k < sections; ++k) {
    Bytes o32(24, 0);
    testimg::StoreDword(o32, 8, 16);                                   // o32_psize
    testimg::StoreDword(o32, 12, b.rom_base() + at + 0x100 + 16 * k);  // o32_dataptr
    b.Put(at + 0x40 + 24 * k, o32);
    b.Put(at + 0x100 + 16 * k, Pattern(16, static_cast<uint8_t>(0x30 + k)));
  }
}

// The header in the middle: files in front of it and behind it, a module behind everything.
ImageBuilder HeaderInTheMiddle(bool with_module) {
  ImageBuilder b(0x6000);
  b.HeaderOffset(0x3000).SecondPointer(0x80);
  b.AddFile(
      {.name = "front", .name_offset = 0x2000, .data = Pattern(40, 1), .data_offset = 0x2008});
  b.AddFile(
      {.name = "behind", .name_offset = 0x4000, .data = Pattern(24, 2), .data_offset = 0x4008});
  b.AddFile({.name = "far", .name_offset = 0x4400, .data = Pattern(8, 3), .data_offset = 0x4408});
  if (with_module) AddModule(b, "late.dll", 0x5000);
  return b;
}

// Two files at one offset (an empty one and a full one), names holding list markers.
ImageBuilder SharedOffsetsAndMarkers() {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  AddModule(b, "early.exe", 0x1000, 2);
  b.AddFile({.name = "zero", .name_offset = 0x2000, .data = {}, .data_offset = 0x2008});
  b.AddFile({.name = "full", .name_offset = 0x2100, .data = Pattern(12, 4), .data_offset = 0x2008});
  b.AddFile({.name = "a-!-b F[x] namestr",
             .name_offset = 0x2200,
             .data = Pattern(8, 5),
             .data_offset = 0x2020});
  b.AddFile({.name = "tail", .name_offset = 0x2300, .data = Pattern(20, 6), .data_offset = 0x2030});
  return b;
}

class EditSafetyTest : public testimg::EditFixture {
 protected:
  void SetUp() override {
    std::string missing;
    library_ = codec::CompressionLibrary::Bind(missing);
    ASSERT_TRUE(library_) << missing;
    codec_ = console::MakeStreamCodec(*library_);
  }
  std::unique_ptr<codec::CompressionLibrary> library_;
  StreamCodec codec_;

  // Runs `edit` on a fresh load of `bytes` and checks the property; true when it was done.

  template <typename Edit>
  bool Keeps(const Bytes& bytes, Edit edit,
             const std::function<std::optional<uint32_t>(uint32_t)>& new_index,
             const std::string& what) {
    LoadSmall(bytes);
    const editprop::Snapshot before = editprop::Take(image_);
    const auto result = edit();
    const std::string fault = result.ok() ? editprop::CheckKept(before, image_, new_index)
                                          : editprop::CheckUnchanged(before, image_);
    EXPECT_EQ(fault, "") << what << ": " << (result.ok() ? "" : result.error().Message());
    return result.ok();
  }

  // Every edit on every file line of `bytes`; the number of edits done.
  int CheckEveryEdit(const Bytes& bytes, const std::string& name) {
    LoadSmall(bytes);
    int done = 0;
    const size_t lines = lists_.MemoryMap.size();
    for (size_t i = 0; i < lines; ++i) {
      LoadSmall(bytes);
      const MapRow& row = lists_.MemoryMap[i];
      if (row.kind != StretchKind::kFileData || !row.entry) continue;
      const uint32_t e = *row.entry;
      const std::string at = name + " line " + std::to_string(i);
      auto without = [e](uint32_t k) -> std::optional<uint32_t> {
        if (k == e) return std::nullopt;
        return k < e ? k : k - 1;
      };
      auto except = [e](uint32_t k) -> std::optional<uint32_t> {
        return k == e ? std::nullopt : std::optional(k);
      };
      done += Keeps(
          bytes, [&] { return DeleteFile(image_, e, 0xFF); }, without, at + " delete");
      for (size_t size : {size_t{3}, size_t{300}}) {
        done += Keeps(
            bytes,
            [&]() -> Result<Replacement> {
              const auto plan = PlanReplace(lists_, static_cast<int64_t>(i));
              if (!plan) return Error{.kind = ErrorKind::kNotAFile};
              return ReplaceFile(image_, *plan, Pattern(size, 9), 0);
            },
            except, at + " replace " + std::to_string(size));
      }
      // In the stored form: a compressed entry gets a stream of its coding.
      done += Keeps(
          bytes,
          [&]() -> Result<StoredReplacement> {
            const auto plan = PlanReplace(lists_, static_cast<int64_t>(i));
            if (!plan) return Error{.kind = ErrorKind::kNotAFile};
            return ReplaceFileStored(image_, *plan, Pattern(300, 9), 0, codec_);
          },
          except, at + " replace stored");
      done += Keeps(
          bytes, [&] { return SetEntry(image_, e, 0x843, 7); }, except, at + " edit");
    }
    done += Keeps(
        bytes, [&] { return AddFile(image_, "new.txt", Pattern(10, 7), 0); },
        [](uint32_t k) { return std::optional(k); }, name + " add");
    return done;
  }
};

TEST_F(EditSafetyTest, EveryEditOnEveryFileLineKeepsEverythingElse) {
  EXPECT_GT(CheckEveryEdit(testimg::FourFiles().Build(), "four"), 10);
  EXPECT_GT(CheckEveryEdit(HeaderInTheMiddle(false).Build(), "middle"), 5);
  CheckEveryEdit(HeaderInTheMiddle(true).Build(), "middle+module");
  EXPECT_GT(CheckEveryEdit(SharedOffsetsAndMarkers().Build(), "shared"), 5);
  EXPECT_GT(CheckEveryEdit(testimg::DemoImage(nullptr), "demo"), 20);
  for (const codec::PageCoding coding : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    EXPECT_GT(CheckEveryEdit(testimg::DemoImage(testimg::RomCompressor(coding)), "packed demo"),
              20);
  }
  for (const char* real : {"6410_EBOOT.nb0", "6410_IROM_EBOOT_SDFUSER.nb0"}) {
    const auto path = std::filesystem::path(TARNWICK_REALDATA) / real;
    if (std::filesystem::exists(path)) CheckEveryEdit(testimg::ReadFile(path.string()), real);
  }
}

TEST_F(EditSafetyTest, AdditionMovesTheFilesBehindTheHeaderWithIt) {
  Load(HeaderInTheMiddle(false).Build());
  ASSERT_TRUE(AddFile(image_, "note.txt", Pattern(5, 8), 0).ok());
  AnalyseImage(image_, lists_);
  EXPECT_EQ(Contents().at("behind"), Pattern(24, 2));
  EXPECT_EQ(Contents().at("far"), Pattern(8, 3));
  EXPECT_EQ(Contents().at("front"), Pattern(40, 1));
  EXPECT_EQ(Contents().at("note.txt"), Pattern(5, 8));
}

TEST_F(EditSafetyTest, NothingMovesAModule) {
  Load(HeaderInTheMiddle(true).Build());
  const auto add = AddFile(image_, "note.txt", Pattern(5, 8), 0);
  ASSERT_FALSE(add.ok());
  EXPECT_EQ(add.error().kind, ErrorKind::kModuleBehind);
  EXPECT_EQ(add.error().name, "late.dll");

  // A file touching the header block, a module behind the tables (where the map lists only
  // the unallocated tail): growing the file would move the module.
  ImageBuilder b(0x4000);
  b.HeaderOffset(0x2010);
  b.AddFile({.name = "a", .name_offset = 0x1FF8, .data = Pattern(16, 1), .data_offset = 0x2000});
  AddModule(b, "late.dll", 0x3000);
  Load(b.Build());
  const auto plan = PlanReplace(lists_, MapIndex("00002000"));
  ASSERT_TRUE(plan);
  ASSERT_FALSE(plan->fixed_block_behind);
  const Bytes before = Head(0x4000);
  const auto grow = ReplaceFile(image_, *plan, Pattern(400, 1), 0);
  ASSERT_FALSE(grow.ok());
  EXPECT_EQ(grow.error().Message(),
            "Das Modul late.dll (Name bei 00003000) liegt dahinter und darf nicht verschoben "
            "werden; die Datei ist zu groß (400 Bytes, Platz für 16 Bytes).");
  EXPECT_EQ(Head(0x4000), before);
  EXPECT_TRUE(ReplaceFile(image_, *plan, Pattern(16, 2), 0).ok());  // the same size moves nothing
  // Fewer bytes go into the old room: the module stays where it is.
  const auto shrink = ReplaceFile(image_, *plan, Pattern(5, 3), 0);
  ASSERT_TRUE(shrink.ok()) << shrink.error().Message();
  EXPECT_TRUE(shrink->in_place);
  EXPECT_EQ(image_.ImageLength(), 0x4000);

  // A file inside a module's section: removing it would move the section's stored bytes.
  ImageBuilder inside(0x4000);
  inside.HeaderOffset(0x100);
  AddModule(inside, "m.dll", 0x3000);
  inside.AddFile(
      {.name = "over", .name_offset = 0x2F00, .data = Pattern(16, 9), .data_offset = 0x3100});
  Load(inside.Build());
  EXPECT_EQ(DeleteFile(image_, 0, 0).error().Message(),
            "Das Modul m.dll (Sektion 0 bei 00003100) liegt dahinter; ein Modul darf nicht "
            "verschoben werden.");

  // A module whose o32_rom records leave the buffer cannot be read: nothing may move.
  ImageBuilder broken = HeaderInTheMiddle(false);
  broken.AddModule({.name = "broken",
                    .name_offset = 0x1000,
                    .e32_offset = 0x1020,
                    .o32_offset = static_cast<uint32_t>(k32MiB - 8)});
  broken.Put(0x1020, {0xFF, 0xFF});
  Load(broken.Build());
  EXPECT_EQ(DeleteFile(image_, 0, 0).error().kind, ErrorKind::kModuleUnreadable);
}

TEST_F(EditSafetyTest, ATableNotListedWholeRefusesEveryEdit) {
  // numfiles says 5 entries, but the table ends at the buffer's end after 4.
  ImageBuilder b(k32MiB);
  b.HeaderOffset(k32MiB - 84 - 4 * 28).HeaderField(romhdr::numfiles, 5);
  for (uint32_t i = 0; i < 4; ++i) {
    b.AddFile({.name = "f" + std::to_string(i),
               .name_offset = 0x1000 + 0x40 * i,
               .data = Pattern(8, 1),
               .data_offset = 0x1010 + 0x40 * i});
  }
  Load(b.Build());
  ASSERT_EQ(image_.FileCount(), 4u);
  EXPECT_EQ(DeleteFile(image_, 1, 0).error().kind, ErrorKind::kTablesNotListed);
  EXPECT_EQ(SetEntry(image_, 1, 1, 1).error().kind, ErrorKind::kTablesNotListed);
  EXPECT_EQ(DeleteBlock(image_, 0x1000, 0x100F, 0).error().kind, ErrorKind::kTablesNotListed);
}

TEST_F(EditSafetyTest, BlocksThatHoldTheSignatureHeaderOrTablesStay) {
  Load(testimg::FourFiles().Build());
  const auto sig = DeleteBlock(image_, 0, 0xFFF, 0);
  ASSERT_FALSE(sig.ok());
  EXPECT_EQ(sig.error().Message(),
            "Der Bereich enthält den Signaturblock (bei 00000040); er darf nicht entfernt oder "
            "überschrieben werden.");
  EXPECT_EQ(DeleteBlock(image_, 0x1070, 0x1073, 0).error().structure, Structure::kRomHeader);
  EXPECT_EQ(DeleteBlock(image_, 0x10C0, 0x10C3, 0).error().structure, Structure::kFileTable);
  // A file entry whose stored bytes lie in the file table.
  ImageBuilder b(0x1200);
  b.HeaderOffset(0x1100);
  b.AddFile({.name = "ok", .name_offset = 0x1000, .data = Pattern(8, 1), .data_offset = 0x1008});
  b.AddFile({.name = "evil",
             .name_offset = 0x1010,
             .data = {},
             .data_offset = 0x1160,
             .real_size = 8,
             .comp_size = 8});
  Load(b.Build());
  const auto evil = DeleteFile(image_, 1, 0);
  ASSERT_FALSE(evil.ok());
  EXPECT_EQ(evil.error().structure, Structure::kFileTable);
}

TEST_F(EditSafetyTest, AddedNamesMustFitTheCodePageAndTheLines) {
  EXPECT_EQ(EntryNameFromPath("/tmp/Grüße.txt").value(),
            "Gr\xFC\xDF"
            "e.txt");
  EXPECT_EQ(EntryNameFromPath("C:\\x\\€.dat").value(), "\x80.dat");
  EXPECT_EQ(EntryNameFromPath("/tmp/中.txt").error().Message(),
            "Der Name enthält das Zeichen „中“ (U+4E2D), das im Image nicht gespeichert werden "
            "kann.");
  EXPECT_NE(EntryNameFromPath("/tmp/a\nb").error().Message().find("Steuerzeichen U+000A"),
            std::string::npos);
  EXPECT_NE(EntryNameFromPath("/tmp/a\tb").error().Message().find("U+0009"), std::string::npos);
  EXPECT_EQ(EntryNameFromPath(std::string("/tmp/\xC3(")).error().Message(),
            "Der Name enthält Bytes, die kein gültiges UTF-8 sind; er kann im Image nicht "
            "gespeichert werden.");
  EXPECT_EQ(EntryNameFromPath("/tmp/").error().Message(),
            "Die Datei hat keinen Namen, der im Image gespeichert werden kann.");
}

TEST_F(EditSafetyTest, SavedImageLoadsToTheSameLists) {
  Load(SharedOffsetsAndMarkers().Build());
  ASSERT_TRUE(DeleteFile(image_, 3, 0).ok());
  AnalyseImage(image_, lists_);
  const RomLists edited = lists_;
  ASSERT_TRUE(SaveImage(image_, dir_.File("saved.nb0")).ok());
  RomImage again;
  RomLists reloaded;
  ASSERT_TRUE(LoadImage(again, dir_.File("saved.nb0"), FlashChoice::k32MB, 0).ok());
  AnalyseImage(again, reloaded);
  EXPECT_EQ(reloaded.MemoryMap, edited.MemoryMap);
}

}  // namespace
}  // namespace rom

// Start-up's font for slot 0, from a copy of a small game in a folder of its
// own: the first of Media/smalfont.png, Media/smalfont.bmp, smalfont.png and
// smalfont.bmp found beside the program (on disk, then in the archive
// appended to the program), or else the built-in 8 x 8 font. Each file has
// cells of its own size, so the cell size the game reports names the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/files/archive.h"
#include "support/child.h"
#include "support/images.h"

using namespace mxt_test;
namespace fs = std::filesystem;

namespace {

// A font image of 16 x 8 cells of cw x ch, with ink (white) in the first
// three columns of every printable character's cell.
std::string font_png(int cw, int ch) {
  PngSpec spec{16 * cw, 8 * ch, 6, 8, false, {}, {}, {}, -1};
  for (int y = 0; y < 8 * ch; ++y)
    for (int x = 0; x < 16 * cw; ++x) {
      const int c = y / ch * 16 + x / cw;
      const uint8_t a = c > 32 && x % cw < 3 ? 255 : 0;
      spec.samples.insert(spec.samples.end(), {255, 255, 255, a});
    }
  return build_png(spec);
}

std::string font_bmp(int cw, int ch) {
  BmpSpec s;
  s.width = 16 * cw;
  s.height = 8 * ch;
  s.bits = 24;
  s.pixel_data = bmp_rows(s.width, s.height, 24, [cw](int x, int) -> uint32_t { return x % cw < 3 ? 0xFFFFFF : 0; });
  return build_bmp(s);
}

struct Game {
  TempDir dir;
  Game() {
    fs::copy_file(test_program("prog_fonts"), dir.file("game"));
    fs::create_directory(dir.file("Media"));
  }
  void put(const std::string& name, const std::string& bytes) const { ASSERT_TRUE(write_file(dir.file(name), bytes)); }
  // Run from another folder: start-up must make the program's folder current.
  std::string run() const {
    ChildOptions options;
    options.env = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
    const ChildResult r = run_child(dir.file("game"), {}, options);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const std::string& line : split_lines(r.out))
      if (line.rfind("font ", 0) == 0) return line;
    ADD_FAILURE() << "no report: " << r.out << r.err;
    return "";
  }
};

}  // namespace

TEST(DefaultFont, TheFirstFontFileFoundByNameOrderBecomesSlotZero) {
  {
    SCOPED_TRACE("no font file: the built-in font at scale 1");
    Game g;
    g.put("smalfont.txt", "not a font");
    EXPECT_EQ(g.run(), "font slot=0 size=8x8 mono=40 prop=40");
  }
  {
    SCOPED_TRACE("all four: the PNG in Media");
    Game g;
    g.put("Media/smalfont.png", font_png(12, 14));
    g.put("Media/smalfont.bmp", font_bmp(10, 10));
    g.put("smalfont.png", font_png(6, 6));
    g.put("smalfont.bmp", font_bmp(9, 9));
    // 3 inked columns and one of spacing a letter.
    EXPECT_EQ(g.run(), "font slot=0 size=12x14 mono=60 prop=20");
  }
  {
    SCOPED_TRACE("Media's BMP before the PNG beside the program");
    Game g;
    g.put("Media/smalfont.bmp", font_bmp(10, 10));
    g.put("smalfont.png", font_png(6, 6));
    EXPECT_EQ(g.run(), "font slot=0 size=10x10 mono=50 prop=20");
  }
  {
    SCOPED_TRACE("Media/smalfont.png and smalfont.bmp: the PNG");
    Game g;
    g.put("Media/smalfont.png", font_png(12, 14));
    g.put("smalfont.bmp", font_bmp(9, 9));
    EXPECT_EQ(g.run(), "font slot=0 size=12x14 mono=60 prop=20");
  }
  {
    SCOPED_TRACE("only smalfont.bmp");
    Game g;
    g.put("smalfont.bmp", font_bmp(9, 9));
    EXPECT_EQ(g.run(), "font slot=0 size=9x9 mono=45 prop=20");
  }
}

TEST(DefaultFont, AFontFileThatDoesNotDecodeLeavesTheBuiltInFontAtScaleOne) {
  Game g;
  g.put("Media/smalfont.png", "not a picture");
  g.put("smalfont.bmp", font_bmp(9, 9));
  // The first name found is the one loaded; its failure is not followed by a
  // search for the next, and start-up sets scale 1 on what the slot holds.
  EXPECT_EQ(g.run(), "font slot=0 size=8x8 mono=40 prop=40");
}

TEST(DefaultFont, AFontInTheProgramsArchiveCountsWhenTheDiskHasNone) {
  const std::string sbx = std::string(MXT_BINARY_DIR) + "/tools/sbx/sbx";
  if (!file_exists(sbx)) GTEST_SKIP() << "no sbx in this build";
  for (const bool on_disk_too : {false, true}) {
    SCOPED_TRACE(on_disk_too ? "the same name on disk wins" : "archive only");
    Game g;
    mxt::ArchiveBuilder b(mxt::ArchiveBuilder::Level::fast);
    const std::string png = font_png(11, 13);
    // Archive entries have no folders: Media/smalfont.png is looked up as smalfont.png.
    ASSERT_TRUE(b.add("smalfont.png", png.data(), static_cast<int64_t>(png.size())));
    g.put("media.sbx", b.finish());
    const ChildResult appended = run_child(sbx, {"append", g.dir.file("game"), g.dir.file("media.sbx")});
    ASSERT_EQ(appended.exit_code, 0) << appended.err;
    fs::remove(g.dir.file("media.sbx"));
    if (on_disk_too) g.put("Media/smalfont.png", font_png(12, 14));
    EXPECT_EQ(g.run(), on_disk_too ? "font slot=0 size=12x14 mono=60 prop=20"  // the disk's
                                   : "font slot=0 size=11x13 mono=55 prop=20");
  }
}

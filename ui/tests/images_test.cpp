// The image strip, the icons cut from it and the shared menus and tools.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "commands.h"
#include "imagedata.h"
#include "imagestrip.h"
#include "lists_fixture.h"
#include "menus.h"
#include "options.h"
#include "settings.h"
#include "strip_pictures.h"

namespace {
using strip_test::ImageOf;
using strip_test::SamePixels;
using strip_test::StripCell;

bool IsKey(const wxImage& image, int x, int y) {
  return image.GetRed(x, y) == 0 && image.GetGreen(x, y) == 128 && image.GetBlue(x, y) == 128;
}

// The chunks of a PNG, in order.
std::vector<std::string> Chunks(const unsigned char* png, std::size_t size, std::vector<unsigned>* lengths) {
  std::vector<std::string> names;
  for (std::size_t at = 8; at + 8 <= size;) {
    const unsigned length = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    names.emplace_back(reinterpret_cast<const char*>(png + at + 4), 4);
    lengths->push_back(length);
    at += 12 + length;
  }
  return names;
}

TEST(ImageStrip, IsOneIndexedPngOfThirtyImages) {
  ASSERT_GT(kImageStripPngSize, 33u);
  EXPECT_EQ(std::memcmp(kImageStripPng, "\x89PNG\r\n\x1a\n", 8), 0);
  // IHDR: 480 x 16, bit depth 4, palette colour, not interlaced.
  const unsigned char* ihdr = kImageStripPng + 16;
  EXPECT_EQ((ihdr[0] << 24) | (ihdr[1] << 16) | (ihdr[2] << 8) | ihdr[3], 480);
  EXPECT_EQ((ihdr[4] << 24) | (ihdr[5] << 16) | (ihdr[6] << 8) | ihdr[7], 16);
  EXPECT_EQ(ihdr[8], 4);
  EXPECT_EQ(ihdr[9], 3);
  EXPECT_EQ(ihdr[12], 0);
  std::vector<unsigned> lengths;
  const std::vector<std::string> chunks = Chunks(kImageStripPng, kImageStripPngSize, &lengths);
  ASSERT_GE(chunks.size(), 4u);
  EXPECT_EQ(chunks.front(), "IHDR");
  EXPECT_EQ(chunks.back(), "IEND");
  bool gamma = false, palette = false;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    EXPECT_NE(chunks[i], "tRNS");
    if (chunks[i] == "gAMA") gamma = true;
    if (chunks[i] == "PLTE") {
      palette = true;
      EXPECT_EQ(lengths[i], 48u) << "16 colours";
    }
  }
  EXPECT_TRUE(gamma);
  EXPECT_TRUE(palette);

  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  ASSERT_TRUE(strip->IsOk());
  EXPECT_EQ(strip->GetSize(), wxSize(kStripImageCount * 16, 16));
}

TEST(ImageStrip, CutImagesAreSixteenSquareAndTransparentExactlyAtTheKey) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  for (int index = 0; index < kStripImageCount; ++index) {
    const wxBitmap bitmap = GetStripBitmap(*strip, index);
    ASSERT_EQ(bitmap.GetSize(), wxSize(16, 16)) << index;
    ASSERT_NE(bitmap.GetMask(), nullptr) << index;
    const wxImage cut = bitmap.ConvertToImage();
    int shown = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const bool key = IsKey(*strip, index * 16 + x, y);
        ASSERT_EQ(cut.IsTransparent(x, y), key) << "image " << index << " at " << x << "," << y;
        if (!key) {
          ++shown;
          EXPECT_EQ(cut.GetRed(x, y), strip->GetRed(index * 16 + x, y));
        }
      }
    }
    EXPECT_GT(shown, 8) << "image " << index << " is (nearly) empty";
  }
}

TEST(ImageStrip, KnownPixels) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  struct Case {
    int index, x, y;
    bool transparent;
    unsigned char r, g, b;
  } cases[] = {
      {0, 0, 0, true, 0, 0, 0},          // the program icon's corner
      {0, 1, 15, false, 0, 0, 128},      // its navy frame
      {4, 2, 3, false, 128, 128, 0},     // the clipboard's olive board
      {5, 7, 7, false, 255, 0, 0},       // the red heart of the cross
      {5, 0, 7, true, 0, 0, 0},
      {29, 15, 15, false, 255, 0, 0},    // the last image: columns 464 to 479
      {29, 0, 0, true, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const wxImage cut = StripCell(*strip, c.index);
    EXPECT_EQ(cut.IsTransparent(c.x, c.y), c.transparent) << c.index << " " << c.x << "," << c.y;
    if (c.transparent) continue;
    EXPECT_EQ(wxColour(cut.GetRed(c.x, c.y), cut.GetGreen(c.x, c.y), cut.GetBlue(c.x, c.y)),
              wxColour(c.r, c.g, c.b))
        << c.index << " " << c.x << "," << c.y;
  }
  EXPECT_EQ(strip->GetRed(479, 15), 255);
}

TEST(ImageStrip, AnIndexOutsideTheStripGivesAnEmptyImage) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  for (int index : {-1, 30, 1000}) {
    const wxImage cut = StripCell(*strip, index);
    ASSERT_EQ(cut.GetSize(), wxSize(16, 16));
    EXPECT_TRUE(cut.IsTransparent(8, 8)) << index;
  }
}

TEST(Icons, OverlayShowsTheBaseWhereTheOverlayIsKeyAndTransparencyWhereBothAre) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  for (int overlay = IMG_NEW_VERSION; overlay <= IMG_ANIMATION_LAST; ++overlay) {
    wxBitmap bitmap;
    bitmap.CopyFromIcon(GetOverlayIcon(*strip, overlay));
    const wxImage icon = bitmap.ConvertToImage();
    ASSERT_EQ(icon.GetSize(), wxSize(16, 16));
    int both = 0, base = 0, top = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const bool overKey = IsKey(*strip, overlay * 16 + x, y), baseKey = IsKey(*strip, x, y);
        const int from = overKey ? x : overlay * 16 + x;
        if (overKey && baseKey) {
          ++both;
          EXPECT_TRUE(icon.IsTransparent(x, y));
          continue;
        }
        overKey ? ++base : ++top;
        ASSERT_FALSE(icon.IsTransparent(x, y)) << overlay << " at " << x << "," << y;
        EXPECT_EQ(icon.GetRed(x, y), strip->GetRed(from, y));
        EXPECT_EQ(icon.GetGreen(x, y), strip->GetGreen(from, y));
        EXPECT_EQ(icon.GetBlue(x, y), strip->GetBlue(from, y));
      }
    }
    EXPECT_GT(both, 0);
    EXPECT_GT(base, 0);
    EXPECT_GT(top, 0);
  }
}

TEST(Icons, TheProgramIconComesAtBothSizesAndItsSmallOneIsImageZero) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  const wxIconBundle icons = GetAppIcons();
  ASSERT_EQ(icons.GetIconCount(), 2u);
  EXPECT_EQ(icons.GetIconOfExactSize(wxSize(32, 32)).GetSize(), wxSize(32, 32));
  wxBitmap small;
  small.CopyFromIcon(icons.GetIconOfExactSize(wxSize(16, 16)));
  EXPECT_TRUE(SamePixels(small.ConvertToImage(), StripCell(*strip, IMG_PROGRAM)));
  wxBitmap app;
  app.CopyFromIcon(GetAppIcon(*strip));
  EXPECT_TRUE(SamePixels(app.ConvertToImage(), StripCell(*strip, IMG_PROGRAM)));
  wxBitmap large;
  large.CopyFromIcon(icons.GetIconOfExactSize(wxSize(32, 32)));
  const wxImage big = large.ConvertToImage();
  EXPECT_TRUE(big.IsTransparent(0, 0));
  EXPECT_FALSE(big.IsTransparent(16, 16));
}

// ---- menus and tools ----

struct Entry {
  int id;  // wxID_SEPARATOR for a separator
  int image;  // -1: none
};

std::vector<Entry> WithImages(wxMenu& menu, const wxImage& strip) {
  std::vector<Entry> out;
  for (wxMenuItem* item : menu.GetMenuItems()) {
    if (item->IsSeparator()) {
      out.push_back({wxID_SEPARATOR, -1});
    } else {
      out.push_back({item->GetId(), ImageOf(item->GetBitmap(), strip)});
      EXPECT_EQ(item->GetItemLabel(), CommandLabel(item->GetId()));
      EXPECT_EQ(item->GetHelp(), CommandHelp(item->GetId()));
      EXPECT_EQ(item->GetKind(), wxITEM_NORMAL);
      // Its own picture shows, and no other (the stock items would get the
      // icon theme's).
      EXPECT_EQ(strip_test::PictureOf(item), item->GetBitmap().IsOk() ? strip_test::MenuPicture::kAlways
                                                                     : strip_test::MenuPicture::kNone)
          << item->GetItemLabel();
    }
  }
  return out;
}

bool operator==(const Entry& a, const Entry& b) { return a.id == b.id && a.image == b.image; }
std::ostream& operator<<(std::ostream& o, const Entry& e) { return o << "{" << e.id << ", " << e.image << "}"; }

TEST(Menus, EachBuilderAppendsItsItemsInOrderWithTheirImages) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  const int sep = wxID_SEPARATOR;
  struct Case {
    const char* name;
    void (*build)(const wxImage&, wxMenu*);
    std::vector<Entry> items;
  } cases[] = {
      {"help", AppendHelpMenuItems, {{wxID_HELP_CONTENTS, IMG_MANUAL}, {wxID_ABOUT, -1}}},
      {"record", AppendRecordMenuItems, {{wxID_COPY, IMG_COPY}, {wxID_PASTE, IMG_PASTE}, {wxID_DELETE, IMG_DELETE}}},
      {"list",
       AppendListMenuItems,
       {{ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE},
        {ID_PASTE_ALL, IMG_PASTE_ALL},
        {ID_MULTIPLE_DELETE, IMG_MULTIPLE_DELETE},
        {ID_DELETE_ALL, IMG_DELETE_ALL}}},
      {"edit",
       AppendEditMenuItems,
       {{wxID_COPY, IMG_COPY},
        {wxID_PASTE, IMG_PASTE},
        {ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE},
        {ID_PASTE_ALL, IMG_PASTE_ALL},
        {sep, -1},
        {wxID_DELETE, IMG_DELETE},
        {ID_MULTIPLE_DELETE, IMG_MULTIPLE_DELETE},
        {ID_DELETE_ALL, IMG_DELETE_ALL}}},
  };
  for (const Case& c : cases) {
    // On a frame's menu bar, where the toolkit gives the items their
    // pictures.
    wxFrame frame(nullptr, wxID_ANY, c.name);
    auto* menu = new wxMenu;
    c.build(*strip, menu);
    auto* bar = new wxMenuBar;
    bar->Append(menu, c.name);
    frame.SetMenuBar(bar);
    EXPECT_EQ(WithImages(*menu, *strip), c.items) << c.name;
  }
  wxMenu help;
  AppendHelpMenuItems(*strip, &help);
  EXPECT_EQ(help.FindItem(wxID_HELP_CONTENTS)->GetItemLabel(), "&Manual");
  EXPECT_EQ(help.FindItem(wxID_ABOUT)->GetHelp(), "About Pastiq");
}

struct Recording : ::testing::Test {
  testing_settings::ScopedSettings settings;
  std::unique_ptr<wxImage> strip = LoadImageStrip();
  struct Face {
    bool recording;
    const char* label;
    const char* help;
    int image;
  };
  const Face faces[2] = {{false, "&Start Recording", "Start recording clipboard records", IMG_START_RECORDING},
                         {true, "&Pause Recording", "Pause recording clipboard records", IMG_PAUSE_RECORDING}};
};

TEST_F(Recording, TheCreatedItemShowsTheFaceOfTheOption) {
  for (const Face& f : faces) {
    SetOption(OPT_RECORDING, f.recording);
    wxMenu menu;
    std::unique_ptr<wxMenuItem> item(CreateRecordingMenuItem(*strip, &menu));
    EXPECT_EQ(item->GetId(), ID_TOGGLE_RECORDING);
    EXPECT_EQ(item->GetItemLabel(), f.label);
    EXPECT_EQ(item->GetHelp(), f.help);
    EXPECT_EQ(ImageOf(item->GetBitmap(), *strip), f.image);
    EXPECT_EQ(menu.GetMenuItemCount(), 0u) << "created, not appended";
  }
  // Absent, it reads as paused.
  settings.config.options.Clear();
  wxMenu menu;
  std::unique_ptr<wxMenuItem> item(CreateRecordingMenuItem(*strip, &menu));
  EXPECT_EQ(item->GetItemLabel(), "&Start Recording");
}

TEST_F(Recording, TheUpdatedItemIsReplacedWhereItStood) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "menus");
  auto* bar = new wxMenuBar;
  auto* file = new wxMenu;
  SetOption(OPT_RECORDING, true);
  file->Append(CreateRecordingMenuItem(*strip, file));
  file->Append(wxID_EXIT, "E&xit");
  bar->Append(new wxMenu, "&Edit");
  bar->Insert(0, file, "&File");
  frame->SetMenuBar(bar);
  for (const Face& f : {faces[0], faces[1], faces[0]}) {
    SetOption(OPT_RECORDING, f.recording);
    UpdateRecordingMenuItem(*strip, bar);
    ASSERT_EQ(file->GetMenuItemCount(), 2u);
    wxMenuItem* item = file->FindItemByPosition(0);
    EXPECT_EQ(item->GetId(), ID_TOGGLE_RECORDING);
    EXPECT_EQ(item->GetItemLabel(), f.label);
    EXPECT_EQ(item->GetHelp(), f.help);
    EXPECT_EQ(ImageOf(item->GetBitmap(), *strip), f.image);
    EXPECT_EQ(strip_test::PictureOf(item), strip_test::MenuPicture::kAlways);
    EXPECT_EQ(file->FindItemByPosition(1)->GetId(), wxID_EXIT);
  }
  delete frame;
}

TEST_F(Recording, ReplacingTheToolLeavesOneAtPositionZeroAndTheOthersAlone) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "tools");
  wxToolBar* tools = frame->CreateToolBar();
  SetOption(OPT_RECORDING, false);
  AddRecordTools(*strip, tools);
  AddStripTool(tools, *strip, wxID_PREFERENCES, "&Options", IMG_OPTIONS, "Change application settings");
  tools->Realize();
  const std::vector<int> ids = {ID_TOGGLE_RECORDING, wxID_SEPARATOR, wxID_COPY, wxID_PASTE,
                                ID_MULTIPLE_PASTE,   ID_PASTE_ALL,   wxID_PREFERENCES};
  auto toolIds = [&] {
    std::vector<int> out;
    for (std::size_t i = 0; i < tools->GetToolsCount(); ++i) {
      const wxToolBarToolBase* tool = tools->GetToolByPos(static_cast<int>(i));
      out.push_back(tool->IsSeparator() ? wxID_SEPARATOR : tool->GetId());
    }
    return out;
  };
  ASSERT_EQ(toolIds(), ids);
  EXPECT_EQ(tools->GetToolShortHelp(wxID_PASTE), "Paste record to previous working application");
  EXPECT_EQ(tools->GetToolLongHelp(wxID_PASTE), "Paste record to previous working application");
  EXPECT_EQ(ImageOf(tools->FindById(wxID_PASTE)->GetNormalBitmap(), *strip), IMG_PASTE);
  for (const Face& f : {faces[1], faces[1], faces[0], faces[1]}) {
    SetOption(OPT_RECORDING, f.recording);
    ReplaceRecordingTool(*strip, tools);
    EXPECT_EQ(toolIds(), ids);
    const wxToolBarToolBase* tool = tools->GetToolByPos(0);
    EXPECT_EQ(tool->GetLabel(), f.label);
    EXPECT_EQ(tool->GetShortHelp(), f.help);
    EXPECT_EQ(tool->GetLongHelp(), f.help);
    EXPECT_EQ(ImageOf(tool->GetNormalBitmap(), *strip), f.image);
  }
  delete frame;
}

TEST(Commands, EveryCommandHasOneEntryWithLabelAndHelp) {
  const int ids[] = {wxID_EXIT, wxID_ABOUT, wxID_HELP_CONTENTS, wxID_PREFERENCES, wxID_COPY, wxID_PASTE,
                     wxID_DELETE, ID_SHOW_MAIN_WINDOW, ID_LIST_INSERT_BEFORE, ID_LIST_INSERT_AFTER, ID_LIST_REMOVE,
                     ID_LIST_PROPERTIES, ID_LIST_LISTEN, ID_LIST_SAVE, ID_LIST_LOAD, ID_SHOW_LOG, ID_DELETE_ALL,
                     ID_TOGGLE_TOOLBAR, ID_TOGGLE_STATUSBAR, ID_TOGGLE_FLOATING, ID_FLOATING_OPEN,
                     ID_FLOATING_CLOSE, ID_MULTIPLE_PASTE, ID_PASTE_ALL, ID_MULTIPLE_DELETE, ID_RECORD_MOVE_UP,
                     ID_RECORD_MOVE_DOWN, ID_SEND_LIST_MENU, ID_SEND_LIST_OTHER, ID_SEND_RECORD_MENU,
                     ID_SEND_RECORD_OTHER, ID_MOVE_TO_LIST_MENU};
  for (int id : ids) {
    const CommandText* c = FindCommand(id);
    ASSERT_NE(c, nullptr) << id;
    EXPECT_EQ(c->id, id);
    EXPECT_FALSE(CommandLabel(id).empty()) << id;
    EXPECT_FALSE(CommandHelp(id).empty()) << id;
  }
  EXPECT_EQ(FindCommand(ID_SEND_RECORD_FIRST), nullptr);
  EXPECT_EQ(CommandLabel(ID_TOGGLE_RECORDING), "") << "two faces, no single entry";
  EXPECT_EQ(wxString(RecordingCommand(true).label), "&Pause Recording");
}

}  // namespace

// The icons of source applications: desktop entries read as the desktop
// reads them, and the lookup that never holds up a row.
#include "sourceicons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <wx/image.h>

#include "desktopentry.h"
#include "gui_util.h"
#include "sandbox.h"

namespace fs = std::filesystem;

namespace {

TEST(DesktopEntry, NamesTheProgramsItStartsAndItsIcon) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<std::string> programs;
    const char* icon;
  } cases[] = {
      {"[Desktop Entry]\nType=Application\nExec=editor %U\nIcon=accessories-text-editor\n", true, {"editor"},
       "accessories-text-editor"},
      {"[Desktop Entry]\nType=Application\nExec=/opt/tool/bin/tool-bin --new\nTryExec=/opt/tool/bin/tool\nIcon=/x.png\n",
       true, {"tool-bin", "tool"}, "/x.png"},
      {"[Desktop Entry]\nType=Application\nExec=env LANG=C GDK_BACKEND=x11 -u X prog arg\nIcon=p\n", true, {"prog"}, "p"},
      {"[Desktop Entry]\nType=Application\nExec=\"/opt/My App/run \\\"it\\\"\" %f\nIcon=i\n", true,
       {"run \"it\""}, "i"},
      {"# comment\n[Desktop Entry]\r\nType = Application\r\nIcon[de]=nein\r\nIcon = yes\r\nExec = a\r\n", true, {"a"}, "yes"},
      // Keys of another group are not the entry's.
      {"[Desktop Entry]\nType=Application\nIcon=i\n[Desktop Action new]\nExec=other\n", false, {}, "i"},
      {"[Desktop Entry]\nType=Link\nExec=a\nIcon=i\n", false, {}, "i"},
      {"[Desktop Entry]\nType=Application\nExec=a\nIcon=i\nHidden=true\n", false, {"a"}, "i"},
      {"[Desktop Entry]\nType=Application\nExec=a\n", false, {"a"}, ""},
      {"[Desktop Entry]\nType=Application\nExec=%U\nIcon=i\n", false, {}, "i"},
      {"Type=Application\nExec=a\nIcon=i\n", false, {}, ""},
      {"", false, {}, ""},
  };
  for (const Case& c : cases) {
    DesktopEntry entry;
    EXPECT_EQ(ParseDesktopEntry(c.text, entry), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(entry.programs, c.programs) << c.text;
    EXPECT_EQ(entry.icon, c.icon) << c.text;
  }
  DesktopEntry entry;
  const std::string big = "[Desktop Entry]\nType=Application\nExec=a\nIcon=i\n#" + std::string(kMaxDesktopEntryBytes, 'x');
  EXPECT_FALSE(ParseDesktopEntry(big, entry)) << "too large for a desktop entry";
}

// Desktop entries in the test's own data folder.
class SourceIconLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    dataHome = testing_sandbox::MakeTempDir("xdg-data");
    previous = std::getenv("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    setenv("XDG_DATA_DIRS", (dataHome + "/none").c_str(), 1);
    fs::create_directories(dataHome + "/applications/sub");
    SourceIcons::Get().Reset();
  }
  void TearDown() override {
    if (previous.empty()) {
      unsetenv("XDG_DATA_HOME");
    } else {
      setenv("XDG_DATA_HOME", previous.c_str(), 1);
    }
    unsetenv("XDG_DATA_DIRS");
    SourceIcons::Get().Reset();
  }
  // A desktop entry for `exec` whose icon is a square of one colour.
  std::string Entry(const std::string& file, const std::string& exec, const wxColour& colour, int size = 16) {
    const std::string icon = dataHome + "/" + fs::path(file).filename().string() + ".png";
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), colour.Red(), colour.Green(), colour.Blue());
    EXPECT_TRUE(image.SaveFile(icon, wxBITMAP_TYPE_PNG));
    std::ofstream(dataHome + "/applications/" + file + ".desktop")
        << "[Desktop Entry]\nType=Application\nName=" << file << "\nExec=" << exec << " %F\nIcon=" << icon << "\n";
    return icon;
  }
  wxColour ColourOf(int index) {
    const wxImage image = SourceIcons::Get().GetImageList()->GetBitmap(index).ConvertToImage();
    return wxColour(image.GetRed(8, 8), image.GetGreen(8, 8), image.GetBlue(8, 8));
  }
  std::string dataHome, previous;
};

TEST_F(SourceIconLookup, AnExecutableGetsTheIconOfItsDesktopEntryOnALaterTurn) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  Entry("tool", "/opt/tool/bin/tool-bin", *wxRED);
  Entry("sub/viewer", "viewer", *wxGREEN, 48);  // in a subfolder, and larger
  SourceIcons& icons = SourceIcons::Get();
  EXPECT_EQ(icons.GetIconIndex("/opt/tool/bin/tool-bin"), SourceIcons::kGenericImage) << "not while painting";
  EXPECT_EQ(icons.GetIconIndex("/usr/bin/viewer"), SourceIcons::kGenericImage);
  DispatchPending();
  const int tool = icons.GetIconIndex("/opt/tool/bin/tool-bin");
  const int viewer = icons.GetIconIndex("/usr/bin/viewer");
  EXPECT_GT(tool, SourceIcons::kGenericImage);
  EXPECT_GT(viewer, SourceIcons::kGenericImage);
  EXPECT_NE(tool, viewer);
  EXPECT_EQ(ColourOf(tool), *wxRED);
  EXPECT_EQ(ColourOf(viewer), *wxGREEN);
  int width = 0, height = 0;
  icons.GetImageList()->GetSize(viewer, width, height);
  EXPECT_EQ(wxSize(width, height), wxSize(16, 16));
  // The same executable elsewhere shares the icon: it is looked up by name.
  EXPECT_EQ(icons.GetIconIndex("/home/u/bin/tool-bin"), SourceIcons::kGenericImage);
  DispatchPending();
  EXPECT_EQ(icons.GetIconIndex("/home/u/bin/tool-bin"), tool);
}

TEST_F(SourceIconLookup, WithoutAnIconTheGenericImageStays) {
  std::ofstream(dataHome + "/applications/broken.desktop")
      << "[Desktop Entry]\nType=Application\nExec=broken\nIcon=" << dataHome << "/missing.png\n";
  std::ofstream(dataHome + "/broken.png") << "not a picture";
  std::ofstream(dataHome + "/applications/bad.desktop")
      << "[Desktop Entry]\nType=Application\nExec=bad\nIcon=" << dataHome << "/broken.png\n";
  SourceIcons& icons = SourceIcons::Get();
  const int images = icons.GetImageList()->GetImageCount();
  for (const char* app : {"/usr/bin/broken", "/usr/bin/bad", "/usr/bin/pastiq-no-such-program", ""})
    EXPECT_EQ(icons.GetIconIndex(app), SourceIcons::kGenericImage) << app;
  DispatchPending();
  for (const char* app : {"/usr/bin/broken", "/usr/bin/bad", "/usr/bin/pastiq-no-such-program", ""})
    EXPECT_EQ(icons.GetIconIndex(app), SourceIcons::kGenericImage) << app;
  EXPECT_EQ(icons.GetImageList()->GetImageCount(), images);
}

}  // namespace

// Prepares a data folder for looking at the program's windows
// (scripts/screenshots.sh): a settings file and a history of three lists of
// mixed records (short and long text, HTML, rich text, an image, several source
// applications), plus desktop entries and icons (drawn here) for three of
// those applications. Writes to the data folder the program uses
// ($PASTIQ_DATA_DIR) and to $XDG_DATA_HOME; never to anything else.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <boost/make_shared.hpp>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>

#include "appconfig.h"
#include "appversion.h"
#include "pq/dataobject.h"
#include "pq/history.h"
#include "pq/item.h"
#include "pq/record.h"

namespace {

struct SampleApp {
  const char* program;  // under /usr/bin
  const char* name;
  unsigned char r, g, b;  // the icon's colour
};
const SampleApp kApps[] = {
    {"sample-editor", "Text Editor", 40, 90, 200},
    {"sample-browser", "Web Browser", 230, 120, 20},
    {"sample-terminal", "Terminal", 30, 30, 30},
};
// A source with no desktop entry: it shows the generic image.
const char kUnknownApp[] = "/usr/bin/xclip";

std::string AppPath(const char* program) { return std::string("/usr/bin/") + program; }

// A rounded square of the colour with a light bar across: simple, ours.
wxImage DrawIcon(const SampleApp& app) {
  wxImage icon(16, 16);
  icon.InitAlpha();
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool corner = (x == 0 || x == 15) && (y == 0 || y == 15);
      const bool bar = y >= 6 && y <= 9 && x >= 3 && x <= 12;
      icon.SetRGB(x, y, bar ? 255 : app.r, bar ? 255 : app.g, bar ? 255 : app.b);
      icon.SetAlpha(x, y, corner ? 0 : 255);
    }
  }
  return icon;
}

bool WriteDesktopEntries(const wxString& dataHome) {
  const wxString apps = dataHome + "/applications";
  const wxString icons = dataHome + "/sample-icons";
  if (!wxFileName::Mkdir(apps, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL) ||
      !wxFileName::Mkdir(icons, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
    return false;
  for (const SampleApp& app : kApps) {
    const wxString icon = icons + "/" + app.program + ".png";
    if (!DrawIcon(app).SaveFile(icon, wxBITMAP_TYPE_PNG)) return false;
    std::ofstream entry((apps + "/" + app.program + ".desktop").utf8_string());
    entry << "[Desktop Entry]\nType=Application\nName=" << app.name << "\nExec=" << app.program << " %F\nIcon="
          << icon.utf8_string() << "\n";
    if (!entry) return false;
  }
  return true;
}

// A record of the items, in their order (the first text item is its text).
pq::RecordPtr MakeRecord(std::initializer_list<pq::Item*> items, const std::string& application) {
  auto record = boost::make_shared<pq::Record>();
  pq::DataObject* data = new pq::DataObject;
  for (pq::Item* item : items) data->Items().push_back(item);
  record->SetItems(*data);
  data->Release();
  record->application = application;
  return record;
}

pq::RecordPtr TextRecord(const std::string& text, const std::string& application) {
  return MakeRecord({new pq::TextItem(text)}, application);
}

pq::RecordPtr HtmlRecord(const std::string& text, const std::string& html, const std::string& application) {
  auto* htmlItem = new pq::HtmlItem;
  const std::string fragment = "<html><body><!--StartFragment-->" + html + "<!--EndFragment--></body></html>";
  htmlItem->SetBlock(fragment.data(), fragment.size());
  return MakeRecord({new pq::TextItem(text), htmlItem}, application);
}

// What a word processor puts on the clipboard: the plain text and the same
// text as rich text (a heading, bold, italic, underlined and coloured words,
// a code-page byte and a Unicode escape).
pq::RecordPtr RichTextRecord(const std::string& application) {
  const std::string text =
      "Agenda for Thursday\n1. Budget review\n2. Release 3.0.3 \xE2\x80\x93 urgent\n3. Caf\xC3\xA9 at 4 \xE2\x82\xAC";
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
      "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green90\\blue160;}\\uc1\n"
      "\\f0\\fs32{\\b Agenda} for {\\i Thursday}\\par\n"
      "\\fs22 1. {\\cf2\\b Budget} review\\par\n"
      "2. {\\ul Release} 3.0.3 \\'96 {\\cf1\\i urgent}\\par\n"
      "3. Caf\\'e9 at 4 \\u8364?\\par}";
  auto* rtfItem = new pq::RtfItem;
  rtfItem->SetBlock(rtf.data(), rtf.size());
  return MakeRecord({new pq::TextItem(text), rtfItem}, application);
}

// A picture larger than the viewer, so that it scrolls: a sky, a sun and
// two hills.
pq::RecordPtr ImageRecord(const std::string& application) {
  const int width = 720, height = 480;
  wxImage picture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int sunX = x - 540, sunY = y - 110;
      const int hill1 = 330 + static_cast<int>(40.0 * std::sin(x / 90.0));
      const int hill2 = 380 + static_cast<int>(30.0 * std::sin(x / 60.0 + 2.0));
      if (y > hill2)
        picture.SetRGB(x, y, 40, 120 + (y - hill2) / 3, 40);
      else if (y > hill1)
        picture.SetRGB(x, y, 90, 170, 70);
      else if (sunX * sunX + sunY * sunY < 55 * 55)
        picture.SetRGB(x, y, 250, 210, 60);
      else
        picture.SetRGB(x, y, 110 + y / 4, 160 + y / 6, 235);
    }
  }
  auto* bitmap = new pq::BitmapItem;
  bitmap->SetImage(picture);
  return MakeRecord({bitmap}, application);
}

std::string LongText() {
  std::string text;
  for (int line = 1; line <= 200; ++line) {
    text += "Line " + std::to_string(line) +
            " of a long note copied from the editor, with enough words to run past the edge of the list.\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  wxInitializer toolkit(argc, argv);
  if (!toolkit.IsOk()) return 1;
  wxInitAllImageHandlers();
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (!std::getenv("PASTIQ_DATA_DIR") || !dataHome) {
    std::fprintf(stderr, "pastiq_sample_history: set PASTIQ_DATA_DIR and XDG_DATA_HOME to the folders to fill\n");
    return 2;
  }
  if (!WriteDesktopEntries(wxString::FromUTF8(dataHome))) {
    std::fprintf(stderr, "pastiq_sample_history: cannot write the desktop entries\n");
    return 1;
  }

  const std::string editor = AppPath(kApps[0].program), browser = AppPath(kApps[1].program),
                    terminal = AppPath(kApps[2].program);
  pq::History history;
  history.CreateDefaultLists();
  pq::RecordList& main = *history.GetMainList();
  // Oldest first: each addition goes to the front.
  main.AddRecord(TextRecord("ls -l /var/log | sort -k5 -n", terminal));
  main.AddRecord(ImageRecord(kUnknownApp));
  main.AddRecord(TextRecord(LongText(), editor));
  main.AddRecord(RichTextRecord(editor));
  main.AddRecord(HtmlRecord("Pastiq keeps every clip: search, view and paste them again.",
                            "<p><b>Pastiq</b> keeps every clip: search, view and paste them again.</p>", browser));
  main.AddRecord(TextRecord("  Meeting moved to Thursday, 10:30 in room B & C.\r\n", editor));
  main.AddRecord(TextRecord("https://example.org/docs/getting-started", browser));
  main.AddRecord(TextRecord("git commit -am \"Fix the row height\"", terminal));
  main.AddRecord(TextRecord("Total: 1\xE2\x80\xAF" "234,50 \xE2\x82\xAC \xE2\x80\x94 \xC3\xA0 payer avant le 5 mai", kUnknownApp));

  auto* work = new pq::RecordList;
  work->name = "Work & Notes";
  work->AddRecord(TextRecord("Quarterly report: figures due on Friday", editor));
  work->AddRecord(HtmlRecord("Release notes\nVersion 3.0.3\n- faster search", "<h1>Release notes</h1><ul><li>faster search</li></ul>", browser));
  work->AddRecord(TextRecord("ssh build@ci.example.org", terminal));
  history.InsertRecordList(work, 1);

  auto* snippets = new pq::RecordList;
  snippets->name = "Snippets";
  snippets->AddRecord(TextRecord("Kind regards,\nAlex", editor));
  snippets->AddRecord(TextRecord("for i in $(seq 1 10); do echo $i; done", terminal));
  history.InsertRecordList(snippets, 2);

  const ArchiveInfo info(APP_VERSION_CODE, 1);
  AppConfig config;
  if (!config.SaveFile(AppConfig::GetFilePath(), info)) {
    std::fprintf(stderr, "pastiq_sample_history: cannot write %s\n", AppConfig::GetFilePath().utf8_string().c_str());
    return 1;
  }
  try {
    history.Save(pq::History::GetFilePath(), info);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pastiq_sample_history: cannot write the history: %s\n", e.what());
    return 1;
  }
  return 0;
}

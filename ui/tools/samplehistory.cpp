// Prepares a data folder for looking at the program's windows
// (scripts/screenshots.sh): a settings file and a history of three lists of
// mixed records (short and long text, HTML, an image, several source
// applications), plus desktop entries and icons (drawn here) for three of
// those applications. Writes to the data folder the program uses
// ($PASTIQ_DATA_DIR) and to $XDG_DATA_HOME; never to anything else.
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

pq::RecordPtr TextRecord(const std::string& text, const std::string& application) {
  auto record = boost::make_shared<pq::Record>();
  pq::DataObject* items = new pq::DataObject;
  items->Items().push_back(new pq::TextItem(text));
  record->SetItems(*items);
  items->Release();
  record->application = application;
  return record;
}

pq::RecordPtr HtmlRecord(const std::string& text, const std::string& html, const std::string& application) {
  auto record = boost::make_shared<pq::Record>();
  pq::DataObject* items = new pq::DataObject;
  items->Items().push_back(new pq::TextItem(text));
  auto* htmlItem = new pq::HtmlItem;
  const std::string fragment = "<html><body><!--StartFragment-->" + html + "<!--EndFragment--></body></html>";
  htmlItem->SetBlock(fragment.data(), fragment.size());
  items->Items().push_back(htmlItem);
  record->SetItems(*items);
  items->Release();
  record->application = application;
  return record;
}

pq::RecordPtr ImageRecord(const std::string& application) {
  wxImage picture(64, 48);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) picture.SetRGB(x, y, x * 4, y * 5, 160);
  }
  auto record = boost::make_shared<pq::Record>();
  pq::DataObject* items = new pq::DataObject;
  auto* bitmap = new pq::BitmapItem;
  bitmap->SetImage(picture);
  items->Items().push_back(bitmap);
  record->SetItems(*items);
  items->Release();
  record->application = application;
  return record;
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

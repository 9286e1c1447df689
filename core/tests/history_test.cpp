#include <fstream>
#include <iterator>
#include <sstream>

#include <boost/serialization/vector.hpp>
#include <gtest/gtest.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <zlib.h>

#include "appconfig.h"
#include "cmn/archive.h"
#include "fake_timers.h"
#include "pq/history.h"
#include "pq/searchlist.h"
#include "records_test_util.h"
#include "sandbox.h"

namespace {

using testing_timers::FakeTimers;
using records_test::MakeRecord;
using records_test::Texts;
using Lines = std::vector<std::string>;

const ArchiveInfo kInfo{APP_VERSION_CODE, 1};

std::string ReadBytes(const wxString& path) {
  std::ifstream in(path.utf8_string(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const wxString& path, const std::string& bytes) {
  std::ofstream out(path.utf8_string(), std::ios::binary);
  out << bytes;
}

class LogHistoryObserver : public pq::HistoryObserver {
 public:
  explicit LogHistoryObserver(const pq::History& h) : history(h) {}
  void OnRecordListInserted(pq::RecordList* l, unsigned index) override {
    log.push_back("inserted " + l->name + " at " + std::to_string(index) + ", index " +
                  std::to_string(history.IndexOf(l)));
  }
  void OnRecordListRemoved(pq::RecordList* l) override {
    log.push_back("removed " + l->name + ", index " + std::to_string(history.IndexOf(l)));
  }
  void OnMainRecordListChanged(pq::RecordList* o, pq::RecordList* n) override {
    log.push_back("main " + o->name + " -> " + n->name + ", now " + history.GetMainList()->name);
  }
  void OnRecordListChanged(pq::RecordList* l) override { log.push_back("changed " + l->name); }
  const pq::History& history;
  Lines log;
};

pq::RecordList* NewList(const std::string& name) {
  auto* l = new pq::RecordList;
  l->name = name;
  return l;
}

std::vector<std::string> Names(const pq::History& h) {
  std::vector<std::string> out;
  for (auto* l : h.GetLists()) out.push_back(l->name);
  return out;
}

// Counts its destructions, to see which lists the history deletes.
struct CountedList : pq::RecordList {
  explicit CountedList(int& n) : deleted(n) {}
  ~CountedList() override { ++deleted; }
  int& deleted;
};

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing_sandbox::MakeTempDir("history");
    path = wxString::FromUTF8(folder + "/history");
    history.CreateDefaultLists();
    history.AddObserver(&obs);
  }
  void TearDown() override { history.RemoveObserver(&obs); }

  FakeTimers clock;
  std::string folder;
  wxString path;
  pq::History history;
  LogHistoryObserver obs{history};
};

TEST_F(HistoryTest, DefaultListsAreAListeningMainAndTheSearchList) {
  int deleted = 0;
  history.InsertRecordList(new CountedList(deleted), 2);
  obs.log.clear();
  history.CreateDefaultLists();
  EXPECT_EQ(deleted, 1);  // the extra list went too
  EXPECT_TRUE(obs.log.empty());
  ASSERT_EQ(Names(history), (Lines{"Main", "Search"}));
  pq::RecordList* main = history.GetLists()[0];
  EXPECT_EQ(history.GetMainList(), main);
  EXPECT_TRUE(main->moveToFront);
  EXPECT_TRUE(main->dropOldest);
  EXPECT_EQ(main->GetMaxRecords(), 100u);
  EXPECT_FALSE(pq::IsSearchList(main));
  EXPECT_TRUE(pq::IsSearchList(history.GetLists()[1]));
  EXPECT_NE(pq::GetSearchCriteria(history.GetLists()[1]), nullptr);
  EXPECT_EQ(pq::GetSearchCriteria(main), nullptr);
  EXPECT_EQ(history.GetMaxLists(), 10u);
}

TEST_F(HistoryTest, TheEleventhListIsRefusedWithoutAnyCall) {
  for (unsigned i = 2; i < 10; ++i) ASSERT_TRUE(history.InsertRecordList(NewList("L" + std::to_string(i)), i));
  obs.log.clear();
  pq::RecordList* extra = NewList("eleventh");
  EXPECT_FALSE(history.InsertRecordList(extra, 0));
  EXPECT_TRUE(obs.log.empty());
  delete extra;  // still the caller's
  EXPECT_EQ(history.GetLists().size(), 10u);
}

TEST_F(HistoryTest, InsertAnnouncesAfterAndRefusesAnIndexPastTheEnd) {
  pq::RecordList* a = NewList("A");
  EXPECT_FALSE(history.InsertRecordList(a, 3));
  EXPECT_TRUE(history.InsertRecordList(a, 1));
  EXPECT_EQ(obs.log, (Lines{"inserted A at 1, index 1"}));
  EXPECT_EQ(Names(history), (Lines{"Main", "A", "Search"}));
}

TEST_F(HistoryTest, RemoveAnnouncesBeforeAndTheMainListStays) {
  int deleted = 0;
  auto* a = new CountedList(deleted);
  a->name = "A";
  history.InsertRecordList(a, 2);
  obs.log.clear();
  history.RemoveRecordList(a, true);
  EXPECT_EQ(obs.log, (Lines{"removed A, index 2"}));
  EXPECT_EQ(deleted, 1);
  history.RemoveRecordList(history.GetMainList(), true);
  history.RemoveRecordList(a, true);  // gone already: nothing
  EXPECT_EQ(obs.log.size(), 1u);
  EXPECT_EQ(Names(history), (Lines{"Main", "Search"}));
}

TEST_F(HistoryTest, MainListChangesOnlyToAnotherOrdinaryList) {
  pq::RecordList* a = NewList("A");
  history.InsertRecordList(a, 2);
  obs.log.clear();
  history.SetMainList(nullptr);
  history.SetMainList(history.GetMainList());
  history.SetMainList(history.GetLists()[1]);  // the search list
  EXPECT_TRUE(obs.log.empty());
  history.SetMainList(a);
  EXPECT_EQ(obs.log, (Lines{"main Main -> A, now Main"}));
  EXPECT_EQ(history.GetMainList(), a);
  history.NotifyRecordListChanged(a);
  EXPECT_EQ(obs.log.back(), "changed A");
}

TEST_F(HistoryTest, FindIsExactAndCaseSensitive) {
  EXPECT_EQ(history.FindRecordList("Main"), history.GetLists()[0]);
  EXPECT_EQ(history.FindRecordList("main"), nullptr);
  EXPECT_EQ(history.FindRecordList("Mai"), nullptr);
}

TEST_F(HistoryTest, SaveAndLoadRestoreListsMainListAndSharedRecords) {
  pq::RecordList* second = NewList("Second");
  second->maxRecords = 5000;
  second->dropOldest = false;
  history.InsertRecordList(second, 1);
  history.SetMainList(second);
  const auto shared = MakeRecord("shared");
  shared->application = "/usr/bin/editor";
  shared->textIndex = 0;
  history.GetLists()[0]->AddRecord(MakeRecord("only main"));
  history.GetLists()[0]->AddRecord(shared);
  second->AddRecord(shared);
  auto* search = static_cast<SearchList*>(history.GetLists()[2]);
  search->SetText("sha");
  search->matchCase = true;
  history.Save(path, kInfo);

  pq::History loaded;
  loaded.Load(path);
  ASSERT_EQ(Names(loaded), (Lines{"Main", "Second", "Search"}));
  pq::RecordList* lMain = loaded.GetLists()[0];
  pq::RecordList* lSecond = loaded.GetLists()[1];
  EXPECT_EQ(loaded.GetMainList(), lSecond);
  EXPECT_EQ(lSecond->maxRecords, 5000u);
  EXPECT_FALSE(lSecond->dropOldest);
  EXPECT_TRUE(lMain->moveToFront);
  EXPECT_EQ(Texts(*lMain), (Lines{"shared", "only main"}));
  // Written once, loaded as one record in both lists.
  EXPECT_EQ(lMain->GetRecord(0), lSecond->GetRecord(0));
  EXPECT_EQ(lMain->GetRecord(0)->application, "/usr/bin/editor");
  EXPECT_EQ(lMain->GetRecord(0)->time, shared->time);
  auto* lSearch = static_cast<SearchList*>(loaded.GetLists()[2]);
  EXPECT_EQ(lSearch->GetText(), "sha");
  EXPECT_TRUE(lSearch->matchCase);
  EXPECT_EQ(lSearch->GetHistory(), &loaded);
  // The loaded criteria run their first search after the delay.
  EXPECT_EQ(lSearch->GetCount(), 0u);
  clock.Advance(250);
  EXPECT_EQ(lSearch->GetCount(), 2u);
}

TEST_F(HistoryTest, SavingKeepsTheSearchHitsInMemoryButWritesNone) {
  history.GetLists()[0]->AddRecord(MakeRecord("abc"));
  auto* search = static_cast<SearchList*>(history.GetLists()[1]);
  search->SetText("b");
  clock.Advance(250);
  ASSERT_EQ(search->GetCount(), 1u);
  history.Save(path, kInfo);
  EXPECT_EQ(search->GetCount(), 1u);
  const std::string withHits = ReadBytes(path);
  search->SetText("");
  clock.Advance(250);
  search->SetText("b");  // same criteria, no hits in memory
  history.Save(path, kInfo);
  EXPECT_EQ(ReadBytes(path), withHits);
}

TEST_F(HistoryTest, AWrongMagicFailsBeforeAnythingIsTouched) {
  history.Save(path, kInfo);
  std::string bytes = ReadBytes(path);
  bytes[0] = static_cast<char>(0x80);  // a record-list file's first byte
  WriteBytes(path, bytes);
  const auto before = history.GetLists();
  EXPECT_THROW(history.Load(path), bad_archive);
  EXPECT_EQ(history.GetLists(), before);

  pq::RecordList list;
  list.AddRecord(MakeRecord("kept"));
  EXPECT_THROW(pq::LoadRecordListFile(list, path), bad_archive);  // a history is not a list file
  EXPECT_EQ(Texts(list), (Lines{"kept"}));
}

TEST_F(HistoryTest, ADamagedFileLeavesTheHistoryAsItWas) {
  history.GetLists()[0]->AddRecord(MakeRecord("abc"));
  history.Save(path, kInfo);
  const std::string good = ReadBytes(path);
  pq::RecordList* a = NewList("A");
  history.InsertRecordList(a, 1);
  const auto before = history.GetLists();
  for (std::size_t cut : {std::size_t(10), good.size() / 2, good.size() * 3 / 4}) {
    WriteBytes(path, good.substr(0, cut));
    EXPECT_ANY_THROW(history.Load(path)) << cut;
    EXPECT_EQ(history.GetLists(), before);
    EXPECT_EQ(history.GetMainList(), before[0]);
  }
}

// The history's archive body with any contents, for files this program
// never writes.
struct HandMadeHistory {
  unsigned extraValue = 0xFFFFFFFFu;
  std::vector<pq::RecordList*> lists;
  pq::RecordList* main = nullptr;
  unsigned maxLists = 10;
  std::vector<pq::RecordList*> extra;
  template <class Archive>
  void serialize(Archive& ar, unsigned) {
    ar& extraValue& lists& main& maxLists& extra;
  }
};

// A history body whose list count claims far more than the file holds (more
// than the reader accepts at all).
struct ForgedListCount {
  template <class Archive>
  void serialize(Archive& ar, unsigned) {
    unsigned extraValue = 0;
    boost::serialization::collection_size_type count(std::size_t(1) << 40);
    boost::serialization::item_version_type version(0);
    ar& extraValue& count& version;
  }
};

void WriteHistory(const wxString& path, const std::vector<pq::RecordList*>& lists, pq::RecordList* main) {
  HandMadeHistory h;
  h.lists = lists;
  h.main = main;
  cmn::SaveArchiveFile(path, cmn::kHistoryFileMagic, kInfo, h);
}

// What the file carries beyond the lists the user sees (an integer and a
// second vector of lists, written by other versions) survives a load and a
// save, a record shared with a visible list included.
TEST_F(HistoryTest, TheExtraValueAndTheExtraListsSurviveALoadAndASave) {
  pq::RecordList a, x, y;
  a.name = "A";
  x.name = "X";
  y.name = "Y";
  const auto shared = MakeRecord("in both");
  a.AddRecord(shared);
  x.AddRecord(shared);
  x.AddRecord(MakeRecord("only extra"));
  HandMadeHistory written;
  written.extraValue = 4711;
  written.lists = {&a};
  written.main = &a;
  written.extra = {&x, &y};
  cmn::SaveArchiveFile(path, cmn::kHistoryFileMagic, kInfo, written);

  pq::History loaded;
  loaded.Load(path);
  EXPECT_EQ(Names(loaded), (Lines{"A"}));
  const wxString again = path + ".again";
  loaded.Save(again, kInfo);

  HandMadeHistory back;
  cmn::LoadArchiveFile(again, cmn::kHistoryFileMagic, back);
  EXPECT_EQ(back.extraValue, 4711u);
  ASSERT_EQ(back.lists.size(), 1u);
  ASSERT_EQ(back.extra.size(), 2u);
  EXPECT_EQ(back.extra[0]->name, "X");
  EXPECT_EQ(back.extra[1]->name, "Y");
  EXPECT_EQ(Texts(*back.extra[0]), (Lines{"only extra", "in both"}));
  EXPECT_TRUE(back.extra[1]->GetRecords().empty());
  EXPECT_EQ(back.extra[0]->GetRecord(1), back.lists[0]->GetRecord(0));
  for (pq::RecordList* l : back.lists) delete l;
  for (pq::RecordList* l : back.extra) delete l;
}

TEST_F(HistoryTest, AMainListThatCannotListenFallsToTheFirstOrdinaryList) {
  SearchList search;
  pq::RecordList a, b;
  a.name = "A";
  b.name = "B";
  search.name = "S";
  WriteHistory(path, {&search, &a, &b}, &search);
  pq::History loaded;
  loaded.Load(path);
  EXPECT_EQ(loaded.GetMainList(), loaded.GetLists()[1]);

  WriteHistory(path, {&search, &a}, nullptr);
  loaded.Load(path);
  EXPECT_EQ(loaded.GetMainList()->name, "A");

  pq::RecordList stray;
  stray.name = "stray";
  WriteHistory(path, {&a, &b}, &stray);
  loaded.Load(path);
  EXPECT_EQ(loaded.GetMainList()->name, "A");
  EXPECT_EQ(Names(loaded), (Lines{"A", "B"}));

  WriteHistory(path, {&search}, &search);
  loaded.Load(path);
  EXPECT_EQ(Names(loaded), (Lines{"Main", "Search"}));
}

TEST_F(HistoryTest, AListNamedTwiceIsOwnedOnce) {
  pq::RecordList a;
  a.name = "A";
  a.AddRecord(MakeRecord("r"));
  WriteHistory(path, {&a, &a}, &a);
  {
    pq::History loaded;
    loaded.Load(path);
    EXPECT_EQ(Names(loaded), (Lines{"A"}));
  }  // deleting it must free the list once
}

TEST_F(HistoryTest, AForgedListCountFailsTheLoad) {
  cmn::SaveArchiveFile(path, cmn::kHistoryFileMagic, kInfo, ForgedListCount());
  const auto before = history.GetLists();
  EXPECT_THROW(history.Load(path), boost::archive::archive_exception);
  EXPECT_EQ(history.GetLists(), before);
}

// The text of a history archive: one list holding one record, that list
// the main one.
std::string OneListHistoryText() {
  pq::RecordList a;
  a.name = "A";
  a.AddRecord(MakeRecord("r"));
  HandMadeHistory h;
  h.lists = {&a};
  h.main = &a;
  std::ostringstream os;
  {
    cmn::oarchive ar(os, 0);
    ar << kInfo << h;
  }
  return os.str();
}

// A history file holding `text` as its archive.
void WriteHistoryText(const wxString& path, const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string packed(size, '\0');
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(&packed[0]), &size,
                     reinterpret_cast<const Bytef*>(text.data()), text.size()),
            Z_OK);
  packed.resize(size);
  const std::uint32_t magic = cmn::kHistoryFileMagic;
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((magic >> (8 * i)) & 0xFF));
  WriteBytes(path, bytes + packed);
}

TEST_F(HistoryTest, AMainListNamingTheRecordObjectFailsTheLoad) {
  // The main list is written as a reference to the list, object 0 of the
  // list class (3); object 1 is the record (class 6).
  const std::string good = OneListHistoryText();
  const std::string main = " 3 0 10 0 0\n";
  ASSERT_EQ(good.substr(good.size() - main.size()), main) << good;
  WriteHistoryText(path, good);
  {
    pq::History loaded;
    loaded.Load(path);
    EXPECT_EQ(Names(loaded), (Lines{"A"}));
    EXPECT_EQ(loaded.GetMainList(), loaded.GetLists()[0]);
  }
  const auto before = history.GetLists();
  for (const char* forged : {" 3 1 10 0 0\n", " 6 1 10 0 0\n", " 3 2 10 0 0\n"}) {
    WriteHistoryText(path, good.substr(0, good.size() - main.size()) + forged);
    EXPECT_THROW(history.Load(path), boost::archive::archive_exception) << forged;
    EXPECT_EQ(history.GetLists(), before);
  }
}

TEST_F(HistoryTest, RecordListFilesRoundTripIntoTheGivenList) {
  pq::RecordList list;
  list.name = "Saved";
  list.maxRecords = 7;
  list.moveToFront = true;
  list.dropOldest = false;
  list.AddRecord(MakeRecord("b"));
  list.AddRecord(MakeRecord("a"));
  const wxString file = wxString::FromUTF8(folder + "/list.pqs");
  pq::SaveRecordListFile(file, kInfo, list);
  const std::string bytes = ReadBytes(file);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x80\x30\x8B\xBF", 4));

  pq::RecordList into;
  records_test::LogObserver watcher(into);
  into.AddObserver(&watcher);
  pq::LoadRecordListFile(into, file);
  EXPECT_EQ(Texts(into), (Lines{"a", "b"}));
  EXPECT_EQ(into.name, "Saved");
  EXPECT_EQ(into.maxRecords, 7u);
  EXPECT_TRUE(into.moveToFront);
  EXPECT_FALSE(into.dropOldest);
  EXPECT_TRUE(watcher.log.empty());
  into.RemoveObserver(&watcher);
}

TEST_F(HistoryTest, HistoryFileStartsWithItsMagic) {
  history.Save(path, kInfo);
  EXPECT_EQ(ReadBytes(path).substr(0, 4), std::string("\x30\xC5\x8D\x42", 4));
}

// Start-up: the settings record decides whether the history file is read.
class HistoryStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dataDir = testing_sandbox::MakeTempDir("data");
    setenv("PASTIQ_DATA_DIR", dataDir.c_str(), 1);
    file = pq::History::GetFilePath();
    // A saved history with one list "Kept".
    pq::History saved;
    saved.InsertRecordList(NewList("Kept"), 0);
    saved.SetMainList(saved.GetLists()[0]);
    saved.GetLists()[0]->AddRecord(MakeRecord("old record"));
    saved.Save(file, kInfo);
    original = ReadBytes(file);
  }
  void TearDown() override { unsetenv("PASTIQ_DATA_DIR"); }

  FakeTimers clock;
  std::string dataDir;
  wxString file;
  std::string original;
  AppConfig config;
};

TEST_F(HistoryStartTest, TheFileIsInTheSettingsFolder) {
  EXPECT_EQ(file, wxString::FromUTF8(dataDir) + "/pastiq_history");
}

TEST_F(HistoryStartTest, LoadedSettingsLoadTheHistory) {
  config.firstRun = false;
  pq::History h;
  h.Initialize(config);
  EXPECT_EQ(Names(h), (Lines{"Kept"}));
  h.Save(file, kInfo);
  EXPECT_FALSE(wxFileExists(file + ".bak"));
}

TEST_F(HistoryStartTest, AFirstStartIgnoresTheFileButKeepsItBeforeTheSave) {
  config.firstRun = true;
  pq::History h;
  h.Initialize(config);
  EXPECT_EQ(Names(h), (Lines{"Main", "Search"}));
  EXPECT_EQ(ReadBytes(file), original);
  h.Save(file, kInfo);
  EXPECT_EQ(ReadBytes(file + ".bak"), original);
  EXPECT_NE(ReadBytes(file), original);
}

TEST_F(HistoryStartTest, ADamagedFileGivesTheDefaultsAndIsKept) {
  const std::string damaged = original.substr(0, original.size() / 2);
  WriteBytes(file, damaged);
  config.firstRun = false;
  pq::History h;
  h.Initialize(config);
  EXPECT_EQ(Names(h), (Lines{"Main", "Search"}));
  EXPECT_EQ(h.GetMainList(), h.GetLists()[0]);
  h.Save(file, kInfo);
  EXPECT_EQ(ReadBytes(file + ".bak"), damaged);
  // The next start reads what was saved.
  pq::History next;
  next.Initialize(config);
  EXPECT_EQ(Names(next), (Lines{"Main", "Search"}));
}

TEST_F(HistoryStartTest, NoFileGivesTheDefaults) {
  wxRemoveFile(file);
  config.firstRun = false;
  pq::History h;
  h.Initialize(config);
  EXPECT_EQ(Names(h), (Lines{"Main", "Search"}));
  h.Save(file, kInfo);
  EXPECT_FALSE(wxFileExists(file + ".bak"));
}

}  // namespace

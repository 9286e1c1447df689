// The option store: text forms, the change rule and the merging load.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include <wx/mstream.h>

#include "cmn/archive.h"
#include "cmn/option.h"

namespace {

using Store = cmn::option<int>;

struct Recorder : Store::observer {
  std::vector<int> calls;
  const Store* store = nullptr;
  std::string seenText;
  void OnOptionChanged(const int& id) override {
    calls.push_back(id);
    if (store) seenText = store->map.at(id).text;
  }
};

TEST(OptionText, EachTypeHasItsTextForm) {
  Store s;
  s.Set(1, true);
  s.Set(2, false);
  s.Set(3, 'V');
  s.Set(4, -17);
  s.Set(5, 45689ul);
  s.Set(6, wxSize(150, 300));
  s.Set(7, wxRect(-1, -1, -1, -1));
  s.Set(8, wxString("ab"));
  s.Set(9, wxString());
  s.Set(10, wxRect(869, 5, 150, 300));
  const struct {
    int id;
    std::string text;
  } expect[] = {{1, "1"},       {2, "0"},         {3, "V"},           {4, "-17"},
                {5, "45689"},   {6, "150 300"},   {7, "-1 -1 -1 -1"}, {8, std::string("ab\0", 3)},
                {9, ""},        {10, "869 5 150 300"}};
  for (const auto& e : expect) EXPECT_EQ(s.map.at(e.id).text, e.text) << "id " << e.id;

  int port = 0;
  EXPECT_TRUE(s.Get(5, port));  // written unsigned, read as an int
  EXPECT_EQ(port, 45689);
  wxString text;
  EXPECT_TRUE(s.Get(8, text));
  EXPECT_EQ(text, "ab");
  EXPECT_FALSE(s.Get(9, text)) << "an empty text is not found";
  wxRect r;
  EXPECT_TRUE(s.Get(10, r));
  EXPECT_EQ(r, wxRect(869, 5, 150, 300));
}

TEST(OptionText, TextsThatDoNotParseReadAsNotFound) {
  Store s;
  const struct {
    std::string text;
    bool asBool, asInt, asUnsigned, asChar, asSize, asRect;
  } cases[] = {
      {"", false, false, false, false, false, false},
      {"1", true, true, true, true, false, false},
      {" 7 ", false, true, true, true, false, false},
      {"2", false, true, true, true, false, false},
      {"-3", false, true, false, true, false, false},
      {"12abc", false, false, false, true, false, false},
      {"abc", false, false, false, true, false, false},
      {"1 2", false, false, false, true, true, false},
      {"1 2 3", false, false, false, true, false, false},
      {"1 2 3 4", false, false, false, true, false, true},
      {"99999999999", false, false, true, true, false, false},
      {"   ", false, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    s.map[1].text = c.text;
    bool b;
    int i;
    unsigned long u;
    char ch;
    wxSize sz;
    wxRect r;
    EXPECT_EQ(s.Get(1, b), c.asBool) << '"' << c.text << "\" as bool";
    EXPECT_EQ(s.Get(1, i), c.asInt) << '"' << c.text << "\" as int";
    EXPECT_EQ(s.Get(1, u), c.asUnsigned) << '"' << c.text << "\" as unsigned";
    EXPECT_EQ(s.Get(1, ch), c.asChar) << '"' << c.text << "\" as char";
    EXPECT_EQ(s.Get(1, sz), c.asSize) << '"' << c.text << "\" as size";
    EXPECT_EQ(s.Get(1, r), c.asRect) << '"' << c.text << "\" as rect";
  }
  int unused = 0;
  EXPECT_FALSE(s.Get(2, unused)) << "a missing id";
}

// One step of the change rule: set, then whether the observers were told.
struct Step {
  const char* what;
  std::function<void(Store&)> set;
  bool notifies;
};

void RunSteps(const std::vector<Step>& steps, bool subscribeFirst) {
  Store s;
  Recorder r;
  r.store = &s;
  if (subscribeFirst) s.AddObserver(18, &r);
  bool subscribed = subscribeFirst;
  for (const Step& step : steps) {
    r.calls.clear();
    step.set(s);
    if (!subscribed) {
      // The entry now exists; observe from here on.
      s.AddObserver(18, &r);
      subscribed = true;
      continue;
    }
    EXPECT_EQ(r.calls.size(), step.notifies ? 1u : 0u) << step.what;
  }
}

TEST(OptionNotify, ChangeRuleForEveryType) {
  const std::vector<std::vector<Step>> tables = {
      {{"bool true on a fresh entry", [](Store& s) { s.Set(18, true); }, true},
       {"bool true again", [](Store& s) { s.Set(18, true); }, false},
       {"bool false", [](Store& s) { s.Set(18, false); }, true}},
      {{"char first", [](Store& s) { s.Set(18, 'V'); }, true},
       {"char same", [](Store& s) { s.Set(18, 'V'); }, false},
       {"char other", [](Store& s) { s.Set(18, 'B'); }, true}},
      {{"int first", [](Store& s) { s.Set(18, 0); }, true},
       {"int same", [](Store& s) { s.Set(18, 0); }, false},
       {"int other", [](Store& s) { s.Set(18, -1); }, true},
       {"unsigned with the same text", [](Store& s) { s.Set(18, 5ul); }, true},
       {"unsigned same", [](Store& s) { s.Set(18, 5ul); }, false}},
      {{"size first", [](Store& s) { s.Set(18, wxSize(150, 300)); }, true},
       {"size same", [](Store& s) { s.Set(18, wxSize(150, 300)); }, false},
       {"size height", [](Store& s) { s.Set(18, wxSize(150, 301)); }, true}},
      {{"rect first", [](Store& s) { s.Set(18, wxRect(1, 2, 3, 4)); }, true},
       {"rect same", [](Store& s) { s.Set(18, wxRect(1, 2, 3, 4)); }, false},
       {"rect x", [](Store& s) { s.Set(18, wxRect(0, 2, 3, 4)); }, true},
       {"rect y", [](Store& s) { s.Set(18, wxRect(0, 0, 3, 4)); }, true},
       {"rect width", [](Store& s) { s.Set(18, wxRect(0, 0, 0, 4)); }, true},
       {"rect height", [](Store& s) { s.Set(18, wxRect(0, 0, 0, 0)); }, true}},
      {{"text empty on a fresh entry", [](Store& s) { s.Set(18, wxString()); }, true},
       {"text empty again (empty never parses)", [](Store& s) { s.Set(18, wxString()); }, true},
       {"text ab", [](Store& s) { s.Set(18, wxString("ab")); }, true},
       {"text ab again", [](Store& s) { s.Set(18, wxString("ab")); }, false},
       {"text AB", [](Store& s) { s.Set(18, wxString("AB")); }, true}},
      {{"text that is not an int", [](Store& s) { s.map[18].text = "abc"; }, false},
       {"int over it", [](Store& s) { s.Set(18, 3); }, true}},
  };
  for (const auto& table : tables) {
    RunSteps(table, true);   // subscribed first: the entry exists but is not found
    RunSteps(table, false);  // subscribed after the first Set
  }
}

TEST(OptionNotify, ObserversAreToldInOrderAfterTheValueIsStored) {
  Store s;
  Recorder a, b;
  a.store = b.store = &s;
  s.AddObserver(7, &a);
  s.AddObserver(7, &b);
  s.AddObserver(8, &b);
  int order = 0, aAt = -1, bAt = -1;
  struct Tagger : Store::observer {
    int* counter;
    int* at;
    void OnOptionChanged(const int&) override { *at = (*counter)++; }
  } ta, tb;
  ta.counter = tb.counter = &order;
  ta.at = &aAt;
  tb.at = &bAt;
  s.AddObserver(7, &ta);
  s.AddObserver(7, &tb);
  s.Set(7, 42);
  EXPECT_EQ(a.seenText, "42");
  EXPECT_EQ(a.calls, std::vector<int>{7});
  EXPECT_EQ(b.calls, std::vector<int>{7}) << "only the changed id is told";
  EXPECT_LT(aAt, bAt);
  int v = 0;
  EXPECT_TRUE(s.Get(7, v));
}

// Removal: a removed observer hears nothing more of that id (however often
// it was added), also when an earlier observer removes it during the round.
TEST(OptionNotify, ARemovedObserverIsNotToldAgain) {
  Store s;
  Recorder kept, removed;
  s.AddObserver(7, &removed);
  s.AddObserver(7, &removed);
  s.AddObserver(8, &removed);
  s.AddObserver(7, &kept);
  s.RemoveObserver(7, &removed);
  s.RemoveObserver(9, &removed);  // never observed: nothing happens
  s.Set(7, 1);
  s.Set(8, 1);
  EXPECT_EQ(removed.calls, std::vector<int>{8}) << "other ids are still observed";
  EXPECT_EQ(kept.calls, std::vector<int>{7});
  EXPECT_FALSE(s.Observes(7, &removed));
  EXPECT_TRUE(s.Observes(7, &kept));

  struct Remover : Store::observer {
    Store* store = nullptr;
    Store::observer* victim = nullptr;
    void OnOptionChanged(const int& id) override { store->RemoveObserver(id, victim); }
  };
  Store t;
  Recorder late;
  Remover remover;
  remover.store = &t;
  remover.victim = &late;
  t.AddObserver(7, &remover);
  t.AddObserver(7, &late);
  t.Set(7, 2);
  EXPECT_TRUE(late.calls.empty()) << "removed before its turn came";
}

std::string Save(const Store& s) {
  std::ostringstream os;
  {
    cmn::oarchive ar(os, 0);
    ar << s;
  }
  return os.str();
}

TEST(OptionArchive, SavedAsTheMapOfTextsInIdOrder) {
  Store s;
  Recorder r;
  s.Set(3, 'V');
  s.Set(0, true);
  s.AddObserver(0, &r);
  // store header, map header, 2 entries, item version, then (id, text) pairs
  // with their class headers on first use; observers are not written.
  EXPECT_EQ(Save(s), "22 serialization::archive 18 0 0 0 0 2 0 0 0 0 0 0 1 1 3 1 V\n");
}

TEST(OptionArchive, LoadMergesIntoWhatTheStoreHolds) {
  Store file;
  file.Set(0, false);
  file.Set(3, 'B');
  const std::string text = Save(file);

  Store s;
  Recorder r0, r22;
  s.Set(0, true);
  s.Set(3, 'V');
  s.Set(22, 45689);
  s.AddObserver(0, &r0);
  s.AddObserver(22, &r22);
  std::istringstream is(text);
  {
    cmn::iarchive ar(is, 0);
    ar >> s;
  }
  bool b = true;
  char c = 0;
  int port = 0;
  EXPECT_TRUE(s.Get(0, b));
  EXPECT_FALSE(b);
  EXPECT_TRUE(s.Get(3, c));
  EXPECT_EQ(c, 'B');
  EXPECT_TRUE(s.Get(22, port)) << "an id the file lacks keeps its value";
  EXPECT_EQ(port, 45689);
  EXPECT_TRUE(s.map.at(0).observers.empty()) << "loaded entries have no observers";
  EXPECT_EQ(s.map.at(22).observers.size(), 1u);
  EXPECT_TRUE(r0.calls.empty() && r22.calls.empty()) << "loading tells nobody";
}

}  // namespace

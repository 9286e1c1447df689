#pragma once
// What the tests of the record-list windows share: a shown frame to put
// windows in, records made from a text and a source application, and the
// texts a list holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/frame.h>

#include "gui_util.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "pq/searchlist.h"
#include "settings.h"

namespace lists_test {

inline pq::RecordPtr MakeRecord(const std::string& text, const std::string& application = "") {
  auto record = boost::make_shared<pq::Record>();
  record->text = text;
  record->application = application;
  return record;
}

inline void Fill(pq::RecordList& list, std::initializer_list<const char*> frontToBack) {
  std::vector<const char*> texts(frontToBack);
  for (auto it = texts.rbegin(); it != texts.rend(); ++it) list.AddRecord(MakeRecord(*it));
}

inline std::vector<std::string> Texts(const pq::RecordList& list) {
  std::vector<std::string> out;
  for (const auto& r : list.GetRecords()) out.push_back(r->text);
  return out;
}
using Lines = std::vector<std::string>;

// The search list of a history made by CreateDefaultLists.
inline SearchList* SearchListOf(pq::History& history) {
  for (pq::RecordList* list : history.GetLists()) {
    if (pq::IsSearchList(list)) return static_cast<SearchList*>(list);
  }
  return nullptr;
}

// Fills the search list with the hits of `text` now, not after the delay.
inline void SearchNow(SearchList& search, const char* text) {
  search.SetText(text);
  search.RunSearch();
}

// A shown frame whose windows go before the lists of the test do.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new wxFrame(nullptr, wxID_ANY, "lists", wxPoint(20, 20), wxSize(420, 320));
    frame->Show();
  }
  void TearDown() override {
    delete frame;
    DispatchPending();
  }
  testing_settings::ScopedSettings settings;
  wxFrame* frame = nullptr;
};

}  // namespace lists_test

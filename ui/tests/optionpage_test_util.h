#pragma once
// Tests of the options dialog's pages: settings of the test's own (every
// default, or not one option), and a page of a dialog found by its class.
#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>
#include <vector>

#include <wx/bookctrl.h>

#include "gui_util.h"
#include "optiondlg.h"
#include "settings.h"

struct OptionPageTest : ::testing::Test {
  explicit OptionPageTest(testing_settings::Start start = testing_settings::kDefaults) : settings(start) {}
  ~OptionPageTest() override { DispatchPending(); }
  testing_settings::ScopedSettings settings;
};
// Starts with no option at all: what the page writes is all there is.
struct OptionPageTestWithoutOptions : OptionPageTest {
  OptionPageTestWithoutOptions() : OptionPageTest(testing_settings::kNoOptions) {}
};

template <class Page>
Page& PageOf(const OptionDlg& dialog) {
  for (std::size_t i = 0; i < dialog.GetBookCtrl()->GetPageCount(); ++i)
    if (auto* page = dynamic_cast<Page*>(dialog.GetPage(i))) return *page;
  throw std::logic_error("the dialog has no such page");
}

// Notes every change of the options it follows, in order.
struct OptionWatcher : cmn::option<int>::observer {
  template <class Ids>
  OptionWatcher(cmn::option<int>& store, const Ids& ids) : store(store), ids(std::begin(ids), std::end(ids)) {
    for (int id : this->ids) store.AddObserver(id, this);
  }
  ~OptionWatcher() override {
    for (int id : ids) store.RemoveObserver(id, this);
  }
  void OnOptionChanged(const int& id) override { changed.push_back(id); }
  cmn::option<int>& store;
  const std::vector<int> ids;
  std::vector<int> changed;
};

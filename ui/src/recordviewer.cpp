#include "recordviewer.h"

#include <algorithm>
#include <exception>
#include <typeinfo>

#include "itemview.h"
#include "pq/dataobject.h"
#include "pq/itemtype.h"
#include "pq/record.h"

RecordViewer::RecordViewer(wxWindow* parent)
    : wxNotebook(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER, "notebook") {
  // Pages, like every walk of the item types from here on, run by type id.
  pq::ItemType::SortById();
  std::vector<ItemViewType*>& kinds = ItemViewType::GetRegistry();
  std::stable_sort(kinds.begin(), kinds.end(), &ItemViewType::CompareByItemOrder);
  for (const ItemViewType* kind : kinds) {
    auto* window = dynamic_cast<wxWindow*>(kind->CreateView(this));
    if (window != nullptr) views.push_back(window);
  }
  for (wxWindow* window : views) window->Hide();
}

RecordViewer::~RecordViewer() {
  ReleaseDataObject(nullptr);
  record.reset();
}

ItemView* RecordViewer::ViewOf(wxWindow* window) const { return dynamic_cast<ItemView*>(window); }

void RecordViewer::ReleaseDataObject(pq::DataObject* old) {
  // The views point into the data object: they let go first.
  for (wxWindow* window : views)
    if (ItemView* view = ViewOf(window)) view->SetItem(nullptr);
  if (old != nullptr) old->Release();
  if (dataObject != nullptr) dataObject->Release();
  dataObject = nullptr;
}

void RecordViewer::ClearPages() {
  while (GetPageCount() > 0) RemovePage(0);
  for (wxWindow* window : views) window->Hide();
}

void RecordViewer::ShowRecord(const pq::RecordPtr& shown, pq::RecordList* source) {
  if (shown == record) return;
  record = shown;
  // The shown items stay until the views have the new ones: a view that
  // shows the next record too is not emptied first.
  pq::DataObject* const old = dataObject;
  dataObject = nullptr;
  if (record) {
    try {
      dataObject = record->CreateDataObject(source);
    } catch (const std::exception&) {
      // A damaged item block: nothing of it can be shown.
      dataObject = nullptr;
    }
  }
  if (dataObject == nullptr) {
    ReleaseDataObject(old);
    ClearPages();
    return;
  }

  std::vector<wxWindow*> pages;
  for (std::size_t i = 0; i < GetPageCount(); ++i) pages.push_back(GetPage(i));

  // Each view takes the first item of exactly its item type's class.
  std::vector<wxWindow*> needed;
  std::vector<wxString> titles(views.size());
  for (std::size_t v = 0; v < views.size(); ++v) {
    ItemView* view = ViewOf(views[v]);
    const ItemViewType* kind = view != nullptr ? ItemViewType::FindByViewClass(*view) : nullptr;
    const pq::ItemType* type = kind != nullptr ? ItemViewType::GetItemType(*kind) : nullptr;
    const auto& items = dataObject->Items();
    const auto found = type == nullptr
                           ? items.end()
                           : std::find_if(items.begin(), items.end(), [type](const pq::Item* item) {
                               return typeid(*item) == type->GetTypeInfo();
                             });
    if (view != nullptr) view->SetItem(found != items.end() ? *found : nullptr);
    if (found == items.end()) continue;
    needed.push_back(views[v]);
    titles[v] = type->GetDisplayName();
  }
  // No view points into the old items any more.
  if (old != nullptr) old->Release();

  const auto contains = [](const std::vector<wxWindow*>& list, const wxWindow* w) {
    return std::find(list.begin(), list.end(), w) != list.end();
  };
  // Pages this record has no item for go (the windows stay).
  for (std::size_t i = 0; i < pages.size();) {
    if (contains(needed, pages[i])) {
      ++i;
      continue;
    }
    RemovePage(i);
    pages[i]->Hide();
    pages.erase(pages.begin() + static_cast<std::ptrdiff_t>(i));
  }
  // New pages go before the first page that comes after them in view order,
  // so pages that stay keep their place.
  const auto order = [this](const wxWindow* w) {
    return std::find(views.begin(), views.end(), w) - views.begin();
  };
  for (wxWindow* window : needed) {
    if (contains(pages, window)) continue;
    const auto next = std::find_if(pages.begin(), pages.end(),
                                   [&](const wxWindow* page) { return order(page) > order(window); });
    const wxString& title = titles[static_cast<std::size_t>(order(window))];
    // A notebook on GTK never turns to a hidden page.
    window->Show();
    if (next != pages.end()) {
      InsertPage(static_cast<std::size_t>(next - pages.begin()), window, title, false);
    } else {
      AddPage(window, title, false);
    }
    pages.insert(next, window);
  }
}

#include "optionpage.h"

#include <algorithm>

bool PanelOptionPageBase::Create(wxWindow* parent) {
  return wxPanel::Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER, "panel");
}

OptionPageType::OptionPageType(int order, const wxString& title) : order(order), title(title) {
  GetRegistry().push_back(this);
}

OptionPageType::~OptionPageType() {
  auto& registry = GetRegistry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

std::vector<OptionPageType*>& OptionPageType::GetRegistry() {
  // Built on first use, which is during the static initialisation of the
  // first page type, whatever the order of the files.
  static std::vector<OptionPageType*> registry;
  return registry;
}

void OptionPageType::SortRegistry() {
  auto& registry = GetRegistry();
  std::stable_sort(registry.begin(), registry.end(),
                   [](const OptionPageType* a, const OptionPageType* b) { return a->order < b->order; });
}

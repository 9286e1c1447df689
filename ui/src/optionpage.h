#pragma once
// The pages of the options dialog and the registry of page types. The dialog
// knows no page by name: each page type registers itself through a static
// OptionPageTypeImpl<Page> beside the page, and the dialog reads the
// registry, sorted by each type's order, whenever it is built.
#include <vector>

#include <wx/panel.h>
#include <wx/string.h>

// What the dialog sees of a page. The operations are not called GetWindow,
// Apply and Validate: a page is also a wxWindow, and a Validate() here would
// override the toolkit's wxWindow::Validate(), so a page that checks its
// controls through their validators (wxWindow::Validate) would call itself.
class OptionPage {
 public:
  // The window that becomes the page's tab.
  virtual wxWindow* GetPageWindow() = 0;
  // Writes the page's controls into the options and the settings record.
  // A page that can be invalid runs ValidatePage first and, when it
  // refuses, returns false and writes nothing.
  virtual bool ApplyPage() = 0;
  // Checks the page's controls; on a refusal the user has been told and the
  // offending control has the focus. Accepts by default.
  virtual bool ValidatePage() { return true; }

 protected:
  ~OptionPage() = default;
};

template <class Window>
class OptionPageBase : public Window, public OptionPage {};

// The base of every page: a panel that is its own tab.
class PanelOptionPageBase : public OptionPageBase<wxPanel> {
 public:
  // No window yet: Create makes it.
  PanelOptionPageBase() = default;
  ~PanelOptionPageBase() override = default;

  bool Create(wxWindow* parent);
  wxWindow* GetPageWindow() override { return this; }
};

// One page type of the registry.
class OptionPageType {
 public:
  // Appends the type to the registry.
  OptionPageType(int order, const wxString& title);

  // A new page on parent, or null when it could not be made.
  virtual OptionPage* CreatePage(wxWindow* parent) const = 0;

  // Every registered type, in registration order until SortRegistry.
  static std::vector<OptionPageType*>& GetRegistry();
  // Sorts the registry by order; types of equal order keep their places.
  static void SortRegistry();

  const int order;      // lower comes first among the tabs
  const wxString title;  // the tab's title

 protected:
  // Types are static objects; one that goes (a test's own) leaves the
  // registry.
  ~OptionPageType();
  OptionPageType(const OptionPageType&) = delete;
  OptionPageType& operator=(const OptionPageType&) = delete;
};

// The page type of Page, a PanelOptionPageBase with a default constructor
// and `bool CreateControls()`, which builds the page's controls.
template <class Page>
class OptionPageTypeImpl : public OptionPageType {
 public:
  using OptionPageType::OptionPageType;

  OptionPage* CreatePage(wxWindow* parent) const override { return CreatePanel(parent); }

  virtual Page* CreatePanel(wxWindow* parent) const {
    auto* page = new Page;
    if (page->Create(parent) && page->CreateControls()) return page;
    delete page;
    return nullptr;
  }
};

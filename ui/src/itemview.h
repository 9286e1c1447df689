#pragma once
// The views of the record viewer: one window per kind of item that can be
// shown, and the registry of view kinds that static objects fill at start-up
// (as the item types fill theirs).
#include <typeinfo>
#include <vector>

class wxWindow;

namespace pq {
class Item;
class ItemType;
}  // namespace pq

class ItemView {
 public:
  virtual ~ItemView() = default;
  // Keeps the item (not owned; it belongs to the viewer's data object) and
  // shows it.
  virtual void SetItem(pq::Item* item) = 0;
  // Puts the item into the window; null shows nothing.
  virtual void UpdateView(pq::Item* item) = 0;
};

// The view side of one item class.
template <class Item>
class ItemViewBase : public ItemView {
 public:
  // An item of another class counts as none.
  void SetItem(pq::Item* i) override {
    item = dynamic_cast<Item*>(i);
    UpdateView(item);
  }
  Item* GetItem() const { return item; }

 protected:
  Item* item = nullptr;
};

class ItemViewType {
 public:
  // The view window's ItemView, made with `parent`; null when no window was
  // made.
  virtual ItemView* CreateView(wxWindow* parent) const = 0;
  // A new view window with that parent.
  virtual wxWindow* CreateWindow(wxWindow* parent) const = 0;

  const std::type_info& GetItemClass() const { return *itemClass; }
  const std::type_info& GetViewClass() const { return *viewClass; }

  // Every view kind; filled by the constructors of static entries, in any
  // order of static initialisation.
  static std::vector<ItemViewType*>& GetRegistry();
  // The first entry whose view class is the view's own class; null when none.
  static ItemViewType* FindByViewClass(const ItemView& view);
  // The item-type entry of the view type's item class; null when none.
  static pq::ItemType* GetItemType(const ItemViewType& type);
  // a before b when a's item type stands before b's in the item-type
  // registry; a view kind whose item type is not registered comes last.
  static bool CompareByItemOrder(const ItemViewType* a, const ItemViewType* b);

 protected:
  // Appends the entry to the registry.
  ItemViewType(const std::type_info& itemClass, const std::type_info& viewClass);
  ~ItemViewType() = default;
  ItemViewType(const ItemViewType&) = delete;
  ItemViewType& operator=(const ItemViewType&) = delete;

 private:
  const std::type_info* itemClass;
  const std::type_info* viewClass;
};

// The view kind of window class View showing items of class Item; one static
// instance per view.
template <class View, class Item>
class ItemViewTypeImpl : public ItemViewType {
 public:
  ItemViewTypeImpl() : ItemViewType(typeid(Item), typeid(View)) {}
  ItemView* CreateView(wxWindow* parent) const override { return static_cast<View*>(CreateWindow(parent)); }
  wxWindow* CreateWindow(wxWindow* parent) const override { return new View(parent); }
};

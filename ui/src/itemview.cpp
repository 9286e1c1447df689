#include "itemview.h"

#include "pq/itemtype.h"

ItemViewType::ItemViewType(const std::type_info& itemClass, const std::type_info& viewClass)
    : itemClass(&itemClass), viewClass(&viewClass) {
  GetRegistry().push_back(this);
}

std::vector<ItemViewType*>& ItemViewType::GetRegistry() {
  static std::vector<ItemViewType*> registry;
  return registry;
}

ItemViewType* ItemViewType::FindByViewClass(const ItemView& view) {
  for (ItemViewType* type : GetRegistry())
    if (type->GetViewClass() == typeid(view)) return type;
  return nullptr;
}

pq::ItemType* ItemViewType::GetItemType(const ItemViewType& type) {
  return pq::ItemType::FindByTypeInfo(type.GetItemClass());
}

bool ItemViewType::CompareByItemOrder(const ItemViewType* a, const ItemViewType* b) {
  // IndexOf gives "end" for a type that is not registered, so it sorts last,
  // and with an empty registry nothing comes before anything.
  return pq::ItemType::IndexOf(GetItemType(*a)) < pq::ItemType::IndexOf(GetItemType(*b));
}

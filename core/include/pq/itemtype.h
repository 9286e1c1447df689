#pragma once
// The item-type registry: one static entry per item class, giving the
// clipboard format the class serves, its type id (1000 to 1008), its display
// name, and a factory of empty items. Also the program's registered clipboard
// formats and the switches that decide which formats are recorded and pasted.
#include <typeinfo>
#include <vector>

#include <wx/string.h>

#include "pq/win.h"

namespace pq {

class Item;

// Registered clipboard formats (registered once at start-up, before any item
// exists) and the "TaskbarCreated" message.
CLIPFORMAT CfHtml();
CLIPFORMAT CfRtf();
CLIPFORMAT CfCsv();
CLIPFORMAT CfEmbeddedObject();
CLIPFORMAT CfPastiqTag();
UINT WmTaskbarCreated();

class ItemType {
 public:
  // A new empty item of the type's class, owned by the caller.
  virtual Item* CreateItem() const = 0;

  CLIPFORMAT GetFormat() const { return m_format; }
  int GetId() const { return m_id; }
  // The untranslated display name.
  const wxString& GetName() const { return m_name; }
  // The display name in the user's language (translated when asked, since no
  // catalog is loaded while static entries are built).
  wxString GetDisplayName() const;
  const std::type_info& GetTypeInfo() const { return *m_type; }

  // The registry, in registration order until SortById.
  static std::vector<ItemType*>& GetItemTypes();
  static ItemType* FindByFormat(CLIPFORMAT format);
  static ItemType* FindById(int id);
  // Pass typeid(*item) to find an item's type.
  static ItemType* FindByTypeInfo(const std::type_info& type);
  // Whether captures keep `format` (option id = type id; absent means no).
  static bool IsRecordEnabled(CLIPFORMAT format);
  // Whether pastes put `format` back (option type id + 1000 holds "not
  // pasted"; absent means pasted).
  static bool IsPasteEnabled(CLIPFORMAT format);
  static void SetPasteEnabled(const ItemType& type, bool enabled);
  // The position of `type` in the registry; GetItemTypes().size() ("end")
  // when it is not there (null included). Views are ordered by it.
  static std::size_t IndexOf(const ItemType* type);
  // Sorts the registry by ascending type id (done when a record viewer is
  // built; every walk afterwards runs by id).
  static void SortById();

  // Option ids of the two switches of a type.
  static int RecordOptionId(int typeId) { return typeId; }
  static int PasteOptionId(int typeId) { return typeId + 1000; }

 protected:
  // Appends the entry to the registry.
  ItemType(CLIPFORMAT format, int id, const wxString& name, const std::type_info& type);
  ~ItemType() = default;
  ItemType(const ItemType&) = delete;
  ItemType& operator=(const ItemType&) = delete;

 private:
  CLIPFORMAT m_format;
  int m_id;
  wxString m_name;
  const std::type_info* m_type;
};

template <class T>
class ItemTypeImpl : public ItemType {
 public:
  ItemTypeImpl(CLIPFORMAT format, int id, const wxString& name)
      : ItemType(format, id, name, typeid(T)) {}
  Item* CreateItem() const override { return new T; }
};

}  // namespace pq

#pragma once
// The program's own data object: a vector of items offered to the clipboard
// and to drag and drop, and (without its COM side) the archived form of a
// clip. The object owns its items and deletes them when the last reference
// goes; create it with new (count 1) and end it with Release.
#include <vector>

#include <boost/serialization/access.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/tracking.hpp>

#include "pq/item.h"
#include "pq/itemformat.h"
#include "pq/unknown.h"
#include "pq/win.h"

namespace pq {

class DataObject : public SimpleUnknownImpl<IDataObject, IID_IDataObject> {
 public:
  DataObject() = default;

  // The items, in order; the object owns every pointer held here.
  std::vector<Item*>& Items() { return m_items; }
  const std::vector<Item*>& Items() const { return m_items; }
  // The first item that offers `format`, or null.
  Item* FindItem(const ItemFormat& format) const;

  HRESULT GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
  HRESULT GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
  HRESULT QueryGetData(FORMATETC* pformatetc) override;
  HRESULT GetCanonicalFormatEtc(FORMATETC* pformatetcIn, FORMATETC* pformatetcOut) override;
  HRESULT SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
  HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
  HRESULT DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink,
                  DWORD* pdwConnection) override;
  HRESULT DUnadvise(DWORD dwConnection) override;
  HRESULT EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

 protected:
  ~DataObject() override;

 private:
  std::vector<Item*> m_items;

  // Only the item vector is archived: its count, then each item through a
  // pq::Item pointer. Loading replaces the items with new ones.
  friend class boost::serialization::access;
  template <class Archive>
  void save(Archive& ar, const unsigned int) const;
  template <class Archive>
  void load(Archive& ar, const unsigned int);
  BOOST_SERIALIZATION_SPLIT_MEMBER()
};

class EnumFormatEtc : public SimpleUnknownImpl<IEnumFORMATETC, IID_IEnumFORMATETC> {
 public:
  // Holds a reference on `owner` until destroyed; lists every item's pairs.
  explicit EnumFormatEtc(DataObject* owner);

  HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumFORMATETC** ppenum) override;

  std::size_t GetCursor() const { return m_cursor; }
  const std::vector<ItemFormat>& GetFormats() const { return m_formats; }

 protected:
  ~EnumFormatEtc() override;

 private:
  EnumFormatEtc(const EnumFormatEtc& other, int);  // for Clone
  DataObject* m_owner;
  std::vector<ItemFormat> m_formats;
  std::size_t m_cursor = 0;
};

}  // namespace pq

// A data object is archived by value, never through pointers.
BOOST_CLASS_TRACKING(pq::DataObject, boost::serialization::track_never)

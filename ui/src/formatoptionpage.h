#pragma once
// The "Formats" tab of the options dialog: for every clipboard format the
// program knows, whether it is recorded and whether it is pasted back. The
// locale has no row of its own: it follows the plain text.
#include <vector>

#include "optionpage.h"

class wxCheckBox;
namespace pq {
class ItemType;
}

class FormatOptionPage : public PanelOptionPageBase {
 public:
  // The check boxes' window ids: a Record box has the item type's id, a
  // Paste box the type id plus this.
  static constexpr int kPasteIdOffset = 1000;

  FormatOptionPage() = default;
  ~FormatOptionPage() override = default;

  // Builds one row per format and sets the boxes from the switches; always
  // true.
  bool CreateControls();
  // Writes every row's two switches; every combination is accepted.
  bool ApplyPage() override;

  // The item types that have a row, in the rows' order (by type id).
  static std::vector<const pq::ItemType*> RowTypes();
  wxCheckBox* GetRecordBox(const pq::ItemType& type) const;
  wxCheckBox* GetPasteBox(const pq::ItemType& type) const;
};

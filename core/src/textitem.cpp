#include <cstring>

#include "cmn/strconv.h"
#include "medium.h"
#include "pq/item.h"
#include "pq/itemtype.h"

namespace pq {

void TextItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(CF_UNICODETEXT, TYMED_HGLOBAL);
  formats.emplace_back(CF_TEXT, TYMED_HGLOBAL);
}

std::vector<char> TextItem::Render(CLIPFORMAT format) const {
  // The narrow text ends at its first NUL, and so does every rendering.
  const wxString wide = cmn::wx::FromMultiByte(m_text.c_str());
  std::vector<char> out;
  const std::wstring text(wide.wc_str());
  if (format == CF_UNICODETEXT) {
    // UTF-16LE units on the clipboard, whatever the width of wchar_t.
    const std::u16string utf16 = platform::WideToUtf16(text);
    out.reserve((utf16.size() + 1) * 2);
    for (char16_t u : utf16) {
      out.push_back(static_cast<char>(u & 0xFF));
      out.push_back(static_cast<char>(u >> 8));
    }
    out.push_back('\0');
    out.push_back('\0');
  } else {
    const std::string ansi = platform::WideToAnsi(text);
    out.assign(ansi.c_str(), ansi.c_str() + std::strlen(ansi.c_str()) + 1);
  }
  return out;
}

namespace {

// The common start, then the rendered bytes of the requested format.
HRESULT Prepare(const TextItem& item, const ItemFormat& request, STGMEDIUM* medium,
                std::vector<char>& bytes) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!item.BeginRender(request, medium)) return DV_E_FORMATETC;
  try {
    bytes = item.Render(request.format);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace

HRESULT TextItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  std::vector<char> bytes;
  HRESULT hr = Prepare(*this, request, medium, bytes);
  return FAILED(hr) ? hr : medium::NewGlobal(bytes.data(), bytes.size(), &medium->hGlobal);
}

HRESULT TextItem::GetDataHere(const ItemFormat& request, STGMEDIUM* medium) {
  std::vector<char> bytes;
  HRESULT hr = Prepare(*this, request, medium, bytes);
  return FAILED(hr) ? hr : medium::CopyToGlobal(medium->hGlobal, bytes.data(), bytes.size());
}

bool TextItem::Keep(std::string text) {
  // UTF-8 may be longer than the clipboard's bytes: a text an archive could
  // not read back is not kept.
  if (text.size() > kMaxClipboardBlock) return false;
  m_text.swap(text);
  return true;
}

bool TextItem::Load(IDataObject* source) {
  std::vector<char> block;
  // UTF-16: at least one whole unit; the last whole unit is forced to NUL in
  // our copy (the producer's block is never written).
  if (medium::ReadGlobal(source, CF_UNICODETEXT, block) && block.size() > 1) {
    const std::size_t units = block.size() / 2;
    block[2 * (units - 1)] = '\0';
    block[2 * (units - 1) + 1] = '\0';
    const std::wstring wide = platform::Utf16BytesToWide(block.data(), units * 2);
    return Keep(cmn::wx::ToStdString(wxString(wide)));
  }
  block.clear();
  if (medium::ReadGlobal(source, CF_TEXT, block) && !block.empty()) {
    block.back() = '\0';
    const std::wstring wide = platform::AnsiToWide(std::string(block.data()));
    return Keep(cmn::wx::ToStdString(wxString(wide)));
  }
  return false;
}

}  // namespace pq

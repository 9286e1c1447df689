// The CLIPBOARD selection and the layer's clipboard.
//
// When another client takes the selection, its targets are read at once,
// each with a bounded wait, and put on the layer's clipboard with the
// owner's X window as the owner; closing the clipboard walks the viewer
// chain, so every viewer gets WM_DRAWCLIPBOARD. A change read while the one
// before is still being captured waits its turn. When one of our windows puts
// data on the layer's clipboard (OleSetClipboard), a viewer of ours that
// sits at the end of the chain takes the selection and serves the same
// targets back from it, large ones in increments.
#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#include "../../src/clipboard_internal.h"
#include "../../src/desktop_internal.h"
#include "platform/atoms.h"
#include "platform/clipboard.h"
#include "platform/clipformats.h"
#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/x11.h"
#include "html_format.h"
#include "images.h"
#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

namespace pd = platform::detail;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxSelectionBytes = std::size_t(64) << 20;
constexpr std::size_t kMaxTargets = 512;
// Reads that wait to be shown: beyond these the oldest are given up.
constexpr std::size_t kMaxWaiting = 64;
constexpr std::size_t kMaxWaitingBytes = std::size_t(256) << 20;
// Posted to our viewer once a read was shown: by the time it arrives, what
// the viewers posted themselves for it (the manager's capture) has run.
constexpr UINT kShowNext = WM_USER + 0x5D1;
constexpr auto kIncrIdleLimit = std::chrono::milliseconds(kReadTimeoutMs);
constexpr auto kIncrTotalLimit = std::chrono::seconds(10);

struct Formats {
  UINT html = 0, rtf = 0, csv = 0, tag = 0, png = 0;
};

struct Incoming {
  UINT format;
  std::vector<BYTE> bytes;
};

// One owner's clipboard as it was read: what the layer shows the viewers for
// that owner change.
struct Read {
  HWND owner = nullptr;
  std::vector<Incoming> data;
  // A PNG as the client gave it, shown as "PNG"; the bitmap is made from it
  // only when someone asks for one.
  std::shared_ptr<const std::vector<unsigned char>> png;
  std::size_t Bytes() const {
    std::size_t n = png ? png->size() : 0;
    for (const Incoming& in : data) n += in.bytes.size();
    return n;
  }
};

// An increment transfer we serve to one requestor.
struct Outgoing {
  Window requestor = 0;
  Atom property = 0;
  Atom type = 0;
  std::vector<unsigned char> data;
  std::size_t offset = 0;
  Clock::time_point started;
};

struct ClipState {
  Formats f;
  HWND viewer = nullptr;
  HWND nextViewer = nullptr;
  bool owning = false;  // we hold CLIPBOARD
  Time ownedSince = CurrentTime;
  bool mirroring = false;  // we are putting another client's data on the layer's clipboard
  std::vector<Outgoing> outgoing;
  // Owner changes read while the one shown before still waits for the
  // captures it started; each is shown in turn (see Show).
  std::deque<Read> waiting;
  bool showing = false;  // a turn of our queue has not passed since the last Show
};

ClipState cs;

Display* Dpy() { return C().dpy; }
const Atoms& A() { return C().a; }

// ---- Reading another client's selection ---------------------------------------

// Waits for an event of `type` on our window, answering requests made of us
// meanwhile; false at the deadline.
bool WaitOwnEvent(int type, Clock::time_point deadline, XEvent* out, Atom property = None);

void ServeRequest(const XSelectionRequestEvent& req);

bool ReadProperty(Window w, Atom prop, bool remove, std::vector<unsigned char>* out, Atom* type, int* format) {
  out->clear();
  Atom at = None;
  int fmt = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  Trap trap;
  int r = XGetWindowProperty(Dpy(), w, prop, 0, static_cast<long>(kMaxSelectionBytes / 4), remove ? True : False,
                             AnyPropertyType, &at, &fmt, &n, &after, &data);
  bool failed = trap.Failed();
  if (r != Success || failed || at == None) {
    if (data) XFree(data);
    return false;
  }
  std::size_t unit = fmt == 32 ? sizeof(long) : fmt == 16 ? sizeof(short) : 1;
  if (data && n) {
    if (fmt == 32) {
      // 32-bit items arrive as longs; hand them on as 32-bit values.
      const long* v = reinterpret_cast<const long*>(data);
      out->resize(n * 4);
      for (unsigned long i = 0; i < n; ++i) {
        std::uint32_t x = static_cast<std::uint32_t>(v[i]);
        std::memcpy(out->data() + i * 4, &x, 4);
      }
    } else {
      out->assign(data, data + n * unit);
    }
  }
  if (data) XFree(data);
  *type = at;
  *format = fmt;
  return true;
}

// One target of the CLIPBOARD selection; false when the owner refuses, goes
// away or does not answer in time.
bool Fetch(Atom target, Time time, std::vector<unsigned char>* out, Atom* type) {
  out->clear();
  Atom prop = A().property;
  XDeleteProperty(Dpy(), C().own, prop);
  XConvertSelection(Dpy(), A().clipboard, target, prop, C().own, time);
  XFlush(Dpy());
  XEvent ev;
  auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
  if (!WaitOwnEvent(SelectionNotify, deadline, &ev)) return false;
  if (ev.xselection.property == None) return false;
  int format = 0;
  if (!ReadProperty(C().own, prop, true, out, type, &format)) return false;
  if (*type != A().incr) return true;
  // Increments: each new value of the property is the next piece; an empty
  // one ends the transfer.
  out->clear();
  auto hardStop = Clock::now() + kIncrTotalLimit;
  for (;;) {
    auto idle = std::min(Clock::now() + kIncrIdleLimit, hardStop);
    if (!WaitOwnEvent(PropertyNotify, idle, &ev, prop)) return false;
    std::vector<unsigned char> piece;
    Atom pieceType = None;
    if (!ReadProperty(C().own, prop, true, &piece, &pieceType, &format)) continue;
    if (piece.empty()) {
      *type = pieceType;
      return true;
    }
    if (out->size() + piece.size() > kMaxSelectionBytes) return false;
    out->insert(out->end(), piece.begin(), piece.end());
  }
}

bool WaitOwnEvent(int type, Clock::time_point deadline, XEvent* out, Atom property) {
  for (;;) {
    XEvent ev;
    while (XCheckTypedWindowEvent(Dpy(), C().own, SelectionRequest, &ev)) ServeRequest(ev.xselectionrequest);
    while (XCheckTypedWindowEvent(Dpy(), C().own, type, &ev)) {
      if (type == PropertyNotify && (ev.xproperty.atom != property || ev.xproperty.state != PropertyNewValue)) continue;
      *out = ev;
      return true;
    }
    auto now = Clock::now();
    if (now >= deadline) return false;
    pollfd p{ConnectionNumber(Dpy()), POLLIN, 0};
    int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
    poll(&p, 1, std::max(1, std::min(ms, 50)));
  }
}

// ---- Conversions ---------------------------------------------------------------

std::vector<BYTE> Utf16Block(const std::wstring& text) {
  std::u16string u = WideToUtf16(text);
  std::vector<BYTE> out((u.size() + 1) * 2, 0);
  std::memcpy(out.data(), u.data(), u.size() * 2);
  return out;
}

std::wstring Latin1ToWide(const std::vector<unsigned char>& b) {
  std::wstring out;
  for (unsigned char c : b) out.push_back(static_cast<wchar_t>(c));
  return out;
}

std::string Utf8Of(const std::vector<unsigned char>& bytes) {
  // Some producers hand HTML over as UTF-16 with a byte-order mark.
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    std::u16string u((bytes.size() - 2) / 2, u'\0');
    std::memcpy(u.data(), bytes.data() + 2, u.size() * 2);
    return WideToUtf8(Utf16ToWide(u.data(), u.size()));
  }
  std::size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  return std::string(bytes.begin() + static_cast<long>(start), bytes.end());
}

std::string StripNuls(std::string s) {
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::size_t FindNoCase(const std::string& hay, const std::string& needle, std::size_t from = 0) {
  auto it = std::search(hay.begin() + static_cast<long>(std::min(from, hay.size())), hay.end(), needle.begin(),
                        needle.end(), [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                                  std::tolower(static_cast<unsigned char>(b)); });
  return it == hay.end() ? std::string::npos : static_cast<std::size_t>(it - hay.begin());
}

}  // namespace

// "HTML Format": the header with the offsets of the whole document and of
// the fragment, around the producer's HTML.
std::string BuildHtmlFormat(const std::string& htmlIn) {
  std::string html = StripNuls(htmlIn);
  std::string doc;
  std::size_t fragStart = 0, fragEnd = 0;
  const std::string kStart = "<!--StartFragment-->", kEnd = "<!--EndFragment-->";
  std::size_t s = FindNoCase(html, kStart), e = FindNoCase(html, kEnd);
  if (s != std::string::npos && e != std::string::npos && e >= s + kStart.size()) {
    doc = html;
    fragStart = s + kStart.size();
    fragEnd = e;
  } else {
    std::size_t body = FindNoCase(html, "<body");
    std::size_t bodyOpen = body == std::string::npos ? body : html.find('>', body);
    std::size_t bodyClose = FindNoCase(html, "</body");
    if (bodyOpen != std::string::npos && bodyClose != std::string::npos && bodyClose > bodyOpen) {
      doc = html.substr(0, bodyOpen + 1) + kStart + html.substr(bodyOpen + 1, bodyClose - bodyOpen - 1) + kEnd +
            html.substr(bodyClose);
      fragStart = bodyOpen + 1 + kStart.size();
      fragEnd = bodyClose + kStart.size();
    } else {
      std::string head = "<html><body>\r\n" + kStart;
      doc = head + html + kEnd + "\r\n</body>\r\n</html>";
      fragStart = head.size();
      fragEnd = head.size() + html.size();
    }
  }
  char header[200];
  const char* fmt =
      "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\nEndFragment:%010zu\r\n";
  int len = std::snprintf(header, sizeof header, fmt, std::size_t(0), std::size_t(0), std::size_t(0), std::size_t(0));
  std::size_t h = static_cast<std::size_t>(len);
  std::snprintf(header, sizeof header, fmt, h, h + doc.size(), h + fragStart, h + fragEnd);
  return std::string(header) + doc;
}

// text/html from "HTML Format": the document the header points at.
std::string HtmlFromHtmlFormat(const std::string& in) {
  std::string s = StripNuls(in);
  auto number = [&](const char* key) -> long long {
    std::size_t p = s.find(key);
    if (p == std::string::npos || p > 1024) return -1;
    return std::strtoll(s.c_str() + p + std::strlen(key), nullptr, 10);
  };
  long long start = number("StartHTML:"), end = number("EndHTML:");
  if (start < 0 || end < 0) {
    start = number("StartFragment:");
    end = number("EndFragment:");
  }
  if (start >= 0 && end >= start && static_cast<std::size_t>(end) <= s.size())
    return s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
  std::size_t lt = s.find('<');
  return lt == std::string::npos ? std::string() : s.substr(lt);
}

namespace {

std::vector<BYTE> WithNul(const std::vector<unsigned char>& b) {
  std::vector<BYTE> out(b.begin(), b.end());
  out.push_back(0);
  return out;
}

// ---- Another client took the selection ----------------------------------------

// The owner's targets as our formats, each read now (one text, one image).
Read ReadOwner(Window owner, Time time) {
  Read out;
  out.owner = HandleFor(owner);
  std::vector<unsigned char> bytes;
  Atom type = None;
  if (!Fetch(A().targets, time, &bytes, &type) || type != XA_ATOM) return out;
  std::vector<Atom> targets;
  for (std::size_t i = 0; i + 4 <= bytes.size() && targets.size() < kMaxTargets; i += 4) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + i, 4);
    targets.push_back(v);
  }
  auto has = [&](Atom a) { return std::find(targets.begin(), targets.end(), a) != targets.end(); };
  bool gaveUp = false;  // an owner that did not answer once is not asked again
  auto get = [&](Atom target, std::vector<unsigned char>* data) {
    if (gaveUp) return false;
    Atom t = None;
    auto before = Clock::now();
    bool ok = Fetch(target, time, data, &t);
    if (!ok && Clock::now() - before >= std::chrono::milliseconds(kReadTimeoutMs)) gaveUp = true;
    return ok;
  };
  std::vector<Incoming>& data = out.data;
  // In the order Windows producers list them: the tag first, so that a
  // capture recognises our own data whatever else it holds.
  if (has(A().tagTarget) && get(A().tagTarget, &bytes)) data.push_back({cs.f.tag, std::vector<BYTE>(bytes.begin(), bytes.end())});
  for (Atom t : {A().utf8String, A().textPlainUtf8, A().string, A().text}) {
    if (!has(t) || !get(t, &bytes)) continue;
    std::string text(bytes.begin(), bytes.end());
    std::wstring wide = t == A().string ? Latin1ToWide(bytes) : Utf8ToWide(StripNuls(text));
    data.push_back({CF_UNICODETEXT, Utf16Block(wide)});
    break;
  }
  if (has(A().textHtml) && get(A().textHtml, &bytes)) {
    std::string h = BuildHtmlFormat(Utf8Of(bytes));
    data.push_back({cs.f.html, WithNul(std::vector<unsigned char>(h.begin(), h.end()))});
  }
  for (Atom t : {A().textRtf, A().appRtf}) {
    if (has(t) && get(t, &bytes)) {
      std::string r = StripNuls(std::string(bytes.begin(), bytes.end()));
      data.push_back({cs.f.rtf, WithNul(std::vector<unsigned char>(r.begin(), r.end()))});
      break;
    }
  }
  if (has(A().textCsv) && get(A().textCsv, &bytes)) {
    std::string r = StripNuls(std::string(bytes.begin(), bytes.end()));
    data.push_back({cs.f.csv, WithNul(std::vector<unsigned char>(r.begin(), r.end()))});
  }
  // PNG first: lossless and with its alpha, where a bitmap file has none. It
  // stays as the client gave it; decoding waits until a bitmap is asked for.
  if (has(A().imagePng) && get(A().imagePng, &bytes) && IsPng(bytes)) {
    out.png = std::make_shared<const std::vector<unsigned char>>(std::move(bytes));
  } else if (has(A().imageBmp) && get(A().imageBmp, &bytes)) {
    std::vector<BYTE> dib = DibFromBmp(bytes);  // the same pixels behind a shorter header
    if (!dib.empty()) data.push_back({CF_DIB, std::move(dib)});
  }
  return out;
}

// Puts one read on the layer's clipboard, which walks the viewer chain.
void Show(Read r) {
  cs.mirroring = true;
  // An owner that left after it was read leaves its clip without an owner.
  if (OpenClipboard(IsWindow(r.owner) ? r.owner : nullptr)) {
    EmptyClipboard();
    for (Incoming& in : r.data) {
      HGLOBAL h = GlobalFromBytes(in.bytes.data(), in.bytes.size());
      if (h && !SetClipboardData(in.format, h)) GlobalFree(h);
    }
    if (r.png) {
      std::shared_ptr<const std::vector<unsigned char>> png = r.png;
      pd::SetClipboardDataLater(CF_DIB, [png]() -> HANDLE { return DibFromPng(*png); });
      HGLOBAL h = GlobalFromBytes(png->data(), png->size());
      if (h && !SetClipboardData(cs.f.png, h)) GlobalFree(h);
    }
    CloseClipboard();  // walks the viewer chain
  }
  cs.mirroring = false;
  // The next read waits for what the viewers posted for this one: a capture
  // reads the clipboard when its own message comes, and would otherwise find
  // a later clip there, or none once a short-lived owner is gone.
  cs.showing = PostMessageW(cs.viewer, kShowNext, 0, 0) != FALSE;
}

void ShowNext() {
  cs.showing = false;
  if (cs.waiting.empty()) return;
  Read r = std::move(cs.waiting.front());
  cs.waiting.pop_front();
  Show(std::move(r));
}

// Each owner change that was read reaches the viewers as its own clipboard.
void Mirror(Window owner, Time time) {
  Read r = ReadOwner(owner, time);
  if (!cs.showing) {
    Show(std::move(r));
    return;
  }
  cs.waiting.push_back(std::move(r));
  std::size_t bytes = 0;
  for (const Read& w : cs.waiting) bytes += w.Bytes();
  while (cs.waiting.size() > 1 && (cs.waiting.size() > kMaxWaiting || bytes > kMaxWaitingBytes)) {
    // Captures that cannot keep up lose the oldest reads, never the newest.
    Read old = std::move(cs.waiting.front());
    cs.waiting.pop_front();
    bytes -= old.Bytes();
  }
}

// ---- We hold the selection ------------------------------------------------------

std::vector<BYTE> OurFormat(UINT format) {
  std::vector<BYTE> out;
  if (!OpenClipboard(cs.viewer)) return out;
  HANDLE h = GetClipboardData(format);
  if (h) {
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(h));
    if (p) out.assign(p, p + GlobalSize(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return out;
}

std::string OurText() {
  std::vector<BYTE> b = OurFormat(CF_UNICODETEXT);
  std::size_t units = b.size() / 2;
  std::u16string u(units, u'\0');
  if (units) std::memcpy(u.data(), b.data(), units * 2);
  std::size_t nul = u.find(u'\0');
  if (nul != std::u16string::npos) u.resize(nul);
  return WideToUtf8(Utf16ToWide(u.data(), u.size()));
}

std::vector<Atom> OurTargets() {
  std::vector<Atom> out{A().targets, A().timestamp};
  bool text = IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT);
  if (text) {
    for (Atom a : {A().utf8String, A().textPlainUtf8, A().textPlain, A().string, A().text}) out.push_back(a);
  }
  if (cs.f.html && IsClipboardFormatAvailable(cs.f.html)) out.push_back(A().textHtml);
  if (cs.f.rtf && IsClipboardFormatAvailable(cs.f.rtf)) {
    out.push_back(A().textRtf);
    out.push_back(A().appRtf);
  }
  if (IsClipboardFormatAvailable(CF_DIB)) {
    out.push_back(A().imagePng);
    out.push_back(A().imageBmp);
  }
  if (cs.f.csv && IsClipboardFormatAvailable(cs.f.csv)) out.push_back(A().textCsv);
  if (cs.f.tag && IsClipboardFormatAvailable(cs.f.tag)) out.push_back(A().tagTarget);
  return out;
}

std::string StripTrailingNul(const std::vector<BYTE>& b) { return StripNuls(std::string(b.begin(), b.end())); }

// The bytes of one target and their type; false when we cannot give it.
bool Render(Atom target, std::vector<unsigned char>* data, Atom* type, int* format) {
  *format = 8;
  auto set = [&](const std::string& s, Atom t) {
    data->assign(s.begin(), s.end());
    *type = t;
    return true;
  };
  if (target == A().utf8String || target == A().textPlainUtf8 || target == A().textPlain || target == A().text) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsClipboardFormatAvailable(CF_TEXT)) return false;
    return set(OurText(), target == A().text ? A().utf8String : target);
  }
  if (target == A().string) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsClipboardFormatAvailable(CF_TEXT)) return false;
    std::wstring w = Utf8ToWide(OurText());
    std::string latin;
    for (wchar_t c : w) latin.push_back(c < 256 ? static_cast<char>(c) : '?');
    return set(latin, XA_STRING);
  }
  if (target == A().textHtml && cs.f.html && IsClipboardFormatAvailable(cs.f.html))
    return set(HtmlFromHtmlFormat(StripTrailingNul(OurFormat(cs.f.html))), A().textHtml);
  if ((target == A().textRtf || target == A().appRtf) && cs.f.rtf && IsClipboardFormatAvailable(cs.f.rtf))
    return set(StripTrailingNul(OurFormat(cs.f.rtf)), target);
  if (target == A().textCsv && cs.f.csv && IsClipboardFormatAvailable(cs.f.csv))
    return set(StripTrailingNul(OurFormat(cs.f.csv)), target);
  if (target == A().tagTarget && cs.f.tag && IsClipboardFormatAvailable(cs.f.tag)) {
    std::vector<BYTE> b = OurFormat(cs.f.tag);
    data->assign(b.begin(), b.end());
    *type = target;
    return true;
  }
  if ((target == A().imagePng || target == A().imageBmp) && IsClipboardFormatAvailable(CF_DIB)) {
    std::vector<BYTE> dib = OurFormat(CF_DIB);
    *data = target == A().imagePng ? PngFromDib(dib) : BmpFromDib(dib);
    *type = target;
    return !data->empty();
  }
  return false;
}

std::size_t ChunkSize() {
  long max = XExtendedMaxRequestSize(Dpy());
  if (max <= 0) max = XMaxRequestSize(Dpy());
  std::size_t bytes = static_cast<std::size_t>(max) * 4;
  return std::min<std::size_t>(256 * 1024, bytes > 8192 ? bytes - 4096 : 4096);
}

// Any target we answer, as property data: 32-bit items as longs, the way
// Xlib takes them.
bool Answer(Atom target, std::vector<unsigned char>* data, Atom* type, int* format) {
  auto longs = [&](const std::vector<long>& v, Atom t) {
    data->resize(v.size() * sizeof(long));
    if (!v.empty()) std::memcpy(data->data(), v.data(), data->size());
    *type = t;
    *format = 32;
    return true;
  };
  if (target == A().targets) {
    std::vector<Atom> t = OurTargets();
    t.push_back(A().multiple);
    return longs(std::vector<long>(t.begin(), t.end()), XA_ATOM);
  }
  if (target == A().timestamp) return longs({static_cast<long>(cs.ownedSince)}, XA_INTEGER);
  return Render(target, data, type, format);
}

void Put(Window w, Atom property, Atom type, int format, const std::vector<unsigned char>& data) {
  int n = static_cast<int>(format == 32 ? data.size() / sizeof(long) : data.size());
  XChangeProperty(Dpy(), w, property, type, format, PropModeReplace, data.data(), n);
}

void ServeRequest(const XSelectionRequestEvent& req) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = req.display;
  reply.requestor = req.requestor;
  reply.selection = req.selection;
  reply.target = req.target;
  reply.time = req.time;
  reply.property = None;
  Atom property = req.property == None ? req.target : req.property;
  bool ours = cs.owning && req.selection == A().clipboard &&
              (req.time == CurrentTime || cs.ownedSince == CurrentTime || req.time >= cs.ownedSince);
  Trap trap;
  if (ours && req.target == A().multiple) {
    // Several targets at once (clipboard managers ask so): pairs of target
    // and property; a pair we cannot fill gets None as its property.
    std::vector<unsigned char> bytes;
    Atom type = None;
    int format = 0;
    if (req.property != None && ReadProperty(req.requestor, req.property, false, &bytes, &type, &format) && format == 32) {
      std::vector<long> pairs;
      for (std::size_t i = 0; i + 4 <= bytes.size() && pairs.size() < 2 * kMaxTargets; i += 4) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + i, 4);
        pairs.push_back(static_cast<long>(v));
      }
      for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        std::vector<unsigned char> data;
        Atom t = None;
        int f = 8;
        Atom target = static_cast<Atom>(pairs[i]);
        if (target != A().multiple && pairs[i + 1] != None && Answer(target, &data, &t, &f) && data.size() <= ChunkSize())
          Put(req.requestor, static_cast<Atom>(pairs[i + 1]), t, f, data);
        else
          pairs[i + 1] = None;
      }
      XChangeProperty(Dpy(), req.requestor, req.property, A().atomPair, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(pairs.data()), static_cast<int>(pairs.size()));
      reply.property = req.property;
    }
  } else if (ours) {
    std::vector<unsigned char> data;
    Atom type = None;
    int format = 8;
    if (Answer(req.target, &data, &type, &format)) {
      if (format == 8 && data.size() > ChunkSize()) {
        // Too large for one request: the requestor takes it in pieces.
        long total = static_cast<long>(data.size());
        XSelectInput(Dpy(), req.requestor, StructureNotifyMask | PropertyChangeMask);
        XChangeProperty(Dpy(), req.requestor, property, A().incr, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&total), 1);
        auto now = Clock::now();
        cs.outgoing.erase(std::remove_if(cs.outgoing.begin(), cs.outgoing.end(),
                                         [&](const Outgoing& o) { return now - o.started > kIncrTotalLimit; }),
                          cs.outgoing.end());
        cs.outgoing.push_back(Outgoing{req.requestor, property, type, std::move(data), 0, now});
      } else {
        Put(req.requestor, property, type, format, data);
      }
      reply.property = property;
    }
  }
  XSendEvent(Dpy(), req.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  trap.Failed();
}

bool ContinueIncr(const XPropertyEvent& ev) {
  if (ev.state != PropertyDelete) return false;
  for (auto it = cs.outgoing.begin(); it != cs.outgoing.end(); ++it) {
    if (it->requestor != ev.window || it->property != ev.atom) continue;
    std::size_t n = std::min(ChunkSize(), it->data.size() - it->offset);
    Trap trap;
    XChangeProperty(Dpy(), it->requestor, it->property, it->type, 8, PropModeReplace,
                    it->data.data() + it->offset, static_cast<int>(n));
    bool failed = trap.Failed();
    it->offset += n;
    if (n == 0 || failed) cs.outgoing.erase(it);  // the empty piece ends it
    return true;
  }
  return false;
}

// A server timestamp for taking the selection: a zero-length append to our
// own window reports the time.
Time ServerTime() {
  XChangeProperty(Dpy(), C().own, A().property, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XFlush(Dpy());
  XEvent ev;
  auto deadline = Clock::now() + std::chrono::milliseconds(200);
  for (;;) {
    if (XCheckTypedWindowEvent(Dpy(), C().own, PropertyNotify, &ev) && ev.xproperty.atom == A().property)
      return ev.xproperty.time;
    if (Clock::now() >= deadline) return CurrentTime;
    pollfd p{ConnectionNumber(Dpy()), POLLIN, 0};
    poll(&p, 1, 5);
  }
}

void TakeSelection() {
  Time t = ServerTime();
  XSetSelectionOwner(Dpy(), A().clipboard, C().own, t);
  cs.owning = XGetSelectionOwner(Dpy(), A().clipboard) == C().own;
  cs.ownedSince = t;
  XFlush(Dpy());
  KickIfQueued();
}

bool OwnerIsOurs() {
  HWND owner = GetClipboardOwner();
  if (!owner) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  return pid == C().ownPid;
}

LRESULT ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DRAWCLIPBOARD:
      if (!cs.mirroring && Connected() && OwnerIsOurs()) {
        // Our own write is the newest clip: reads from before it that wait
        // to be shown would replace it on the clipboard.
        cs.waiting.clear();
        TakeSelection();
      }
      if (cs.nextViewer && IsWindow(cs.nextViewer)) SendMessageW(cs.nextViewer, msg, wParam, lParam);
      return 0;
    case WM_CHANGECBCHAIN:
      if (reinterpret_cast<HWND>(wParam) == cs.nextViewer) cs.nextViewer = reinterpret_cast<HWND>(lParam);
      else if (cs.nextViewer && IsWindow(cs.nextViewer)) SendMessageW(cs.nextViewer, msg, wParam, lParam);
      return 0;
    case kShowNext:
      ShowNext();
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// Hands our data to a running clipboard manager, which then keeps it after
// we end; waits a bounded time, serving the manager's requests meanwhile.
void HandOff() {
  if (!cs.owning || XGetSelectionOwner(Dpy(), A().clipboard) != C().own) return;
  if (XGetSelectionOwner(Dpy(), A().clipboardManager) == None) return;
  XConvertSelection(Dpy(), A().clipboardManager, A().saveTargets, None, C().own, cs.ownedSince);
  XFlush(Dpy());
  XEvent ev;
  WaitOwnEvent(SelectionNotify, Clock::now() + std::chrono::seconds(2), &ev);
}

}  // namespace

void InitClipboard() {
  cs = ClipState{};
  cs.f.html = RegisterClipboardFormatW(L"HTML Format");
  cs.f.rtf = RegisterClipboardFormatW(L"Rich Text Format");
  cs.f.csv = RegisterClipboardFormatW(L"Csv");
  cs.f.tag = RegisterClipboardFormatW(L"Pastiq Tag");
  cs.f.png = RegisterClipboardFormatW(L"PNG");
  if (C().xfixes) {
    XFixesSelectSelectionInput(Dpy(), C().root, A().clipboard, XFixesSetSelectionOwnerNotifyMask);
  }
  cs.viewer = platform::CreateToolkitWindow(L"PastiqSelectionViewer", L"", nullptr, &ViewerProc);
  cs.nextViewer = SetClipboardViewer(cs.viewer);
  Window owner = XGetSelectionOwner(Dpy(), A().clipboard);
  if (owner != None && owner != C().own) Mirror(owner, CurrentTime);
}

void ShutdownClipboard() {
  HandOff();
  cs.waiting.clear();
  if (cs.viewer) {
    ChangeClipboardChain(cs.viewer, cs.nextViewer);
    DestroyWindow(cs.viewer);
  }
  if (cs.owning && XGetSelectionOwner(Dpy(), A().clipboard) == C().own)
    XSetSelectionOwner(Dpy(), A().clipboard, None, cs.ownedSince);
  cs = ClipState{};
}

bool OnClipboardEvent(XEvent& ev) {
  if (C().xfixes && ev.type == C().xfixesEvent + XFixesSelectionNotify) {
    auto& n = reinterpret_cast<XFixesSelectionNotifyEvent&>(ev);
    if (n.selection != A().clipboard) return true;
    if (n.owner == C().own || n.owner == None) return true;  // ours, or gone: the data stays
    cs.owning = false;
    // A newer change already waiting makes this owner's data stale.
    XEvent next;
    if (XCheckTypedEvent(Dpy(), C().xfixesEvent + XFixesSelectionNotify, &next)) {
      XPutBackEvent(Dpy(), &next);
      auto& m = reinterpret_cast<XFixesSelectionNotifyEvent&>(next);
      if (m.selection == A().clipboard && m.owner != None && m.owner != C().own) return true;
    }
    Mirror(n.owner, n.selection_timestamp);
    return true;
  }
  switch (ev.type) {
    case SelectionRequest:
      ServeRequest(ev.xselectionrequest);
      return true;
    case SelectionClear:
      if (ev.xselectionclear.selection == A().clipboard) cs.owning = false;
      return true;
    case SelectionNotify:
      return ev.xselection.requestor == C().own;  // a late answer to a read that gave up
    case PropertyNotify:
      return ContinueIncr(ev.xproperty);
    default:
      return false;
  }
}

}  // namespace platform::x11::detail

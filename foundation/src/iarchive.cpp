#include "cmn/iarchive.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>
#include <boost/archive/detail/basic_iserializer.hpp>
#include <boost/archive/detail/basic_pointer_iserializer.hpp>
#include <boost/serialization/extended_type_info.hpp>
#include <boost/serialization/void_cast.hpp>

namespace boost {
namespace archive {
template class detail::archive_serializer_map<cmn::iarchive>;
template class basic_text_iarchive<cmn::iarchive>;
template class text_iarchive_impl<cmn::iarchive>;
}  // namespace archive
}  // namespace boost

namespace cmn {

namespace {
[[noreturn]] void Refuse(const char* what) {
  throw boost::archive::archive_exception(boost::archive::archive_exception::other_exception, what);
}
}  // namespace

std::uint64_t ReadBudget::Take(std::uint64_t n) {
  const std::uint64_t room = limit_ - used_;
  if (n > room) {
    exceeded_ = true;
    n = room;
  }
  used_ += n;
  return n;
}

void ReadBudget::Charge(std::uint64_t n) {
  if (Take(n) != n) throw archive_too_large(limit_);
}

archive_too_large::archive_too_large(std::uint64_t budget)
    : boost::archive::archive_exception(other_exception), budget_(budget) {
  std::snprintf(message_, sizeof message_, "archive larger than its read budget of %" PRIu64 " bytes", budget);
}

namespace {
constexpr std::size_t kChunk = 64 * 1024;

[[noreturn]] void StreamError() {
  throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
}

bool IsBlank(int c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The library's base64 alphabet, with '=' read as 0 as the library reads it;
// kBlank for what separates the text, kInvalid for everything else.
constexpr signed char kBlank = -1;
constexpr signed char kInvalid = -2;
struct Base64Table {
  signed char value[256];
  constexpr Base64Table() : value() {
    for (int c = 0; c < 256; ++c) value[c] = kInvalid;
    for (int c = 'A'; c <= 'Z'; ++c) value[c] = static_cast<signed char>(c - 'A');
    for (int c = 'a'; c <= 'z'; ++c) value[c] = static_cast<signed char>(c - 'a' + 26);
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<signed char>(c - '0' + 52);
    value[int('+')] = 62;
    value[int('/')] = 63;
    value[int('=')] = 0;
    for (char c : {' ', '\n', '\t', '\r', '\v', '\f'}) value[static_cast<unsigned char>(c)] = kBlank;
  }
};
constexpr Base64Table kBase64;

int Base64Value(unsigned char c) { return kBase64.value[c]; }
}  // namespace

void iarchive::load(std::string& s) {
  std::size_t size = 0;
  text_iarchive_impl<iarchive>::load(size);
  if (size > kMaxArchiveString) Refuse("string too long");
  is.get();  // the blank before the bytes
  // Grow with what really arrives, never past what the length claims.
  std::string out;
  while (out.size() < size) {
    const std::size_t old = out.size();
    const std::size_t n = std::min(kChunk, size - old);
    if (out.capacity() < old + n) out.reserve(std::min(size, std::max(old + n, 2 * out.capacity())));
    out.resize(old + n);
    is.read(&out[old], static_cast<std::streamsize>(n));
    if (static_cast<std::size_t>(is.gcount()) != n) StreamError();
  }
  s.swap(out);
}

void iarchive::load_binary(void* address, std::size_t count) {
  char* out = static_cast<char*>(address);
  load_binary_chunks(count, [&](const char* bytes, std::size_t n) {
    std::memcpy(out, bytes, n);
    out += n;
  });
}

void iarchive::load_binary_chunks(std::size_t count, const BinarySink& sink) {
  // The library writes a newline, the base64 text in lines, then padding;
  // it reads the characters it needs, skipping blanks, then everything up to
  // and including the next blank. So does this, without its slow iterators:
  // the text comes in runs no longer than what is still needed (a blank
  // taken along only makes the next run shorter), so nothing past the data
  // is taken, and four characters at a time where no blank breaks them.
  if (count == 0) return;
  if (is.fail()) StreamError();
  std::streambuf* in = is.rdbuf();
  char text[kChunk];
  char bytes[kChunk];
  // Each character brings 6 bits: 4 for every 3 bytes, rounded up.
  std::uint64_t needed = (std::uint64_t(count) * 4 + 2) / 3;
  std::uint32_t bits = 0;
  int bitCount = 0;  // 0 exactly when a group of four starts
  while (needed > 0) {
    const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(needed, sizeof text));
    const std::streamsize got = in->sgetn(text, want);
    if (got <= 0) {
      is.setstate(std::ios::eofbit | std::ios::failbit);
      StreamError();
    }
    const auto* t = reinterpret_cast<const unsigned char*>(text);
    std::size_t filled = 0;
    for (std::streamsize i = 0; i < got;) {
      if (bitCount == 0 && got - i >= 4) {
        const int a = Base64Value(t[i]), b = Base64Value(t[i + 1]), c = Base64Value(t[i + 2]),
                  d = Base64Value(t[i + 3]);
        if ((a | b | c | d) >= 0) {
          const std::uint32_t v = (std::uint32_t(a) << 18) | (std::uint32_t(b) << 12) |
                                  (std::uint32_t(c) << 6) | std::uint32_t(d);
          bytes[filled] = static_cast<char>(v >> 16);
          bytes[filled + 1] = static_cast<char>(v >> 8);
          bytes[filled + 2] = static_cast<char>(v);
          filled += 3;
          i += 4;
          needed -= 4;
          continue;
        }
      }
      const int v = Base64Value(t[i++]);
      if (v == kBlank) continue;
      if (v < 0) Refuse("invalid character in raw data");
      bits = (bits << 6) | static_cast<std::uint32_t>(v);
      bitCount += 6;
      --needed;
      if (bitCount < 8) continue;
      bitCount -= 8;
      bytes[filled++] = static_cast<char>(bits >> bitCount);
      bits &= (1u << bitCount) - 1;
    }
    if (filled) sink(bytes, filled);
  }
  for (;;) {
    const int c = in->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      is.setstate(std::ios::eofbit | std::ios::failbit);
      break;
    }
    if (IsBlank(c)) break;
  }
}

void iarchive::DestroyHalfRead() {
  if (halfRead_.object == nullptr) return;
  halfRead_.serializer->destroy(halfRead_.object);
  halfRead_ = HalfRead{};
  broken_ = true;  // the library still lists it
}

void iarchive::load(boost::serialization::collection_size_type& t) {
  std::size_t n = 0;
  text_iarchive_impl<iarchive>::load(n);
  if (n > kMaxArchiveCount) Refuse("collection too large");
  t = boost::serialization::collection_size_type(n);
}

void iarchive::load(char*) { Refuse("unbounded C string"); }

int iarchive::ClassIndex(const TypeInfo& type) const {
  // Every object read asks: the type's one descriptor is found by address
  // first, the library's comparison (by name) only for a type not found so.
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i] == &type) return static_cast<int>(i);
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (*classes_[i] == type) return static_cast<int>(i);
  return -1;
}

int iarchive::Remember(const TypeInfo& type) {
  const int known = ClassIndex(type);
  if (known >= 0) return known;
  classes_.push_back(&type);
  return static_cast<int>(classes_.size() - 1);
}

void iarchive::register_basic_serializer(const Serializer& bis) {
  Remember(bis.get_eti());
  boost::archive::detail::basic_iarchive::register_basic_serializer(bis);
}

namespace {
// Whether an object of class `from` at `object` is a `to`.
bool Converts(const boost::serialization::extended_type_info& from,
              const boost::serialization::extended_type_info& to, const void* object) {
  return from == to || boost::serialization::void_upcast(from, to, object) != nullptr;
}
}  // namespace

void iarchive::load_object(void* t, const Serializer& bis) {
  if (broken_) Refuse("archive read after a refused object");
  const TypeInfo& type = bis.get_eti();
  const int id = Remember(type);
  if (pointer_.expectObject && pointer_.classId == id) {
    // The new object of the pointer being read, constructed but not read
    // yet: the library would hand it back as the pointer's class.
    pointer_.expectObject = false;
    pointer_.object = t;
    pointer_.objectSerializer = &bis;
    if (pointer_.pointee != nullptr && !Converts(type, *pointer_.pointee, t)) {
      pointer_.objectRefused = true;
      Refuse("object of a class the pointer cannot hold");
    }
  }
  // Charged once a pointer's new object is known, so a refusal here frees it.
  if (budget_ != nullptr) budget_->Charge(kObjectCharge);
  idFor_ = Loaded{id, false};
  boost::archive::detail::basic_iarchive::load_object(t, bis);
}

const iarchive::PointerSerializer* iarchive::load_pointer(void*& t, const PointerSerializer* bpis, Finder finder) {
  if (broken_) Refuse("archive read after a refused object");
  // The pointer's class id is the first thing the library reads; pointers
  // inside the object read theirs with state of their own.
  struct Restore {
    iarchive& ar;
    Pointer saved;
    ~Restore() { ar.pointer_ = saved; }
  } restore{*this, pointer_};
  pointer_ = Pointer{};
  pointer_.serializer = bpis;
  pointer_.finder = finder;
  pointer_.pointee = pointee_ ? pointee_ : (bpis ? &bpis->get_basic_serializer().get_eti() : nullptr);
  pointee_ = nullptr;
  pointer_.expectClassId = true;
  const PointerSerializer* got = nullptr;
  try {
    got = boost::archive::detail::basic_iarchive::load_pointer(t, bpis, finder);
  } catch (...) {
    if (pointer_.object != nullptr && pointer_.object == t) {
      if (pointer_.objectRefused) {
        // Never read: destroy it rather than hand it back as another class.
        pointer_.objectSerializer->destroy(t);
        t = nullptr;
        broken_ = true;
      } else if (pointer_.pointee != nullptr) {
        // Half read: the caller frees it through the pointer's own class
        // (a shared pointer's load does, see load_override).
        halfRead_ = HalfRead{t, pointer_.objectSerializer};
        t = const_cast<void*>(
            boost::serialization::void_upcast(pointer_.objectSerializer->get_eti(), *pointer_.pointee, t));
      }
    }
    throw;
  }
  if (t != nullptr && pointer_.object != t && pointer_.pointee != nullptr && got != nullptr &&
      !Converts(got->get_eti(), *pointer_.pointee, t)) {
    // An object read before, of a class the pointer cannot hold.
    t = nullptr;
    Refuse("object of a class the pointer cannot hold");
  }
  return got;
}

void iarchive::load_override(boost::archive::class_id_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!pointer_.expectClassId) return;
  pointer_.expectClassId = false;
  const int id = t;
  if (id == -1) return;  // a null pointer
  if (id < 0) Refuse("bad class id");
  pointer_.classId = id;
  pointer_.expectObject = true;
  idFor_ = Loaded{id, true};
  const std::size_t known = classes_.size();
  if (static_cast<std::size_t>(id) < known) return;  // the library checks the class has a reader
  if (static_cast<std::size_t>(id) != known) Refuse("class id out of order");
  if (pointer_.serializer == nullptr || pointer_.serializer->get_basic_serializer().is_polymorphic()) {
    pointer_.expectClassName = true;  // the class is named next
    return;
  }
  const TypeInfo& type = pointer_.serializer->get_basic_serializer().get_eti();
  if (Known(type)) Refuse("class read twice as new");
  Remember(type);
}

void iarchive::load_override(boost::archive::class_name_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!pointer_.expectClassName) return;
  pointer_.expectClassName = false;
  const TypeInfo* type = TypeInfo::find(t);
  if (type == nullptr) return;  // the library refuses an unknown name itself
  const PointerSerializer* reader = pointer_.finder ? pointer_.finder(*type) : nullptr;
  if (reader == nullptr) Refuse("class not readable from this archive");
  const TypeInfo& own = reader->get_basic_serializer().get_eti();
  if (Known(own)) Refuse("class read twice as new");
  Remember(own);
}

void iarchive::load_override(boost::archive::object_id_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  const Loaded now = idFor_;
  idFor_ = Loaded{-1, false};
  if (now.classId < 0) Refuse("object id out of place");
  const std::size_t id = t;
  if (id == objects_.size()) {  // a new object: the library lists it next
    objects_.push_back(now);
    return;
  }
  if (id > objects_.size()) Refuse("object id out of order");
  // A reference to an object read before.
  const Loaded& was = objects_[id];
  if (was.classId != now.classId) Refuse("object referred to as another class");
  if (now.viaPointer && !was.viaPointer) Refuse("pointer to an object read in place");
  if (!now.viaPointer && was.viaPointer) Refuse("object read through a pointer, then in place");
  if (now.viaPointer) pointer_.expectObject = false;  // the library reads none
}

}  // namespace cmn

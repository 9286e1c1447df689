#pragma once
// The option store: a map from an option id to a value held as text, with
// typed access and observers told when a value changes.
//
// Text forms (classic locale): bool "1"/"0"; char the character itself; int
// and unsigned long decimal; wxSize "w h"; wxRect "x y w h"; a text its UTF-8
// bytes and one NUL (nothing for an empty text). A text that does not parse
// as the asked type reads as not found.
#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <utility>

#include <boost/serialization/map.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/utility.hpp>
#include <wx/gdicmn.h>
#include <wx/string.h>

namespace cmn {

namespace option_text {
// Parse: true when the whole text is the text form of the type (out is left
// as it was otherwise). An empty text never parses.
bool Parse(const std::string& text, bool& out);
bool Parse(const std::string& text, char& out);
bool Parse(const std::string& text, int& out);
bool Parse(const std::string& text, unsigned long& out);
bool Parse(const std::string& text, wxSize& out);
bool Parse(const std::string& text, wxRect& out);
bool Parse(const std::string& text, wxString& out);
std::string Format(bool v);
std::string Format(char v);
std::string Format(int v);
std::string Format(unsigned long v);
std::string Format(const wxSize& v);
std::string Format(const wxRect& v);
std::string Format(const wxString& v);
}  // namespace option_text

template <class K>
class option {
 public:
  class observer {
   public:
    virtual ~observer() = default;
    // Called after the value of a subscribed option has changed.
    virtual void OnOptionChanged(const K& id) = 0;
  };

  class value {
   public:
    std::string text;
    std::deque<observer*> observers;  // not owned

    // True when the text parses as T; out is unchanged otherwise.
    template <class T>
    bool Get(T& out) const {
      return option_text::Parse(text, out);
    }
    template <class T>
    void Assign(const T& v) {
      text = option_text::Format(v);
    }

    template <class Archive>
    void serialize(Archive& ar, const unsigned int /*version*/) {
      ar & text;  // observers are never written
    }
  };

  // Stores v and, when the value changed (or the option had no value that
  // parses as T), tells the option's observers front to back.
  template <class T>
  void Set(const K& id, const T& v) {
    auto it = map.find(id);
    bool changed = it == map.end();
    if (changed) it = map.emplace(id, value()).first;
    if (!changed) {
      T current{};
      changed = !it->second.Get(current) || !Same(current, v);
    }
    it->second.Assign(v);
    if (changed) {
      // Copy: an observer may subscribe others while it is told; one that is
      // removed meanwhile is not told any more.
      const std::deque<observer*> told = it->second.observers;
      for (observer* o : told)
        if (Observes(id, o)) o->OnOptionChanged(id);
    }
  }

  // True when the option is found (present with a text) and parses as T.
  template <class T>
  bool Get(const K& id, T& out) const {
    auto it = map.find(id);
    if (it == map.end() || it->second.text.empty()) return false;
    return it->second.Get(out);
  }

  bool Found(const K& id) const {
    auto it = map.find(id);
    return it != map.end() && !it->second.text.empty();
  }

  // Appends o to the observers of id, creating the entry (not found) when
  // absent.
  void AddObserver(const K& id, observer* o) { map[id].observers.push_back(o); }
  // Takes o out of the observers of id (as often as it was added); the entry
  // itself stays. An observer removes itself before it goes away.
  void RemoveObserver(const K& id, observer* o) {
    auto it = map.find(id);
    if (it == map.end()) return;
    auto& observers = it->second.observers;
    observers.erase(std::remove(observers.begin(), observers.end(), o), observers.end());
  }
  bool Observes(const K& id, const observer* o) const {
    auto it = map.find(id);
    return it != map.end() &&
           std::find(it->second.observers.begin(), it->second.observers.end(), o) != it->second.observers.end();
  }

  // Empties the store, observers included.
  void Clear() { map.clear(); }

  template <class Archive>
  void save(Archive& ar, const unsigned int /*version*/) const {
    ar << map;
  }
  // Merges: ids the archive holds get its text and no observers; every other
  // entry stays as it was.
  template <class Archive>
  void load(Archive& ar, const unsigned int /*version*/) {
    std::map<K, value> loaded;
    ar >> loaded;
    for (auto& entry : loaded) {
      value& v = map[entry.first];
      v.text.swap(entry.second.text);
      v.observers.clear();
    }
  }
  BOOST_SERIALIZATION_SPLIT_MEMBER()

  std::map<K, value> map;

 private:
  template <class T>
  static bool Same(const T& a, const T& b) {
    return a == b;
  }
  static bool Same(const wxRect& a, const wxRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
  }
};

}  // namespace cmn

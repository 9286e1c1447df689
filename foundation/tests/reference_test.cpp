// Object references: an archive may name an object it read before instead of
// a new one; the bounded reader hands a pointer only an object of its class.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>

#include "cmn/iarchive.h"  // before the export, so it covers cmn::iarchive

#include <boost/serialization/base_object.hpp>
#include <boost/serialization/export.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>

namespace reference_test {
struct Note {
  std::string text;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & text;
  }
};
struct Tally {
  std::vector<int> counts;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & counts;
  }
};
struct Shape {
  virtual ~Shape() = default;
  int id = 0;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & id;
  }
};
struct Square : Shape {
  std::string label;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & boost::serialization::base_object<Shape>(*this);
    ar & label;
  }
};
// One note in place, shared notes and tallies, shapes it owns and one more
// pointer to one of them (as the history's main list is one of its lists).
struct Board {
  Note pinned;
  std::vector<std::shared_ptr<Note>> notes;
  std::vector<std::shared_ptr<Tally>> tallies;
  std::vector<Shape*> shapes;
  Shape* favourite = nullptr;
  Board() = default;
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;
  ~Board() {
    for (Shape* s : std::set<Shape*>(shapes.begin(), shapes.end())) delete s;
  }
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & pinned & notes & tallies & shapes & favourite;
  }
};
}  // namespace reference_test

BOOST_CLASS_EXPORT(reference_test::Square)

namespace {

using reference_test::Board;
using reference_test::Shape;
using reference_test::Square;

// The archive of a board, piece by piece as the writer lays it out: class
// ids 1 (note), 6 (tally) and 10 (square); object ids 0 (the pinned note),
// 1 (the shared note), 2 and 3 (the tallies), 4 (the square) and 5 (its
// shape part).
struct Pieces {
  std::string secondNote = "1 1";
  std::string secondTally = "6\n3 1 0 3";
  std::string shapes = "1 0 10 22 reference_test::Square 1 0\n4 1 0\n5 0 2 sq";
  std::string favourite = "10 4";
};

std::string BoardText(const Pieces& p) {
  return "22 serialization::archive 18 0 0 1 0\n0 3 pin "
         "0 0 2 1 0 1 1\n1 5 hello " + p.secondNote +
         " 0 0 2 1 0 1 6 1 0\n2 2 0 1 2 " + p.secondTally +
         " 0 0 " + p.shapes +
         " " + p.favourite + "\n";
}

void LoadBoard(const std::string& text, Board& board) {
  std::istringstream is(text);
  cmn::iarchive ar(is, 0);
  ar >> board;
}

TEST(ObjectReference, TheWritersReferencesReadBackAsTheSameObjects) {
  Board out;
  out.pinned.text = "pin";
  auto note = std::make_shared<reference_test::Note>();
  note->text = "hello";
  out.notes = {note, note};
  auto a = std::make_shared<reference_test::Tally>();
  a->counts = {1, 2};
  auto b = std::make_shared<reference_test::Tally>();
  b->counts = {3};
  out.tallies = {a, b};
  auto* square = new Square;
  square->label = "sq";
  out.shapes = {square};
  out.favourite = square;
  std::ostringstream os;
  {
    cmn::oarchive ar(os, 0);
    ar << out;
  }
  ASSERT_EQ(os.str(), BoardText(Pieces{})) << "the layout the crafted archives below are made from";

  Board in;
  LoadBoard(os.str(), in);
  EXPECT_EQ(in.pinned.text, "pin");
  ASSERT_EQ(in.notes.size(), 2u);
  EXPECT_EQ(in.notes[0], in.notes[1]);
  EXPECT_EQ(in.notes[0]->text, "hello");
  ASSERT_EQ(in.tallies.size(), 2u);
  EXPECT_EQ(in.tallies[1]->counts, std::vector<int>{3});
  ASSERT_EQ(in.shapes.size(), 1u);
  EXPECT_EQ(in.favourite, in.shapes[0]);
  ASSERT_NE(dynamic_cast<Square*>(in.favourite), nullptr);
  EXPECT_EQ(static_cast<Square*>(in.favourite)->label, "sq");
}

struct Forged {
  const char* name;
  Pieces pieces;
};

Pieces With(std::string Pieces::*piece, const std::string& text) {
  Pieces p;
  p.*piece = text;
  return p;
}

TEST(ObjectReference, AReferenceToAnObjectOfAnotherKindIsAnArchiveError) {
  const Forged forged[] = {
      {"a tally naming the note object", With(&Pieces::secondTally, "6 1")},
      {"a tally naming the note as a note", With(&Pieces::secondTally, "1 1")},
      {"a tally naming an object not read yet", With(&Pieces::secondTally, "6 9 1 0 3")},
      {"a shared note naming the note read in place", With(&Pieces::secondNote, "1 0")},
      {"a shape slot holding a new note", With(&Pieces::shapes, "1 0 1\n4 3 abc")},
      {"a second shape naming a tally", With(&Pieces::shapes, "2 0 10 22 reference_test::Square 1 0\n4 1 0\n5 0 2 sq 10 2")},
      {"the favourite naming the tally object", With(&Pieces::favourite, "10 3")},
      {"the favourite naming the square's shape part", With(&Pieces::favourite, "10 5")},
      {"the favourite naming the tally as a tally", With(&Pieces::favourite, "6 3")},
  };
  for (const Forged& f : forged) {
    Board in;
    EXPECT_THROW(LoadBoard(BoardText(f.pieces), in), boost::archive::archive_exception) << f.name;
    // What the board holds after the refusal is of its own class or null.
    for (Shape* s : in.shapes) EXPECT_TRUE(s == nullptr || dynamic_cast<Square*>(s) != nullptr) << f.name;
    EXPECT_TRUE(in.favourite == nullptr || dynamic_cast<Square*>(in.favourite) != nullptr) << f.name;
  }
}

}  // namespace

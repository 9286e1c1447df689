// What a read from outside may cost: the read budget, buffers that grow with
// the bytes that arrive, the raw-data decoder, and what a failed read frees.
#include <gtest/gtest.h>

#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <wx/mstream.h>

#include "alloc_probe.h"
#include "cmn/archive.h"
#include "cmn/mblock.h"
#include "sandbox.h"
#include "test_util.h"

using namespace foundation_test;

namespace {

constexpr std::size_t kMiB = std::size_t(1) << 20;
const char kHeader[] = "22 serialization::archive 18 ";

std::string Packed(const cmn::ArchiveWriter& body) {
  wxMemoryOutputStream out;
  cmn::WriteArchive(out, body);
  std::string bytes(out.GetSize(), '\0');
  out.CopyTo(&bytes[0], bytes.size());
  return bytes;
}

template <class T>
void Unpack(const std::string& packed, T& into, std::uint64_t budget) {
  wxMemoryInputStream in(packed.data(), packed.size());
  cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> into; }, budget);
}

// Counts live instances, to see what a failed read leaves behind.
struct Tracked {
  static int live;
  std::string text;
  int number = 0;
  Tracked() { ++live; }
  Tracked(const Tracked&) = delete;
  ~Tracked() { --live; }
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & text;
    ar & number;
  }
};
int Tracked::live = 0;

struct Small {
  int n = 0;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & n;
  }
};

}  // namespace

// ---------------------------------------------------------------- the budget

TEST(ReadBudget, TextPastTheBudgetIsRefusedHavingAllocatedAboutTheBudget) {
  // Eight texts of 1 MiB: 8 MiB of archive text from a few kilobytes.
  const std::vector<std::string> texts(8, std::string(kMiB, 'A'));
  const std::string packed = Packed([&](cmn::oarchive& ar) { ar << texts; });
  ASSERT_LT(packed.size(), 200 * 1024u);

  std::vector<std::string> back;
  {
    testing_alloc::Probe probe;
    try {
      Unpack(packed, back, 3 * kMiB);
      ADD_FAILURE() << "read past its budget";
    } catch (const cmn::archive_too_large& e) {
      EXPECT_EQ(e.Budget(), 3 * kMiB);
      EXPECT_NE(std::string(e.what()).find("budget"), std::string::npos) << e.what();
    }
    EXPECT_LT(probe.Peak(), 2 * 3 * kMiB) << "a read refused at its budget built no more than about it";
  }
  Unpack(packed, back, 10 * kMiB);
  EXPECT_EQ(back, texts) << "the same text within its budget";
}

TEST(ReadBudget, EveryObjectBuiltCountsAgainstTheBudget) {
  // Twenty thousand objects from about a hundred kilobytes of text: what
  // they take in memory is counted, not only their text.
  const std::vector<Small> many(20000);
  const std::string packed = Packed([&](cmn::oarchive& ar) { ar << many; });
  std::vector<Small> back;
  EXPECT_THROW(Unpack(packed, back, 4 * kMiB), cmn::archive_too_large);
  Unpack(packed, back, 20000 * cmn::kObjectCharge + kMiB);
  EXPECT_EQ(back.size(), many.size());
}

TEST(ReadBudget, AFileLoadsWithinTheBudgetItIsGiven) {
  const std::string path = testing_sandbox::MakeTempDir("budget") + "/file";
  const std::string text(2 * kMiB, 'x');
  ASSERT_TRUE(cmn::SaveArchiveFile(path, cmn::kRecordListFileMagic, ArchiveInfo(1, 1), text));
  std::string back;
  EXPECT_THROW(cmn::LoadArchiveFile(path, cmn::kRecordListFileMagic, back, kMiB), cmn::archive_too_large);
  cmn::LoadArchiveFile(path, cmn::kRecordListFileMagic, back);  // the file budget
  EXPECT_EQ(back, text);
}

// ---------------------------------------------------------------- growing

TEST(Growing, StringsAndBlocksAllocateWhatArrivesNotWhatIsAnnounced) {
  const struct {
    const char* what;
    bool block;
    std::string text;
  } cases[] = {
      {"a block announcing 256 MiB", true, "268435456\n\nQUFB\n"},
      {"a block announcing 100 MiB", true, "104857600 QUFBQUFBQUFBQUFB"},
      {"a string announcing 200 MB", false, "200000000 abc"},
  };
  for (const auto& c : cases) {
    const std::string packed = Deflate(std::string(kHeader) + c.text, false);
    testing_alloc::Probe probe;
    cmn::mblock<char> b;
    std::string s;
    if (c.block) {
      EXPECT_ANY_THROW(Unpack(packed, b, cmn::kFileReadBudget)) << c.what;
    } else {
      EXPECT_ANY_THROW(Unpack(packed, s, cmn::kFileReadBudget)) << c.what;
    }
    EXPECT_LT(probe.Largest(), kMiB) << c.what;
  }
}

TEST(Growing, AGrownBlockHoldsExactlyItsBytes) {
  std::mt19937 rng(11);
  for (std::size_t size : {std::size_t(1), std::size_t(65535), std::size_t(65536), std::size_t(65537),
                           std::size_t(kMiB + 7)}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const cmn::mblock<char> block(bytes.data(), bytes.size());
    cmn::mblock<char> back;
    Unpack(Packed([&](cmn::oarchive& ar) { ar << block; }), back, cmn::kFileReadBudget);
    EXPECT_TRUE(back == block) << size;
  }
}

// ---------------------------------------------------------------- raw data

// The bounded reader decodes raw data itself; whatever the library writes,
// it reads as the library's own reader does, and it refuses what that
// reader refuses.
TEST(RawData, ReadsWhatTheLibraryWritesAsTheLibraryReadsIt) {
  std::mt19937 rng(5);
  std::vector<std::size_t> sizes;
  for (std::size_t size = 1; size < 200; ++size) sizes.push_back(size);
  // Runs of text longer than the reader takes at once, ending on either side.
  for (std::size_t size : {49151, 49152, 49153, 65536, 200003}) sizes.push_back(size);
  for (std::size_t size : sizes) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const cmn::mblock<char> block(bytes.data(), bytes.size());
    const int after = static_cast<int>(size) * 3 - 7;
    std::ostringstream os;
    os.imbue(std::locale::classic());
    {
      cmn::oarchive ar(os, 0);
      ar << block << after;
    }
    const std::string text = os.str();
    for (bool ours : {true, false}) {
      std::istringstream is(text);
      is.imbue(std::locale::classic());
      cmn::mblock<char> back;
      int afterBack = 0;
      if (ours) {
        cmn::iarchive ar(is, 0);
        ar >> back >> afterBack;
      } else {
        boost::archive::text_iarchive ar(is, 0);
        ar >> back >> afterBack;
      }
      EXPECT_TRUE(back == block) << size << (ours ? " ours" : " library's");
      EXPECT_EQ(afterBack, after) << size;
    }
  }
}

// Blanks may stand anywhere in the text, not only where the library puts
// its line breaks; the value after the run is read where it starts.
TEST(RawData, BlanksAnywhereInTheTextAreSkipped) {
  const std::string abc = "QUJD";  // "ABC"
  struct Case {
    const char* what;
    std::string text;
    std::string bytes;
  } cases[] = {
      {"one group", "3\n\nQUJD\n7", "ABC"},
      {"blanks inside a group", "3\n\nQ U\tJ\r\nD 7", "ABC"},
      {"padding", "4\n\nQUJDRA==\n7", "ABCD"},
      {"padding after a blank", "5\n\nQUJD\nREU= 7", "ABCDE"},
      {"many groups, a blank every fifth character",
       [&] {
         std::string t = "3000\n\n";
         for (int i = 0; i < 1000; ++i) t += abc.substr(0, 1) + " " + abc.substr(1) + (i % 19 == 18 ? "\n" : "");
         return t + " 7";
       }(),
       [] {
         std::string b;
         for (int i = 0; i < 1000; ++i) b += "ABC";
         return b;
       }()},
  };
  for (const Case& c : cases) {
    std::istringstream is(std::string(kHeader) + c.text);
    is.imbue(std::locale::classic());
    cmn::iarchive ar(is, 0);
    cmn::mblock<char> back;
    int after = 0;
    ar >> back >> after;
    EXPECT_EQ(std::string(back.data(), back.size()), c.bytes) << c.what;
    EXPECT_EQ(after, 7) << c.what;
  }
}

TEST(RawData, ACharacterOutsideTheAlphabetOrAShortRunFails) {
  const std::string cases[] = {"6\n\nQUF*QUFB\n", "6\n\nQUFB\n", "6\n\nQUF"};
  for (const std::string& c : cases) {
    cmn::mblock<char> b;
    EXPECT_ANY_THROW(Unpack(Deflate(std::string(kHeader) + c, false), b, cmn::kFileReadBudget)) << c;
  }
}

// ---------------------------------------------------------------- failing

// An object half read for a shared pointer has no owner yet: the read frees
// it, as it frees the ones read whole.
TEST(FailedRead, FreesTheObjectHalfReadForASharedPointer) {
  std::vector<boost::shared_ptr<Tracked>> objects;
  for (int i = 0; i < 3; ++i) {
    objects.push_back(boost::make_shared<Tracked>());
    objects.back()->text = "object " + std::to_string(i);
    objects.back()->number = 100 + i;
  }
  std::ostringstream os;
  os.imbue(std::locale::classic());
  {
    cmn::oarchive ar(os, 0);
    ar << objects;
  }
  objects.clear();
  ASSERT_EQ(Tracked::live, 0);
  const std::string text = os.str();
  const std::size_t third = text.find("object 2");
  ASSERT_NE(third, std::string::npos);
  for (std::size_t cut : {third + 3, third + 9, text.find("object 1") + 2}) {
    std::vector<boost::shared_ptr<Tracked>> back;
    EXPECT_ANY_THROW(Unpack(Deflate(text.substr(0, cut), false), back, cmn::kFileReadBudget)) << cut;
    back.clear();
    EXPECT_EQ(Tracked::live, 0) << "cut at " << cut;
  }
}

// The archive file frame, the stream adapters and the bounded reader.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <locale>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <wx/mstream.h>

#include "appversion.h"
#include "cmn/archive.h"
#include "cmn/mblock.h"
#include "cmn/wxstream.h"
#include "sandbox.h"
#include "test_util.h"

namespace fs = std::filesystem;
using namespace foundation_test;

namespace {

struct Payload {
  int number = 0;
  std::string text;
  cmn::mblock<char> block;
  bool throwMidway = false;

  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & number;
    ar & text;
    if (throwMidway) throw std::runtime_error("payload failed");
    ar & block;
  }
};

bool operator==(const Payload& a, const Payload& b) {
  return a.number == b.number && a.text == b.text && a.block == b.block;
}

Payload Sample() {
  Payload p;
  p.number = -42;
  p.text = "h\xC3\xA9llo world";
  const char raw[] = {'\0', '\x01', '\xFF', 'a', '\n', ' '};
  p.block.assign(raw, sizeof raw);
  return p;
}

std::string ArchiveText(const std::function<void(cmn::oarchive&)>& body) {
  std::ostringstream os;
  os.imbue(std::locale::classic());
  {
    cmn::oarchive ar(os, 0);
    body(ar);
  }
  return os.str();
}

std::string TempPath(const std::string& name) { return testing_sandbox::MakeTempDir("archive") + "/" + name; }

struct FileKind {
  const char* name;
  std::uint32_t magic;
  const char bytes[5];
};
void PrintTo(const FileKind& k, std::ostream* os) { *os << k.name; }

class FrameRoundTrip : public ::testing::TestWithParam<FileKind> {};

TEST_P(FrameRoundTrip, WritesMagicZlibAndArchiveHeaderAndReadsBack) {
  const FileKind kind = GetParam();
  const std::string path = TempPath("file");
  const Payload out = Sample();
  ASSERT_TRUE(cmn::SaveArchiveFile(path, kind.magic, ArchiveInfo(APP_VERSION_CODE, 1), out));

  const std::string bytes = ReadBytes(path);
  ASSERT_GT(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 4), std::string(kind.bytes, 4));
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0x78);  // zlib header, default level
  EXPECT_EQ(static_cast<unsigned char>(bytes[5]), 0x9C);
  std::size_t used = 0;
  const std::string text = Inflate(bytes.substr(4), false, &used);
  EXPECT_EQ(used, bytes.size() - 4) << "nothing may follow the zlib stream";
  // Boost 1.74 writes archive library version 18 in its header.
  EXPECT_EQ(text.rfind("22 serialization::archive 18 0 0 3000003 1 0 0 -42 ", 0), 0u) << text;

  Payload in;
  const ArchiveInfo info = cmn::LoadArchiveFile(path, kind.magic, in);
  EXPECT_EQ(info.version, APP_VERSION_CODE);
  EXPECT_EQ(info.revision, 1);
  EXPECT_TRUE(in == out);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FrameRoundTrip,
                         ::testing::Values(FileKind{"Settings", cmn::kSettingsFileMagic, "\xA0\xFF\xE7\x4D"},
                                           FileKind{"History", cmn::kHistoryFileMagic, "\x30\xC5\x8D\x42"},
                                           FileKind{"RecordList", cmn::kRecordListFileMagic, "\x80\x30\x8B\xBF"}),
                         [](const ::testing::TestParamInfo<FileKind>& info) { return std::string(info.param.name); });

TEST(FrameRead, RefusesMissingShortAndForeignFilesAsBadArchive) {
  const std::string dir = testing_sandbox::MakeTempDir("bad");
  const std::string good = dir + "/good";
  ASSERT_TRUE(cmn::SaveArchiveFile(good, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), Sample()));
  const std::string goodBytes = ReadBytes(good);
  struct Case {
    const char* name;
    std::string bytes;
    bool create;
  } cases[] = {
      {"missing", "", false},
      {"empty", "", true},
      {"three bytes", "\xA0\xFF\xE7", true},
      {"history magic", MagicBytes(cmn::kHistoryFileMagic) + goodBytes.substr(4), true},
      {"magic byte-swapped", "\x4D\xE7\xFF\xA0" + goodBytes.substr(4), true},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.name;
    if (c.create) WriteBytes(path, c.bytes);
    Payload p;
    EXPECT_THROW(cmn::LoadArchiveFile(path, cmn::kSettingsFileMagic, p), bad_archive) << c.name;
  }
  Payload p;
  EXPECT_THROW(cmn::LoadArchiveFile(dir, cmn::kSettingsFileMagic, p), bad_archive) << "a folder";
  const std::string fifo = dir + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(cmn::LoadArchiveFile(fifo, cmn::kSettingsFileMagic, p), bad_archive) << "a pipe must not block";
}

TEST(FrameRead, JunkAfterTheRightMagicIsAnotherError) {
  const std::string dir = testing_sandbox::MakeTempDir("junk");
  const std::string cases[] = {
      "",                                                  // magic alone
      "this is not a zlib stream at all, just some text",  // not zlib
      Deflate("not an archive header", false),             // zlib, not an archive
      Deflate("22 serialization::archive 18 0 0 3", false).substr(0, 12),  // truncated zlib
  };
  int i = 0;
  for (const std::string& rest : cases) {
    const std::string path = dir + "/f" + std::to_string(i++);
    WriteBytes(path, MagicBytes(cmn::kSettingsFileMagic) + rest);
    Payload p;
    try {
      cmn::LoadArchiveFile(path, cmn::kSettingsFileMagic, p);
      ADD_FAILURE() << "case " << i << " loaded";
    } catch (const bad_archive&) {
      ADD_FAILURE() << "case " << i << " was reported as a foreign file";
    } catch (const std::exception&) {
    }
  }
}

TEST(FrameRead, AcceptsAGzipPayload) {
  const Payload out = Sample();
  const std::string text = ArchiveText([&](cmn::oarchive& ar) {
    const ArchiveInfo info(APP_VERSION_CODE, 1);
    ar << info;
    ar << out;
  });
  const std::string path = TempPath("gz");
  WriteBytes(path, MagicBytes(cmn::kHistoryFileMagic) + Deflate(text, true));
  Payload in;
  cmn::LoadArchiveFile(path, cmn::kHistoryFileMagic, in);
  EXPECT_TRUE(in == out);
}

TEST(FrameRead, ReadsOlderArchiveLibraryVersions) {
  // An archive written with library version 3 (older writers) still loads.
  const std::string text = "22 serialization::archive 3 0 0 3000003 1 0 0 7 5 hello 0";
  const std::string path = TempPath("old");
  WriteBytes(path, MagicBytes(cmn::kSettingsFileMagic) + Deflate(text, false));
  Payload in;
  const ArchiveInfo info = cmn::LoadArchiveFile(path, cmn::kSettingsFileMagic, in);
  EXPECT_EQ(info.version, 3000003);
  EXPECT_EQ(in.number, 7);
  EXPECT_EQ(in.text, "hello");
  EXPECT_TRUE(in.block.empty());
}

// ---------------------------------------------------------------- saving

class FailingSave : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_sandbox::MakeTempDir("save");
    path_ = dir_ + "/pastiq.cfg";
    Payload old = Sample();
    old.text = "the old file";
    ASSERT_TRUE(cmn::SaveArchiveFile(path_, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), old));
    oldBytes_ = ReadBytes(path_);
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(ReadBytes(path_), oldBytes_);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
      (void)e;
      ++files;
    }
    EXPECT_EQ(files, 1) << "the temporary file must be gone";
  }
  std::string dir_, path_, oldBytes_;
};

TEST_F(FailingSave, DiskFullMidwayLeavesTheOldFile) {
  // The file system refuses to grow any file beyond 8 KiB, as a full disk does.
  Payload big = Sample();
  big.block.reset(512 * 1024);
  for (std::size_t i = 0; i < big.block.size(); ++i) big.block.data()[i] = static_cast<char>((i * 7919u) >> 3);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 8192;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    cmn::SaveArchiveFile(path_, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), big);
  } catch (const std::exception&) {
    threw = true;
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(threw) << "the failure must reach the caller";
  ExpectOldFileIntact();
}

TEST_F(FailingSave, PayloadErrorLeavesTheOldFile) {
  Payload bad = Sample();
  bad.throwMidway = true;
  EXPECT_THROW(cmn::SaveArchiveFile(path_, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), bad),
               std::runtime_error);
  ExpectOldFileIntact();
}

TEST(Save, FolderThatDoesNotExistWritesNothing) {
  const std::string path = testing_sandbox::MakeTempDir("nofolder") + "/missing/pastiq.cfg";
  EXPECT_FALSE(cmn::SaveArchiveFile(path, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), Sample()));
  EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
}

// A toolkit stream that accepts `room` bytes and then fails.
class BrokenOutputStream : public wxOutputStream {
 public:
  explicit BrokenOutputStream(size_t room) : room_(room) {}
  size_t written = 0;

 protected:
  size_t OnSysWrite(const void*, size_t size) override {
    const size_t n = std::min(size, room_ - written);
    written += n;
    if (n < size) m_lasterror = wxSTREAM_WRITE_ERROR;
    return n;
  }

 private:
  size_t room_;
};

TEST(WriteArchive, StreamFailingAtAnyPointThrows) {
  Payload big = Sample();
  big.block.reset(64 * 1024);
  for (std::size_t i = 0; i < big.block.size(); ++i) big.block.data()[i] = static_cast<char>(i * 31u);
  wxMemoryOutputStream whole;
  cmn::WriteArchive(whole, [&](cmn::oarchive& ar) { ar << big; });
  const size_t total = whole.GetLength();
  for (size_t room : {size_t(0), size_t(1), size_t(2), total / 2, total - 1}) {
    BrokenOutputStream out(room);
    EXPECT_ANY_THROW(cmn::WriteArchive(out, [&](cmn::oarchive& ar) { ar << big; })) << "room " << room;
  }
}

TEST(WxSink, ThrowsInsteadOfReportingAFailedWrite) {
  BrokenOutputStream out(3);
  cmn::wx::wxSink<wxOutputStream> sink(out);
  EXPECT_EQ(sink.write("abc", 3), 3);
  EXPECT_THROW(sink.write("d", 1), std::ios_base::failure);
}

class BrokenInputStream : public wxInputStream {
 protected:
  size_t OnSysRead(void* buffer, size_t size) override {
    if (served_) {
      m_lasterror = wxSTREAM_READ_ERROR;
      return 0;
    }
    served_ = true;
    memset(buffer, 'x', size > 2 ? 2 : size);
    return size > 2 ? 2 : size;
  }
  bool served_ = false;
};

TEST(WxSource, EndIsEndOfInputAndAReadErrorThrows) {
  wxMemoryInputStream mem("ab", 2);
  cmn::wx::wxSource<wxInputStream> source(mem);
  char buf[8];
  EXPECT_EQ(source.read(buf, 8), 2);
  EXPECT_EQ(source.read(buf, 8), -1);

  BrokenInputStream broken;
  cmn::wx::wxSource<wxInputStream> bad(broken);
  EXPECT_EQ(bad.read(buf, 8), 2);
  EXPECT_THROW(bad.read(buf, 8), std::ios_base::failure);
}

// ---------------------------------------------------------------- locale

struct GroupingPunct : std::numpunct<char> {
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
  char do_decimal_point() const override { return ','; }
};

TEST(Locale, ArchivesUseTheClassicLocaleWhateverTheGlobalOne) {
  const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new GroupingPunct));
  const std::string path = TempPath("locale");
  Payload out = Sample();
  out.number = 1234567;
  bool saveOk = false;
  std::string text;
  Payload in;
  try {
    saveOk = cmn::SaveArchiveFile(path, cmn::kSettingsFileMagic, ArchiveInfo(APP_VERSION_CODE, 1), out);
    text = Inflate(ReadBytes(path).substr(4));
    cmn::LoadArchiveFile(path, cmn::kSettingsFileMagic, in);
  } catch (...) {
  }
  std::locale::global(saved);
  EXPECT_TRUE(saveOk);
  EXPECT_NE(text.find(" 3000003 1 "), std::string::npos) << text;
  EXPECT_NE(text.find(" 1234567 "), std::string::npos) << text;
  EXPECT_TRUE(in == out);
}

// ---------------------------------------------------------------- bounds

template <class T>
void LoadText(const std::string& text, T& into) {
  wxMemoryOutputStream mem;
  const std::string packed = Deflate(text, false);
  wxMemoryInputStream in(packed.data(), packed.size());
  cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> into; }, cmn::kFileReadBudget);
}

TEST(Bounds, LengthsAndCountsFromTheArchiveAreBounded) {
  const char* header = "22 serialization::archive 18 ";
  {
    std::string s;
    EXPECT_ANY_THROW(LoadText(std::string(header) + "300000000 abc", s)) << "string beyond the bound";
    EXPECT_ANY_THROW(LoadText(std::string(header) + "100000000 abc", s)) << "string longer than its data";
    LoadText(std::string(header) + "3 abc", s);
    EXPECT_EQ(s, "abc");
  }
  {
    std::vector<int> v;
    EXPECT_ANY_THROW(LoadText(std::string(header) + "4000000000 0 1 2 3", v));
  }
  {
    cmn::mblock<char> b;
    EXPECT_ANY_THROW(LoadText(std::string(header) + "4294967295 AAAA", b));
    EXPECT_ANY_THROW(LoadText(std::string(header) + "268435457 AAAA", b));
  }
}

// ---------------------------------------------------------------- mblock

TEST(MBlock, EmptyBlockIsItsSizeAloneAndBytesRoundTrip) {
  const cmn::mblock<char> empty;
  EXPECT_EQ(ArchiveText([&](cmn::oarchive& ar) { ar << empty; }), "22 serialization::archive 18 0\n");

  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  const cmn::mblock<char> full(all.data(), all.size());
  wxMemoryOutputStream mem;
  cmn::WriteArchive(mem, [&](cmn::oarchive& ar) { ar << full; });
  wxMemoryInputStream in(mem);
  cmn::mblock<char> back(3);
  cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> back; }, cmn::kFileReadBudget);
  EXPECT_TRUE(back == full);
}

TEST(MBlock, LoadingSizeZeroEmptiesTheBlock) {
  cmn::mblock<char> b("xyz", 3);
  LoadText("22 serialization::archive 18 0", b);
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(b.data(), nullptr);
}

TEST(MBlock, CopiesAndMovesOwnTheirBytes) {
  cmn::mblock<char> a("hello", 5);
  cmn::mblock<char> copy(a);
  ASSERT_NE(copy.data(), a.data());
  copy.data()[0] = 'j';
  EXPECT_EQ(std::string(a.data(), a.size()), "hello");

  cmn::mblock<char> moved(std::move(copy));
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(std::string(moved.data(), moved.size()), "jello");

  a = a;  // self-assignment keeps the bytes
  EXPECT_EQ(std::string(a.data(), a.size()), "hello");
  moved = a;
  a = std::move(moved);
  EXPECT_EQ(std::string(a.data(), a.size()), "hello");
  std::vector<cmn::mblock<char>> many(3, a);  // copies in a container free once each
  many.push_back(std::move(a));
  EXPECT_EQ(many.size(), 4u);
}

}  // namespace

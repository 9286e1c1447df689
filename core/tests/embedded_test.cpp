// The embedded-object item on the platform's structured storage.
#include <gtest/gtest.h>

#include "fakesource.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"

using namespace pqtest;

namespace {

// A storage (in its own byte array) holding one stream "contents".
IStorage* MakeStorage(const std::string& contents) {
  ILockBytes* bytes = nullptr;
  EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes), S_OK);
  IStorage* stg = nullptr;
  EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                         0, &stg),
            S_OK);
  bytes->Release();
  IStream* stream = nullptr;
  EXPECT_EQ(stg->CreateStream(L"contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                              0, &stream),
            S_OK);
  ULONG written = 0;
  stream->Write(contents.data(), static_cast<ULONG>(contents.size()), &written);
  stream->Release();
  EXPECT_EQ(stg->Commit(STGC_DEFAULT), S_OK);
  return stg;
}

std::string ReadContents(IStorage* stg) {
  IStream* stream = nullptr;
  if (FAILED(stg->OpenStream(L"contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)))
    return "<no stream>";
  std::string out;
  char buf[256];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(buf, sizeof buf, &got)) && got > 0) out.append(buf, got);
  stream->Release();
  return out;
}

// A producer that offers its storage as an embedded object.
void OfferEmbedding(FakeSource* src, IStorage* stg) {
  src->Offer(pq::CfEmbeddedObject(), TYMED_ISTORAGE, [stg](STGMEDIUM* m) {
    m->tymed = TYMED_ISTORAGE;
    stg->AddRef();
    m->pstg = stg;
    m->pUnkForRelease = nullptr;
    return S_OK;
  });
}

}  // namespace

class EmbeddedItem : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore = platform::GlobalLiveBlocks(); }
  void TearDown() override {
    EXPECT_EQ(platform::GlobalLiveBlocks(), blocksBefore) << "global blocks leaked";
  }
  SIZE_T blocksBefore = 0;
};

TEST_F(EmbeddedItem, LoadedObjectRendersTheSameData) {
  pq::EmbeddedObjectItem item;
  {
    Ref<IStorage> original(MakeStorage("the object's own bytes"));
    Ref<FakeSource> src(FakeSource::Create());
    OfferEmbedding(src.get(), original.get());
    ASSERT_TRUE(item.Load(src.get()));
  }
  ASSERT_GT(item.GetBlock().size(), 0u);

  STGMEDIUM m = EmptyMedium();
  ASSERT_EQ(item.GetData({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_ISTORAGE));
  ASSERT_NE(m.pstg, nullptr);
  EXPECT_EQ(ReadContents(m.pstg), "the object's own bytes");
  ReleaseStgMedium(&m);

  // Into the caller's storage.
  Ref<IStorage> target(MakeStorage("to be replaced"));
  m = EmptyMedium();
  m.pstg = target.get();
  ASSERT_EQ(item.GetDataHere({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m), S_OK);
  EXPECT_EQ(ReadContents(target.get()), "the object's own bytes");

  // Through a data object, to a second item: the same object again.
  Ref<pq::DataObject> d(new pq::DataObject);
  auto* copy = new pq::EmbeddedObjectItem;
  copy->SetBlock(item.GetBlock().data(), item.GetBlock().size());
  d->Items().push_back(copy);
  pq::EmbeddedObjectItem again;
  ASSERT_TRUE(again.Load(d.get()));
  m = EmptyMedium();
  ASSERT_EQ(again.GetData({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m), S_OK);
  EXPECT_EQ(ReadContents(m.pstg), "the object's own bytes");
  ReleaseStgMedium(&m);
}

TEST_F(EmbeddedItem, NothingToLoad) {
  Ref<FakeSource> src(FakeSource::Create());
  pq::EmbeddedObjectItem item;
  item.SetBlock("kept", 4);
  EXPECT_FALSE(item.Load(src.get())) << "no embedding offered";
  EXPECT_FALSE(item.Load(nullptr));
  EXPECT_EQ(item.GetBlock().size(), 4u);
}

TEST_F(EmbeddedItem, BytesThatAreNoStorageFail) {
  for (std::string bytes : {std::string(), std::string("certainly not a storage")}) {
    pq::EmbeddedObjectItem item;
    item.SetBlock(bytes.data(), bytes.size());
    STGMEDIUM m = EmptyMedium();
    EXPECT_TRUE(FAILED(item.GetData({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m))) << bytes;
    EXPECT_EQ(m.pstg, nullptr);
    Ref<IStorage> target(MakeStorage("untouched"));
    m = EmptyMedium();
    m.pstg = target.get();
    EXPECT_TRUE(FAILED(item.GetDataHere({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m)));
    EXPECT_EQ(ReadContents(target.get()), "untouched");
    m = EmptyMedium();
    EXPECT_EQ(item.GetDataHere({pq::CfEmbeddedObject(), TYMED_ISTORAGE}, &m), E_INVALIDARG)
        << "no storage to copy into";
  }
}

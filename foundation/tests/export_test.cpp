// Polymorphic pointers exported by key load through the bounded reader.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cmn/iarchive.h"  // before the exports, so they cover cmn::iarchive

#include <boost/serialization/base_object.hpp>
#include <boost/serialization/export.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>

namespace export_test {
struct Shape {
  virtual ~Shape() = default;
  virtual std::string Name() const = 0;
  int id = 0;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & id;
  }
};
struct Circle : Shape {
  std::string label;
  std::string Name() const override { return "circle " + label; }
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar & boost::serialization::base_object<Shape>(*this);
    ar & label;
  }
};
}  // namespace export_test

BOOST_SERIALIZATION_ASSUME_ABSTRACT(export_test::Shape)
BOOST_CLASS_EXPORT(export_test::Circle)

namespace {

TEST(Export, SharedPointersToExportedClassesRoundTrip) {
  auto c = std::make_shared<export_test::Circle>();
  c->id = 4;
  c->label = "red";
  const std::vector<std::shared_ptr<export_test::Shape>> out = {c, c};  // one object, twice
  std::ostringstream os;
  {
    cmn::oarchive ar(os, 0);
    ar << out;
  }
  std::istringstream is(os.str());
  std::vector<std::shared_ptr<export_test::Shape>> in;
  {
    cmn::iarchive ar(is, 0);
    ar >> in;
  }
  ASSERT_EQ(in.size(), 2u);
  EXPECT_EQ(in[0]->Name(), "circle red");
  EXPECT_EQ(in[0]->id, 4);
  EXPECT_EQ(in[0], in[1]) << "a shared object stays shared";
}

TEST(Export, AnUnknownClassKeyIsAnArchiveError) {
  std::string text = [] {
    std::ostringstream os;
    const std::shared_ptr<export_test::Shape> s = std::make_shared<export_test::Circle>();
    {
      cmn::oarchive ar(os, 0);
      ar << s;
    }
    return os.str();
  }();
  const std::string key = "export_test::Circle";
  const size_t at = text.find(key);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, key.size(), "export_test::Circlx");
  std::istringstream is(text);
  std::shared_ptr<export_test::Shape> in;
  cmn::iarchive ar(is, 0);
  EXPECT_THROW(ar >> in, boost::archive::archive_exception);
}

}  // namespace

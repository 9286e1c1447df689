#pragma once
// Helpers shared by the record, list, history and search tests.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "pq/record.h"
#include "pq/recordlist.h"

namespace records_test {

inline pq::RecordPtr MakeRecord(const std::string& text) {
  auto r = boost::make_shared<pq::Record>();
  r->text = text;
  return r;
}

// Texts of a list, front first.
inline std::vector<std::string> Texts(const pq::RecordList& list) {
  std::vector<std::string> out;
  for (const auto& r : list.GetRecords()) out.push_back(r ? r->text : "<null>");
  return out;
}

// Writes every call as a line, with what the list held at that moment.
class LogObserver : public pq::RecordListObserver {
 public:
  explicit LogObserver(const pq::RecordList& list, std::string name = "")
      : list_(list), name_(std::move(name)) {}

  void OnRecordAdded(const pq::RecordPtr& r) override {
    Log("added " + r->text + " at " + std::to_string(list_.IndexOf(r.get())));
  }
  void OnRecordRemoving(const pq::RecordPtr& r) override {
    Log("removing " + r->text + " at " + std::to_string(list_.IndexOf(r.get())));
  }
  void OnRecordMovedToFront(unsigned index) override {
    Log("front " + std::to_string(index) + " holding " + list_.GetRecord(index)->text);
  }
  void OnRecordListCleared() override { Log("cleared, count " + std::to_string(list_.GetCount())); }
  void OnRecordListReset() override { Log("reset, count " + std::to_string(list_.GetCount())); }

  std::vector<std::string> log;
  std::function<void()> onCall;

 private:
  void Log(const std::string& line) {
    log.push_back(name_.empty() ? line : name_ + ": " + line);
    if (onCall) onCall();
  }
  const pq::RecordList& list_;
  std::string name_;
};

}  // namespace records_test

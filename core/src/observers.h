#pragma once
// Observer calls shared by the record list, the history and the search
// criteria. Observers are called in registration order; one that unsubscribes
// during a round is not called afterwards, one that subscribes during a round
// is first called in the next one.
#include <algorithm>
#include <vector>

namespace pq {
namespace detail {

template <class Observer, class Call>
void NotifyEach(const std::vector<Observer*>& live, Call call) {
  const std::vector<Observer*> round = live;
  for (Observer* o : round) {
    if (std::find(live.begin(), live.end(), o) != live.end()) call(o);
  }
}

template <class Observer>
void EraseFirst(std::vector<Observer*>& live, Observer* o) {
  auto it = std::find(live.begin(), live.end(), o);
  if (it != live.end()) live.erase(it);
}

}  // namespace detail
}  // namespace pq

// What every benchmark times with: the median of repeated runs.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// The median time of `rounds` runs of `run`, each after `prepare` (not timed; may be empty), in
// milliseconds.
inline double MedianMs(int rounds, const std::function<void()>& prepare,
                       const std::function<void()>& run) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    if (prepare) prepare();
    QElapsedTimer timer;
    timer.start();
    run();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// SPDX-License-Identifier: MIT
#include "core/DataFileReadAhead.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/HMRFileIO.h"

namespace hmr {

std::vector<DataFileRead> readDataFilesAhead(std::span<const std::string> paths,
                                             unsigned threads) {
  std::vector<DataFileRead> results(paths.size());
  // The work queue: the index of the next file that no thread has taken yet.
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < paths.size(); i = next++) {
      try {
        readHmrFile(paths[i], results[i].contents);
      } catch (...) {
        results[i].failure = std::current_exception();
      }
    }
  };
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t workers = std::min<std::size_t>(threads, paths.size());
  {
    std::vector<std::jthread> helpers;
    for (std::size_t t = 1; t < workers; ++t) helpers.emplace_back(work);
    work();  // the calling thread takes its share
  }  // joins the helpers
  return results;
}

}  // namespace hmr

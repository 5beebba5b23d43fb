// A sink that keeps every find with a copy of its bytes, for tests that
// compare what a scan wrote with the files put on the disk.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "scanner.h"

namespace qvtest {

struct Collected {
  qv::Find find;
  std::vector<uint8_t> bytes;
};

class CollectSink : public qv::FindSink {
 public:
  void onFind(const qv::Find& f, qv::View& data) override {
    Collected c{f, std::vector<uint8_t>(f.length)};
    EXPECT_TRUE(data.read(0, c.bytes.data(), c.bytes.size()));
    finds.push_back(std::move(c));
  }
  std::vector<Collected> finds;
};

}  // namespace qvtest

// Writes every find as its own file in the output folder.
#pragma once
#include <string>

#include "../core/scanner.h"

namespace qv {

class OutputSink : public FindSink {
 public:
  explicit OutputSink(std::string dir) : dir_(std::move(dir)) {}
  void onFind(const Find& find, View& data) override;
  unsigned written() const { return written_; }

 private:
  std::string dir_;
  unsigned written_ = 0;
};

}  // namespace qv

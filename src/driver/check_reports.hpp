#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "exercises/grading.hpp"

namespace ovrik {

enum class ReportFormat : std::uint8_t { kText, kJUnit, kJson, kTap };

// The report of a grading run, written as each FILE is graded, so that a
// class of a thousand is reported as it goes.
class CheckReport {
 public:
  virtual ~CheckReport() = default;
  // Before the first FILE: how many there are, and how many checks each gets.
  virtual void begin(std::size_t files, std::size_t checks) = 0;
  virtual void add(const std::string& file, const Grade& grade) = 0;
  virtual void end() = 0;
};

std::unique_ptr<CheckReport> makeCheckReport(ReportFormat format, std::ostream& out);

}  // namespace ovrik

// The reports of ovrik --check: text for a teacher reading a terminal, JUnit
// XML for CI servers, one JSON object per line for learning platforms'
// autograders, and TAP. File names and outputs come from students: every text
// goes through printableText, then through the format's own escaping.
#include "driver/check_reports.hpp"

#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>

#include "exercises/shown_bytes.hpp"

namespace ovrik {
namespace {

std::string joined(const std::vector<std::string>& lines, std::string_view between) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += between;
    text += line;
  }
  return text;
}

std::string counted(std::uint64_t count, std::string_view what) {
  return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

// prog.txt: 4/5 checks, 8/10 points, 137 steps, 12 words
// and a line for each check that failed, saying what differed.
class TextReport final : public CheckReport {
 public:
  explicit TextReport(std::ostream& out) : out_(out) {}
  void begin(std::size_t, std::size_t) override {}
  void add(const std::string& file, const Grade& grade) override {
    out_ << printableText(file) << ": " << grade.passed << "/" << grade.items.size() << " checks, "
         << grade.points << "/" << grade.maxPoints << " points, " << counted(grade.steps, "step")
         << ", " << counted(static_cast<std::uint64_t>(grade.words), "word") << "\n";
    for (const Grade::Item& item : grade.items) {
      if (item.result.passed) continue;
      out_ << "  " << item.check->name << ": " << joined(item.result.differences, "; ") << "\n";
    }
    out_.flush();
  }
  void end() override {}

 private:
  std::ostream& out_;
};

// The five characters XML gives a meaning; the rest is printable UTF-8 already.
std::string xmlEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A testsuite per FILE with its score as properties, a testcase per check, and
// for a failed check a failure whose message is what differed.
class JUnitReport final : public CheckReport {
 public:
  explicit JUnitReport(std::ostream& out) : out_(out) {}
  void begin(std::size_t, std::size_t) override {
    out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"ovrik --check\">\n";
  }
  void add(const std::string& file, const Grade& grade) override {
    const std::string name = xmlEscaped(printableText(file));
    const std::size_t failures = grade.items.size() - static_cast<std::size_t>(grade.passed);
    out_ << "  <testsuite name=\"" << name << "\" tests=\"" << grade.items.size()
         << "\" failures=\"" << failures << "\" errors=\"0\" skipped=\"0\">\n"
         << "    <properties>\n"
         << "      <property name=\"score\" value=\"" << grade.points << "\"/>\n"
         << "      <property name=\"max_score\" value=\"" << grade.maxPoints << "\"/>\n"
         << "    </properties>\n";
    for (const Grade::Item& item : grade.items) {
      out_ << "    <testcase classname=\"" << name << "\" name=\"" << xmlEscaped(item.check->name)
           << "\"";
      if (item.result.passed) {
        out_ << "/>\n";
        continue;
      }
      const std::string& first = item.result.differences.front();
      out_ << ">\n      <failure message=\"" << xmlEscaped(first) << "\" type=\"check\">"
           << xmlEscaped(joined(item.result.differences, "\n")) << "</failure>\n"
           << "    </testcase>\n";
    }
    out_ << "  </testsuite>\n";
    out_.flush();
  }
  void end() override { out_ << "</testsuites>\n"; }

 private:
  std::ostream& out_;
};

// {"file": ..., "score": ..., "max_score": ..., "tests": [{"name", "score",
// "max_score", "status", "output"}]}: the shape autograders read.
class JsonReport final : public CheckReport {
 public:
  explicit JsonReport(std::ostream& out) : out_(out) {}
  void begin(std::size_t, std::size_t) override {}
  void add(const std::string& file, const Grade& grade) override {
    nlohmann::ordered_json tests = nlohmann::ordered_json::array();
    for (const Grade::Item& item : grade.items) {
      tests.push_back({{"name", item.check->name},
                       {"score", item.result.passed ? item.check->points : 0},
                       {"max_score", item.check->points},
                       {"status", item.result.passed ? "passed" : "failed"},
                       {"output", joined(item.result.differences, "\n")}});
    }
    const nlohmann::ordered_json line = {{"file", printableText(file)},
                                         {"score", grade.points},
                                         {"max_score", grade.maxPoints},
                                         {"tests", std::move(tests)}};
    out_ << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    out_.flush();
  }
  void end() override {}

 private:
  std::ostream& out_;
};

// A description may hold any printable text; '#' would begin a directive.
std::string tapEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '#' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// The plan, then "ok N - FILE: CHECK" or "not ok ..." with what differed as
// diagnostic lines.
class TapReport final : public CheckReport {
 public:
  explicit TapReport(std::ostream& out) : out_(out) {}
  void begin(std::size_t files, std::size_t checks) override {
    out_ << "TAP version 13\n1.." << files * checks << "\n";
  }
  void add(const std::string& file, const Grade& grade) override {
    const std::string name = tapEscaped(printableText(file));
    for (const Grade::Item& item : grade.items) {
      out_ << (item.result.passed ? "ok " : "not ok ") << ++number_ << " - " << name << ": "
           << tapEscaped(item.check->name) << "\n";
      for (const std::string& difference : item.result.differences) {
        out_ << "# " << difference << "\n";
      }
    }
    out_.flush();
  }
  void end() override {}

 private:
  std::ostream& out_;
  std::size_t number_ = 0;
};

}  // namespace

std::unique_ptr<CheckReport> makeCheckReport(ReportFormat format, std::ostream& out) {
  switch (format) {
    case ReportFormat::kJUnit:
      return std::make_unique<JUnitReport>(out);
    case ReportFormat::kJson:
      return std::make_unique<JsonReport>(out);
    case ReportFormat::kTap:
      return std::make_unique<TapReport>(out);
    case ReportFormat::kText:
      break;
  }
  return std::make_unique<TextReport>(out);
}

}  // namespace ovrik

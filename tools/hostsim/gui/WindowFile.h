// The controls a window definition file declares: every <control id="N">,
// at any depth, with its type and initial label, and the default control.
#pragma once

#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace hostsim {

struct ControlSpec {
  int id = 0;
  std::string type;
  std::string label;
};

struct WindowFileResult {
  bool ok = false;
  std::string error;
  std::vector<std::string> warnings;
  explicit operator bool() const { return ok; }
};

class WindowFile {
 public:
  // Numeric labels are string ids; `localize` turns them into text (empty
  // when unknown, and then the number stays).
  using Localizer = std::function<std::string(int)>;

  WindowFileResult loadFile(const std::string& path, const Localizer& localize = nullptr);
  WindowFileResult loadString(const std::string& xml, const Localizer& localize = nullptr);

  const std::map<int, ControlSpec>& controls() const { return controls_; }
  bool has(int id) const { return controls_.count(id) != 0; }
  ControlSpec control(int id) const;  // empty description when absent
  int defaultControl() const { return defaultControl_; }

 private:
  WindowFileResult load(const pugi::xml_node& root, const Localizer& localize);

  std::map<int, ControlSpec> controls_;
  int defaultControl_ = 0;
};

}  // namespace hostsim

// The extension a save dialog's filter gives a name.
#include "ui/presenter/save_filter.h"

namespace presenter {

std::string FilterSuffix(const std::string& filter) {
  // The patterns stand in the last parentheses; a filter of patterns alone has none.
  std::string patterns = filter;
  const size_t open = filter.rfind('(');
  if (open != std::string::npos) {
    const size_t close = filter.find(')', open);
    if (close == std::string::npos) return {};
    patterns = filter.substr(open + 1, close - open - 1);
  }
  const size_t start = patterns.find_first_not_of(' ');
  if (start == std::string::npos) return {};
  const std::string first = patterns.substr(start, patterns.find(' ', start) - start);
  if (!first.starts_with("*.")) return {};
  const std::string suffix = first.substr(2);
  // "*.*" is every file; an extension with wildcards names none.
  if (suffix.empty() || suffix.find_first_of("*?[") != std::string::npos) return {};
  return suffix;
}

}  // namespace presenter

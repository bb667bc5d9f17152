// The texts of list rows, for comparing a list with the lines a test expects.
#ifndef TARNWICK_TESTS_ROM_LIST_TEXTS_H_
#define TARNWICK_TESTS_ROM_LIST_TEXTS_H_

#include <string>
#include <vector>

namespace testimg {

using Lines = std::vector<std::string>;

template <typename Row>
Lines TextsOf(const std::vector<Row>& rows) {
  Lines lines;
  lines.reserve(rows.size());
  for (const Row& row : rows) lines.push_back(row.text);
  return lines;
}

}  // namespace testimg

#endif  // TARNWICK_TESTS_ROM_LIST_TEXTS_H_

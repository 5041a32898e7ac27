#pragma once

#include <string>
#include <vector>

namespace lmwire {

// Rows of cells printed in aligned columns: the first `leftColumns` columns left-aligned (names),
// the others right-aligned (numbers and prices), two spaces apart.
class Table {
  public:
    explicit Table(std::vector<std::string> header, std::size_t leftColumns = 1);
    void Add(std::vector<std::string> row);
    std::string Render(const std::string& indent = "") const;

  private:
    std::vector<std::vector<std::string>> rows_;
    std::size_t leftColumns_;
    bool hasHeader_;
};

}  // namespace lmwire

// The rows a lookup drop-down offers: one text column of an open result, and that result's
// current row, which the drop-down moves as the user browses and chooses.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace telvora::logdb {
class Query;
}

namespace telvora::app {

class LookupList {
  public:
    virtual ~LookupList() = default;
    // False while the result is not open: the drop-down then cannot be opened.
    virtual bool Active() const = 0;
    virtual std::size_t RowCount() const = 0;
    virtual std::string RowText(std::size_t row) const = 0;
    virtual std::size_t CurrentRow() const = 0;
    virtual void SetCurrentRow(std::size_t row) = 0;
};

// A column of a query's result (the awards list: ADOQuery1's Description). The result is
// kept whole by the query, so its texts are read once when it has been opened (Refresh).
class QueryLookupList : public LookupList {
  public:
    QueryLookupList(logdb::Query& query, std::string field);

    // Reads the column's texts; the current row is left where it was. Raises the query's
    // failure (a missing column) and then stays inactive.
    void Refresh();

    bool Active() const override;
    std::size_t RowCount() const override { return texts_.size(); }
    std::string RowText(std::size_t row) const override { return texts_.at(row); }
    std::size_t CurrentRow() const override;
    void SetCurrentRow(std::size_t row) override;

  private:
    logdb::Query& query_;
    std::string field_;
    std::vector<std::string> texts_;
    bool loaded_ = false;
};

}  // namespace telvora::app

#include "app/lookup_list.h"

#include "logdb/query.h"

namespace telvora::app {

QueryLookupList::QueryLookupList(logdb::Query& query, std::string field)
    : query_(query), field_(std::move(field)) {}

void QueryLookupList::Refresh() {
    loaded_ = false;
    texts_.clear();
    if (!query_.Active()) {
        return;
    }
    const std::size_t current = query_.RecNo();
    std::vector<std::string> texts;
    texts.reserve(query_.RecordCount());
    // A missing column fails here even for an empty result, as reading the field does.
    query_.FieldAsText(field_);
    for (std::size_t row = 0; row < query_.RecordCount(); ++row) {
        query_.MoveTo(row);
        texts.push_back(query_.FieldAsText(field_));
    }
    if (current < query_.RecordCount()) {
        query_.MoveTo(current);
    } else if (query_.RecordCount() > 0) {
        query_.First();
    }
    texts_ = std::move(texts);
    loaded_ = true;
}

bool QueryLookupList::Active() const {
    return loaded_ && query_.Active();
}

std::size_t QueryLookupList::CurrentRow() const {
    return query_.RecNo();
}

void QueryLookupList::SetCurrentRow(std::size_t row) {
    if (row < query_.RecordCount()) {
        query_.MoveTo(row);
    }
}

}  // namespace telvora::app

#include "data/catalogue/history.h"

#include "data/database.h"
#include "data/day_number.h"
#include "data/guid.h"
#include "data/statements.h"

namespace kivo::catalogue {

using data::TDISQLite3Statement;

std::string HistoryLabel(const CatalogueNode& node, const CatalogueNode* parent) {
    if (!parent || parent->ID == kAddNodeId || parent->ID == kClearHistoryId ||
        parent->ID == kHistoryGroupId)
        return node.Name;
    return parent->Name + "-" + node.Name;
}

void AddHistory(data::TDISQLite3Database& db, const CatalogueNode& node,
                const CatalogueNode* parent, int today) {
    auto remove = db.Prepare16(data::sql::kDeleteHistoryOfUrl);
    remove.Bind_Str(1, node.ID);
    remove.Step();
    auto insert = db.Prepare16(data::sql::kInsertHistory);
    insert.Bind_Str(1, HistoryLabel(node, parent));
    insert.Bind_Str(2, node.ID);
    insert.Bind_Int(3, today);
    insert.Bind_Str(4, data::NewGuidString());
    insert.Step();
}

void AddHistory(data::TDISQLite3Database& db, const CatalogueNode& node,
                const CatalogueNode* parent) {
    AddHistory(db, node, parent, data::TodayDayNumber());
}

std::string HistoryGroupSql(const HistoryGroup& group, int today) {
    if (group.min_age == group.max_age)
        return data::sql::FormatSelectHistoryOfDay(today, group.min_age);
    return data::sql::FormatSelectHistoryOfWeek(today);
}

CatalogueNode HistoryGroupNode(const HistoryGroup& group) {
    return {kHistoryGroupId, group.caption, "", "", "", kKindGame};
}

CatalogueNode ClearHistoryNode() {
    return {kClearHistoryId, kClearHistoryCaption, "", "", "", kKindGame};
}

void LoadHistoryList(data::TDISQLite3Database& db, CatalogueList& list,
                     const std::function<int()>& today) {
    list.clear();
    for (const HistoryGroup& group : kHistoryGroups) {
        auto rows = db.Prepare16(HistoryGroupSql(group, today()));
        list.push_back({HistoryGroupNode(group), {}});
        auto& entries = list.back().children;
        while (rows.Step() == TDISQLite3Statement::kRow) {
            entries.push_back({rows.Column_Str(0), rows.Column_Str(2), rows.Column_Str(3),
                               rows.Column_Str(4), rows.Column_Str(1), kKindAddress});
        }
    }
    list.push_back({ClearHistoryNode(), {}});
}

void LoadHistoryList(data::TDISQLite3Database& db, CatalogueList& list) {
    LoadHistoryList(db, list, data::TodayDayNumber);
}

}  // namespace kivo::catalogue

#pragma once
// The recent history: the label an opening is recorded under, the recording itself, and the
// node list of the history tree (the day groups with their entries, then the clear node), read
// from the database. Nothing here needs a display.
#include <functional>
#include <string>

#include "data/catalogue/catalogue_node.h"

namespace kivo::data {
class TDISQLite3Database;
}

namespace kivo::catalogue {

inline constexpr const char* kClearHistoryCaption = "清除历史记录";
inline constexpr const char* kClearHistoryQuestion = "你确认清除以前的访问记录吗？";
inline constexpr const char* kClearHistoryFailed = "清除失败，请重试！";

// A day group: its caption and the ages (today minus the day opened) it lists, both included.
struct HistoryGroup {
    const char* caption;
    int min_age;
    int max_age;
};
inline constexpr HistoryGroup kHistoryGroups[] = {
    {"今日", 0, 0}, {"一日前", 1, 1}, {"二日前", 2, 2}, {"一周内", 3, 7}};

// The label of an opening of `node`, whose parent is `parent` (null at the top): the game's name,
// a hyphen and the address's description for a catalogue address; the node's own caption when
// the parent is a history group or another node without a row (a history entry keeps its label).
std::string HistoryLabel(const CatalogueNode& node, const CatalogueNode* parent);

// Replaces the history row of the node's address by one dated `today`, under the label above.
// The two statements run without a transaction; errors are thrown.
void AddHistory(data::TDISQLite3Database& db, const CatalogueNode& node,
                const CatalogueNode* parent, int today);
// The same, dated with the local date of now.
void AddHistory(data::TDISQLite3Database& db, const CatalogueNode& node,
                const CatalogueNode* parent);

// The query of one day group, with today's day number in its text.
std::string HistoryGroupSql(const HistoryGroup& group, int today);

CatalogueNode HistoryGroupNode(const HistoryGroup& group);
CatalogueNode ClearHistoryNode();

// Rebuilds `list`: each day group in order with its entries as the view returns them (the
// group is appended even when it has none), then the clear node. `today` is asked anew for
// each group. An error ends the load where it happens and is thrown; the nodes added so far
// stay in `list`.
void LoadHistoryList(data::TDISQLite3Database& db, CatalogueList& list,
                     const std::function<int()>& today);
void LoadHistoryList(data::TDISQLite3Database& db, CatalogueList& list);

}  // namespace kivo::catalogue

// The reply structure of one forum or newsgroup thread, as the thread tree
// window shows it: one node per message of the thread with its level below
// the top, and the rows of the tree in depth-first order with their texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct TreeNode {
  uint32_t number = 0;  // MSG.MSGNUMBER
  uint32_t parent = 0;  // MSG.REFNUMBER; 0 when none or when it names the message itself
  std::string sender;   // first and last name of the sender, at most 35 characters
  int32_t date = 0;     // MSG.DATE
  int level = 0;        // 0 not yet known, 1 top, n + 1 one below a node of level n
  bool hasReplies = false;
};

enum TreeIcon : int { TreeNoIcon = 0, TreeLeaf = 1, TreeFolder = 2 };

struct TreeRow {
  uint32_t number = 0;  // 0 for the leading empty row
  int level = 0;        // 1 top; 0 for the leading empty row
  int icon = TreeNoIcon;
  std::string text;     // at most 200 characters
};

struct ThreadTree {
  uint32_t threadNumber = 0;  // THR.THREADNUMBER of the thread shown; 0 when none
  std::string threadAlpha;    // THR.ALPHA
  std::vector<TreeNode> nodes;  // ascending by message number
  std::vector<TreeRow> rows;    // the leading empty row, then the tree in depth-first order
  int depth = 0;                // the deepest level
};

// Gives every node its level and marks the nodes that have replies; `nodes`
// are in ascending message number. A node whose parent is 0 or not in the
// thread is a top node. Nodes whose parents form a cycle would never reach a
// level: the lowest-numbered node of each such cycle becomes a top node (its
// parent is cleared) and the rest of the cycle hangs below it. Returns the
// deepest level.
int assignLevels(std::vector<TreeNode>& nodes);

// The row text of a node by the node text format (1 sender; 2 sender and
// number; 3 sender and date; 4 sender, number, date; 5 sender, date,
// number) and the date format (2, 6, 10, 17), at most 200 characters.
std::string treeRowText(const TreeNode& node, int textFormat, int dateFormat);

// The rows of levelled nodes: an empty row for message 0, then depth-first
// in pre-order, top nodes and the replies of each node in ascending number.
std::vector<TreeRow> treeRows(const std::vector<TreeNode>& nodes, int textFormat, int dateFormat);

// The thread of message `number` of the current forum or newsgroup
// database: reads MsgNmbr and Person (the caller has them open) and leaves
// their record buffers as they were. False, with an empty tree, when the
// message does not exist.
bool buildThreadTree(uint32_t number, int textFormat, int dateFormat, ThreadTree& tree);

// The thread number of message `number`; 0 when the message does not exist.
// Leaves the MsgNmbr record buffer as it was.
uint32_t threadOfMessage(uint32_t number);

}  // namespace qv

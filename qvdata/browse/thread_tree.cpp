#include "browse/thread_tree.h"

#include <algorithm>
#include <unordered_map>

#include "browse/display_names.h"
#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

using NodeIndex = std::unordered_map<uint32_t, size_t>;

NodeIndex indexOf(const std::vector<TreeNode>& nodes) {
  NodeIndex index;
  index.reserve(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) index.emplace(nodes[i].number, i);
  return index;
}

// The node of the parent of `n`; -1 when it has none in the thread.
long parentIndex(const TreeNode& n, const NodeIndex& index) {
  if (n.parent == 0 || n.parent == n.number) return -1;
  auto it = index.find(n.parent);
  return it == index.end() ? -1 : long(it->second);
}

}  // namespace

int assignLevels(std::vector<TreeNode>& nodes) {
  const NodeIndex index = indexOf(nodes);
  for (TreeNode& n : nodes)
    if (n.parent == n.number) n.parent = 0;

  // Each node without a level follows its parents up to a node whose level is
  // known or to a top node, then the levels are handed down the way it came:
  // the levels the repeated passes over the nodes would give, in one walk
  // whatever the order of the numbers.
  std::vector<char> onPath(nodes.size(), 0);
  std::vector<size_t> path;
  for (size_t i = 0; i < nodes.size(); ++i) {
    while (nodes[i].level == 0) {
      path.clear();
      size_t cur = i;
      int base = 0;
      bool cycle = false;
      for (;;) {
        if (nodes[cur].level > 0) {
          base = nodes[cur].level;
          break;
        }
        if (onPath[cur]) {
          cycle = true;
          break;
        }
        onPath[cur] = 1;
        path.push_back(cur);
        long p = parentIndex(nodes[cur], index);
        if (p < 0) break;  // a top node: level 1
        cur = size_t(p);
      }
      for (size_t k : path) onPath[k] = 0;
      if (cycle) {
        // The walk came round to `cur`: the nodes from it on form a cycle.
        // Its lowest-numbered node becomes a top node; then walk again.
        auto from = std::find(path.begin(), path.end(), cur);
        size_t low = *std::min_element(from, path.end(),
                                       [&](size_t a, size_t b) { return nodes[a].number < nodes[b].number; });
        nodes[low].parent = 0;
        nodes[low].level = 1;
        continue;
      }
      for (auto k = path.rbegin(); k != path.rend(); ++k) nodes[*k].level = ++base;
    }
  }

  int depth = 0;
  for (TreeNode& n : nodes) {
    long p = parentIndex(n, index);
    if (p >= 0) nodes[size_t(p)].hasReplies = true;
    depth = std::max(depth, n.level);
  }
  return depth;
}

std::string treeRowText(const TreeNode& node, int textFormat, int dateFormat) {
  const std::string number = std::to_string(node.number);
  const std::string date = formatDate(node.date, dateFormat);
  std::string text = node.sender;
  auto add = [&text](const std::string& part) {
    if (!part.empty()) text += " " + part;
  };
  switch (textFormat) {
    case 2: add(number); break;
    case 3: add(date); break;
    case 4: add(number); add(date); break;
    case 5: add(date); add(number); break;
    default: break;
  }
  return firstChars(text, 200);
}

std::vector<TreeRow> treeRows(const std::vector<TreeNode>& nodes, int textFormat, int dateFormat) {
  const NodeIndex index = indexOf(nodes);
  std::vector<size_t> order(nodes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return nodes[a].number < nodes[b].number; });

  // The replies of each node and the top nodes, in ascending number.
  std::vector<std::vector<size_t>> replies(nodes.size());
  std::vector<size_t> tops;
  for (size_t i : order) {
    long p = parentIndex(nodes[i], index);
    if (p >= 0 && nodes[i].level > nodes[size_t(p)].level)
      replies[size_t(p)].push_back(i);
    else
      tops.push_back(i);
  }

  std::vector<TreeRow> rows;
  rows.reserve(nodes.size() + 1);
  rows.push_back(TreeRow());
  std::vector<size_t> stack;
  for (size_t top : tops) {
    stack.push_back(top);
    while (!stack.empty()) {
      size_t i = stack.back();
      stack.pop_back();
      const TreeNode& n = nodes[i];
      rows.push_back({n.number, n.level, n.hasReplies ? TreeFolder : TreeLeaf, treeRowText(n, textFormat, dateFormat)});
      for (auto r = replies[i].rbegin(); r != replies[i].rend(); ++r) stack.push_back(*r);
    }
  }
  return rows;
}

uint32_t threadOfMessage(uint32_t number) {
  BufferGuard keep({&MsgNmbr});
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = number;
  return MsgNmbr.get(MSG_IdKey) ? MSG.THREADNUMBER : 0;
}

bool buildThreadTree(uint32_t number, int textFormat, int dateFormat, ThreadTree& tree) {
  tree = ThreadTree();
  BufferGuard keep({&MsgNmbr, &Person});
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = number;
  bool found = number != 0 && MsgNmbr.get(MSG_IdKey);
  if (found) {
    tree.threadNumber = MSG.THREADNUMBER;
    tree.threadAlpha = MSG.THREADALPHA.str();
    // The messages of the thread in Threadkey order: ascending message number.
    const uint32_t thread = MSG.THREADNUMBER;
    MSG.MSGNUMBER = 0;
    MsgNmbr.setPrefix(MSG_Threadkey, 2);
    std::unordered_map<uint32_t, std::string> senders;
    while (MsgNmbr.next() && MSG.THREADNUMBER == thread) {
      TreeNode n;
      n.number = MSG.MSGNUMBER;
      n.parent = MSG.REFNUMBER == MSG.MSGNUMBER ? 0 : MSG.REFNUMBER;
      n.date = MSG.DATE;
      auto known = senders.find(MSG.FROMID);
      if (known == senders.end()) {
        PER = PersonRec();
        PER.PERSONID = MSG.FROMID;
        std::string label;
        if (MSG.FROMID != 0 && Person.get(PER_PersonKey)) {
          PersonName whole = personName();
          label = senderLabel(whole.first, whole.last);
        }
        known = senders.emplace(MSG.FROMID, label).first;
      }
      n.sender = known->second;
      tree.nodes.push_back(std::move(n));
    }
    std::sort(tree.nodes.begin(), tree.nodes.end(),
              [](const TreeNode& a, const TreeNode& b) { return a.number < b.number; });
    tree.depth = assignLevels(tree.nodes);
    tree.rows = treeRows(tree.nodes, textFormat, dateFormat);
  }
  return found;
}

}  // namespace qv

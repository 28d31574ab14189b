#include "archive/lha/lha_huffman.h"

#include <algorithm>

namespace talvor::lha {

namespace {

constexpr int kMaxSymbols = 512;

}  // namespace

int BuildCodeLengths(const std::uint32_t* counts, int n, std::uint8_t* lengths) {
  // Used symbols, least frequent first.
  std::array<int, kMaxSymbols> order;
  int used = 0;
  for (int i = 0; i < n; ++i) {
    lengths[i] = 0;
    if (counts[i] != 0) order[used++] = i;
  }
  if (used <= 1) return used;
  std::sort(order.begin(), order.begin() + used, [counts](int a, int b) {
    return counts[a] != counts[b] ? counts[a] < counts[b] : a < b;
  });

  // Huffman's construction with two queues: the leaves in order and the
  // merged nodes, which come out in non-decreasing weight. Nodes 0..used-1
  // are the leaves, the rest are merged nodes; the root is the last.
  std::array<std::uint64_t, 2 * kMaxSymbols> weight;
  std::array<int, 2 * kMaxSymbols> parent;
  for (int i = 0; i < used; ++i) weight[i] = counts[order[i]];
  int next_leaf = 0;
  int next_merged = used;
  const int nodes = 2 * used - 1;
  for (int node = used; node < nodes; ++node) {
    int pick[2];
    for (int& p : pick) {
      if (next_leaf < used && (next_merged >= node || weight[next_leaf] <= weight[next_merged])) {
        p = next_leaf++;
      } else {
        p = next_merged++;
      }
    }
    weight[node] = weight[pick[0]] + weight[pick[1]];
    parent[pick[0]] = node;
    parent[pick[1]] = node;
  }

  // Depths, with everything deeper than the limit counted at the limit.
  std::array<int, 2 * kMaxSymbols> depth;
  depth[nodes - 1] = 0;
  std::array<int, kMaxCodeLength + 1> count{};
  for (int node = nodes - 2; node >= 0; --node) {
    depth[node] = depth[parent[node]] + 1;
    if (node < used) ++count[std::min(depth[node], kMaxCodeLength)];
  }

  // Restore the Kraft sum to exactly 2^16 after the clamping: move codes one
  // level deeper until the sum fits, then fill any gap left over by moving
  // the deepest codes up.
  constexpr std::uint32_t kFull = 1u << kMaxCodeLength;
  std::uint32_t space = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    space += static_cast<std::uint32_t>(count[len]) << (kMaxCodeLength - len);
  }
  while (space > kFull) {
    int len = kMaxCodeLength - 1;
    while (count[len] == 0) --len;
    --count[len];
    ++count[len + 1];
    space -= 1u << (kMaxCodeLength - len - 1);
  }
  while (space < kFull) {
    int len = kMaxCodeLength;
    while (count[len] == 0 || space + (1u << (kMaxCodeLength - len)) > kFull) --len;
    --count[len];
    ++count[len - 1];
    space += 1u << (kMaxCodeLength - len);
  }

  // The least frequent symbols take the longest codes.
  int k = 0;
  for (int len = kMaxCodeLength; len >= 1; --len) {
    for (int c = 0; c < count[len]; ++c) lengths[order[k++]] = static_cast<std::uint8_t>(len);
  }
  return used;
}

void AssignCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
  std::array<int, kMaxCodeLength + 1> count{};
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  std::array<std::uint32_t, kMaxCodeLength + 1> next{};
  std::uint32_t code = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    next[len] = code;
    code = (code + static_cast<std::uint32_t>(count[len])) << 1;
  }
  for (int i = 0; i < n; ++i) {
    codes[i] = lengths[i] == 0 ? 0 : static_cast<std::uint16_t>(next[lengths[i]]++);
  }
}

}  // namespace talvor::lha

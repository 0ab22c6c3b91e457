// The adaptive Huffman code tree of the packed format, shared by the decoder and lqpack's encoder.
//
// Layout (all indices fit the arrays for any sequence of updates, see the invariants):
//   NodeFreq[0..566]   frequencies, never decreasing with the index; NodeFreq[567] = 0xFFFF is a
//                      sentinel that ends the upward search of UpdateModel.
//   NodeChild[n]       >= 567: n is the leaf of symbol NodeChild[n] - 567 (so at most 850);
//                      < 567: n is internal, its children are nodes x (bit 0) and x + 1 (bit 1).
//   NodeParent[0..566] parent of each node (the root's entry is 0; node 0 is never a parent);
//   NodeParent[567+s]  the node that is the leaf of symbol s.
// Children of a node are neighbours below their parent, so an internal node's children are at
// most 564 and 565, and every index the walks below form stays under 567 (or 851 for NodeParent).
// Frequencies stay at or below 32768: the root is rebuilt when it reaches that value, and no
// node exceeds the root, so the 16-bit sums never wrap and the sentinel is never reached by k.
#pragma once

#include <cstdint>
#include <cstring>

constexpr int WindowSize = 4096;
constexpr int MaxMatch = 30;
constexpr int MinMatch = 3;
constexpr int SymbolCount = 284;                  // 256 literals, then lengths 3..30
constexpr int NodeCount = 2 * SymbolCount - 1;    // 567
constexpr int RootNode = NodeCount - 1;           // 566
constexpr uint16_t FreqLimit = 0x8000;
constexpr int StartPosition = WindowSize - MaxMatch;  // 4066

struct CodeTree {
    uint16_t NodeFreq[NodeCount + 1];
    uint16_t NodeChild[NodeCount];
    uint16_t NodeParent[NodeCount + SymbolCount];
};

// Every symbol a leaf of frequency 1, neighbours paired from the bottom up; root frequency 284.
void ResetModel(CodeTree* tree);

// Halves the leaf frequencies ((f + 1) / 2) and rebuilds the internal nodes, each new node going
// above every node of equal frequency.
void RebuildModel(CodeTree* tree);

// Counts one occurrence of symbol (0..283): rebuilds first if the root has reached FreqLimit, then
// walks from the symbol's leaf to the root, moving each node whose count passes its upper
// neighbour's to the top of the run of nodes that shared its old count.
inline void UpdateModel(CodeTree* tree, int symbol) {
    uint16_t* freq = tree->NodeFreq;
    uint16_t* child = tree->NodeChild;
    uint16_t* parent = tree->NodeParent;
    if (freq[RootNode] == FreqLimit) RebuildModel(tree);
    unsigned n = parent[NodeCount + symbol];
    do {
        unsigned k = ++freq[n];
        if (k > freq[n + 1]) {
            // freq[n + 1] < k, so the run starts at n + 1. Every node of the run holds k - 1
            // (counts never decrease upward), so four at a time are skipped while all four
            // equal k - 1, reading at most up to the sentinel; the sentinel ends the scan at 566.
            unsigned m = n + 1;
            const uint64_t run = (uint64_t)(k - 1) * 0x0001000100010001u;
            while (m + 4 <= (unsigned)NodeCount) {
                uint64_t four;
                std::memcpy(&four, &freq[m + 1], sizeof four);
                if (four != run) break;
                m += 4;
            }
            while (k > freq[m + 1]) ++m;
            freq[n] = freq[m];
            freq[m] = (uint16_t)k;
            unsigned i = child[n];
            parent[i] = (uint16_t)m;
            if (i < (unsigned)NodeCount) parent[i + 1] = (uint16_t)m;
            unsigned j = child[m];
            child[m] = (uint16_t)i;
            parent[j] = (uint16_t)n;
            if (j < (unsigned)NodeCount) parent[j + 1] = (uint16_t)n;
            child[n] = (uint16_t)j;
            n = m;
        }
        n = parent[n];
    } while (n != 0);
}

// Reset and rebuild of the adaptive code tree (the per-symbol update is inline in code_tree.h).
#include "decode/code_tree.h"

#include <cstring>

void ResetModel(CodeTree* tree) {
    uint16_t* freq = tree->NodeFreq;
    uint16_t* child = tree->NodeChild;
    uint16_t* parent = tree->NodeParent;
    for (int s = 0; s < SymbolCount; ++s) {
        freq[s] = 1;
        child[s] = (uint16_t)(NodeCount + s);
        parent[NodeCount + s] = (uint16_t)s;
    }
    for (int n = SymbolCount, i = 0; n < NodeCount; ++n, i += 2) {
        freq[n] = (uint16_t)(freq[i] + freq[i + 1]);
        child[n] = (uint16_t)i;
        parent[i] = parent[i + 1] = (uint16_t)n;
    }
    freq[NodeCount] = 0xFFFF;
    parent[RootNode] = 0;
}

void RebuildModel(CodeTree* tree) {
    uint16_t* freq = tree->NodeFreq;
    uint16_t* child = tree->NodeChild;
    uint16_t* parent = tree->NodeParent;

    // Gather the 284 leaves into nodes 0..283, keeping their order, with halved counts.
    int j = 0;
    for (int i = 0; i < NodeCount; ++i) {
        if (child[i] >= NodeCount) {
            freq[j] = (uint16_t)((freq[i] + 1) / 2);
            child[j] = child[i];
            ++j;
        }
    }
    // Exactly 284 nodes are leaves, so j is now SymbolCount and nodes 284.. are rebuilt below.

    for (int n = SymbolCount, i = 0; n < NodeCount; ++n, i += 2) {
        uint16_t f = (uint16_t)(freq[i] + freq[i + 1]);
        freq[n] = f;
        // The new node goes above every node of equal count. freq[i + 1] <= f, so the scan
        // stops at i + 1 or above; the k >= 0 test only guards that bound.
        int k = n - 1;
        while (k >= 0 && f < freq[k]) --k;
        ++k;
        std::memmove(&freq[k + 1], &freq[k], sizeof freq[0] * (size_t)(n - k));
        freq[k] = f;
        std::memmove(&child[k + 1], &child[k], sizeof child[0] * (size_t)(n - k));
        child[k] = (uint16_t)i;
    }

    for (int i = 0; i < NodeCount; ++i) {
        unsigned x = child[i];
        parent[x] = (uint16_t)i;
        if (x < (unsigned)NodeCount) parent[x + 1] = (uint16_t)i;
    }
}

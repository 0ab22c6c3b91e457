// The packer: hash-chain LZSS match finding and the decoder's adaptive model, mirrored exactly.
#include "tools/lqpack/encoder.h"

#include <algorithm>
#include <cstring>

#include "decode/unpack.h"

namespace {

// Prefix code of each offset's upper 6 bits, derived from the decoder's own tables: the value
// h fills 2^k entries of OffsetHigh from index `first`, and its code is first's top 8 - k bits.
struct OffsetCode {
    uint8_t code;
    uint8_t length;
};

const OffsetCode* OffsetCodes() {
    static OffsetCode codes[64];
    static bool ready = false;
    if (!ready) {
        for (int i = 255; i >= 0; --i) {
            int length = OffsetCodeLength[i];
            codes[OffsetHigh[i]] = {(uint8_t)(i >> (8 - length)), (uint8_t)length};
        }
        ready = true;
    }
    return codes;
}

void PutBits(CodeWriter* w, uint32_t value, int n) {  // n <= 32, value < 2^n
    w->pending = (w->pending << n) | value;
    w->pendingCount += n;
    while (w->pendingCount >= 8) {
        w->pendingCount -= 8;
        w->bytes.push_back((uint8_t)(w->pending >> w->pendingCount));
    }
    w->pending &= (1u << w->pendingCount) - 1;
}

}  // namespace

void BeginCodes(CodeWriter* writer) {
    ResetModel(&writer->tree);
    writer->bytes.clear();
    writer->pending = 0;
    writer->pendingCount = 0;
}

void PutSymbol(CodeWriter* w, int symbol) {
    const uint16_t* child = w->tree.NodeChild;
    const uint16_t* parent = w->tree.NodeParent;
    // Walk leaf to root; the bit found last is the first sent. A tree with the sibling property
    // and a root count under 2^15 is far shallower than 56 levels, but deeper paths still work.
    uint64_t path = 0;
    int depth = 0;
    unsigned n = parent[NodeCount + symbol];
    while (n != (unsigned)RootNode && depth < 56) {
        unsigned up = parent[n];
        path |= (uint64_t)(n - child[up]) << depth;
        ++depth;
        n = up;
    }
    if (n != (unsigned)RootNode) {
        uint8_t bits[NodeCount];
        int total = 0;
        for (n = parent[NodeCount + symbol]; n != (unsigned)RootNode; n = parent[n])
            bits[total++] = (uint8_t)(n - child[parent[n]]);
        while (total > 0) PutBits(w, bits[--total], 1);
    } else {
        if (depth > 28) PutBits(w, (uint32_t)(path >> 28), depth - 28);
        int low = depth > 28 ? 28 : depth;
        PutBits(w, (uint32_t)(path & ((1u << low) - 1)), low);
    }
    UpdateModel(&w->tree, symbol);
}

void PutOffset(CodeWriter* w, int offset) {
    const OffsetCode& c = OffsetCodes()[offset >> 6];
    PutBits(w, ((uint32_t)c.code << 6) | (uint32_t)(offset & 63), c.length + 6);
}

void PutLiteral(CodeWriter* w, uint8_t byte) { PutSymbol(w, byte); }

void PutMatch(CodeWriter* w, int length, int offset) {
    PutSymbol(w, length + 253);
    PutOffset(w, offset);
}

std::vector<uint8_t> FinishCodes(CodeWriter* w) {
    if (w->pendingCount > 0) PutBits(w, 0, 8 - w->pendingCount);
    return std::move(w->bytes);
}

int SymbolCost(const CodeTree& tree, int symbol) {
    int depth = 0;
    for (unsigned n = tree.NodeParent[NodeCount + symbol]; n != (unsigned)RootNode;
         n = tree.NodeParent[n])
        ++depth;
    return depth;
}

int OffsetCost(int offset) { return OffsetCodes()[offset >> 6].length + 6; }

namespace {

constexpr int HashBits = 16;
constexpr uint32_t ChainMask = 8191;  // twice the window: a chain entry outlives its reach

// History as the decoder sees it: data index v >= 0 is the file's byte v, and v in -4066..-1 is
// one of the blanks that fill the ring before the file's first byte. Chains hold v + 4067 (0 is
// the empty chain).
struct Matcher {
    const uint8_t* data;
    int64_t size;
    uint8_t head[StartPosition + 64];  // the blanks, then the file's first (up to) 64 bytes
    std::vector<uint32_t> first;
    uint32_t prev[ChainMask + 1];
    int64_t nextInsert;  // lowest index not yet in the chains
    int maxChain;
};

// Bytes from index v on. For v < 0 a compare never reads past index 29, inside `head`.
inline const uint8_t* At(const Matcher& m, int64_t v) {
    return v < 0 ? m.head + StartPosition + v : m.data + v;
}

inline uint32_t Hash3(const uint8_t* p) {
    uint32_t x = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
    return (x * 2654435761u) >> (32 - HashBits);
}

void InitMatcher(Matcher* m, const uint8_t* data, size_t size, int maxChain) {
    m->data = data;
    m->size = (int64_t)size;
    std::memset(m->head, ' ', StartPosition);
    std::memcpy(m->head + StartPosition, data, std::min<size_t>(size, 64));
    m->first.assign((size_t)1 << HashBits, 0);
    std::memset(m->prev, 0, sizeof m->prev);
    m->nextInsert = -StartPosition;
    m->maxChain = maxChain;
}

// Puts every index below `end` in the chains (indices too close to the end for 3 bytes skip).
inline void InsertUpTo(Matcher* m, int64_t end) {
    int64_t last = std::min(end, m->size - 2);
    for (int64_t v = m->nextInsert; v < last; ++v) {
        uint32_t key = (uint32_t)(v + StartPosition + 1);
        uint32_t h = Hash3(At(*m, v));
        m->prev[key & ChainMask] = m->first[h];
        m->first[h] = key;
    }
    if (end > m->nextInsert) m->nextInsert = end;
}

struct Match {
    int length;  // 0 when none of 3 or more
    int offset;  // distance - 1
};

// Longest match for the bytes at p within 4096 back, the nearest among equals.
Match FindMatch(const Matcher& m, int64_t p) {
    Match best = {0, 0};
    int64_t maxLength = std::min<int64_t>(MaxMatch, m.size - p);
    if (maxLength < MinMatch) return best;
    const uint8_t* cur = m.data + p;
    uint32_t here = (uint32_t)(p + StartPosition + 1);
    uint32_t cand = m.first[Hash3(cur)];
    int bestLength = MinMatch - 1;
    for (int chain = m.maxChain; cand != 0 && chain > 0; --chain) {
        uint32_t distance = here - cand;
        if (distance > (uint32_t)WindowSize) break;
        const uint8_t* src = At(m, p - distance);
        if (src[bestLength] == cur[bestLength]) {
            int length = 0;
            while (length < maxLength && src[length] == cur[length]) ++length;
            if (length > bestLength) {
                bestLength = length;
                best = {length, (int)distance - 1};
                if (length == maxLength) break;
            }
        }
        cand = m.prev[cand & ChainMask];
    }
    return best;
}

// Reports the part [base, base + share) of the work done when `done` of `size` bytes are parsed.
struct ProgressShare {
    const EncodeProgress* progress;
    double base, share;
    void At(int64_t done, size_t size) const {
        if (progress) progress->report(base + share * (double)done / (double)size, progress->context);
    }
};

std::vector<uint8_t> EncodeGreedy(const uint8_t* data, size_t size, int maxChain, ProgressShare report) {
    Matcher* m = new Matcher;
    InitMatcher(m, data, size, maxChain);
    CodeWriter w;
    BeginCodes(&w);
    w.bytes.reserve(size / 2 + 16);
    int64_t p = 0;
    int64_t nextReport = 0;
    while (p < m->size) {
        if (p >= nextReport) {
            report.At(p, size);
            nextReport = p + (1 << 20);
        }
        InsertUpTo(m, p);
        Match match = FindMatch(*m, p);
        if (match.length >= MinMatch) {
            PutMatch(&w, match.length, match.offset);
            p += match.length;
        } else {
            PutLiteral(&w, data[p]);
            ++p;
        }
    }
    delete m;
    return FinishCodes(&w);
}

// Cost-based parse: within each block, the cheapest sequence of literals and matches under
// code lengths taken from the tree as the block starts (the tree drifts a little within a
// block; the costs only guide the choice, the codes are always exact).
std::vector<uint8_t> EncodeOptimal(const uint8_t* data, size_t size, int maxChain, ProgressShare report) {
    constexpr int64_t Block = 16384;
    constexpr uint32_t Unreached = 0xFFFFFFFFu;
    Matcher* m = new Matcher;
    InitMatcher(m, data, size, maxChain);
    CodeWriter w;
    BeginCodes(&w);
    w.bytes.reserve(size / 2 + 16);
    std::vector<uint32_t> cost(Block + 1);
    std::vector<uint8_t> stepLength(Block + 1);
    std::vector<uint16_t> stepOffset(Block + 1);
    uint32_t symbolCost[SymbolCount];
    uint32_t offsetCost[64];
    for (int h = 0; h < 64; ++h) offsetCost[h] = (uint32_t)OffsetCost(h * 64);
    std::vector<std::pair<int, int>> steps;

    for (int64_t start = 0; start < m->size; start += Block) {
        if (start % (64 * Block) == 0) report.At(start, size);
        int64_t end = std::min(m->size, start + Block);
        int n = (int)(end - start);
        for (int s = 0; s < SymbolCount; ++s) symbolCost[s] = (uint32_t)SymbolCost(w.tree, s);
        std::fill(cost.begin(), cost.begin() + n + 1, Unreached);
        cost[0] = 0;
        for (int i = 0; i < n; ++i) {
            int64_t p = start + i;
            uint32_t here = cost[i];
            uint32_t literal = here + symbolCost[data[p]];
            if (literal < cost[i + 1]) {
                cost[i + 1] = literal;
                stepLength[i + 1] = 1;
            }
            InsertUpTo(m, p);
            int maxLength = (int)std::min<int64_t>(MaxMatch, end - p);
            if (maxLength < MinMatch) continue;
            // Chains run nearest first, so each longer length is first reached at its nearest
            // (cheapest) offset.
            const uint8_t* cur = data + p;
            uint32_t key = (uint32_t)(p + StartPosition + 1);
            uint32_t cand = m->first[Hash3(cur)];
            int reached = MinMatch - 1;
            for (int chain = maxChain; cand != 0 && chain > 0 && reached < maxLength; --chain) {
                uint32_t distance = key - cand;
                if (distance > (uint32_t)WindowSize) break;
                const uint8_t* src = At(*m, p - distance);
                if (src[reached] == cur[reached]) {
                    int length = 0;
                    while (length < maxLength && src[length] == cur[length]) ++length;
                    if (length > reached) {
                        uint32_t offsetBits = offsetCost[(distance - 1) >> 6];
                        for (int len = reached + 1; len <= length; ++len) {
                            uint32_t c = here + symbolCost[len + 253] + offsetBits;
                            if (c < cost[i + len]) {
                                cost[i + len] = c;
                                stepLength[i + len] = (uint8_t)len;
                                stepOffset[i + len] = (uint16_t)(distance - 1);
                            }
                        }
                        reached = length;
                    }
                }
                cand = m->prev[cand & ChainMask];
            }
        }
        steps.clear();
        for (int i = n; i > 0; i -= stepLength[i]) steps.push_back({stepLength[i], stepOffset[i]});
        int64_t p = start;
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            if (it->first == 1) {
                PutLiteral(&w, data[p]);
            } else {
                PutMatch(&w, it->first, it->second);
            }
            p += it->first;
        }
    }
    delete m;
    return FinishCodes(&w);
}

}  // namespace

std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, EncodeLevel level,
                                  const EncodeProgress* progress) {
    if (size == 0) return {};
    // The cost-based parse takes about four fifths of the time of the best level.
    bool best = level == EncodeLevel::Best;
    std::vector<uint8_t> greedy = EncodeGreedy(data, size, 16, {progress, 0.0, best ? 0.2 : 1.0});
    if (!best) return greedy;
    // The parse's costs are estimates from a drifting tree, so keep greedy's stream if it is
    // ever smaller.
    std::vector<uint8_t> optimal = EncodeOptimal(data, size, 64, {progress, 0.2, 0.8});
    return optimal.size() <= greedy.size() ? optimal : greedy;
}

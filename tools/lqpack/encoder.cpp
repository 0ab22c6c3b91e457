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

std::vector<uint8_t> EncodeGreedy(const uint8_t* data, size_t size, int maxChain) {
    Matcher* m = new Matcher;
    InitMatcher(m, data, size, maxChain);
    CodeWriter w;
    BeginCodes(&w);
    w.bytes.reserve(size / 2 + 16);
    int64_t p = 0;
    while (p < m->size) {
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

// Lazy matching: a match is deferred by one byte when the next position has a longer one, and
// a match is sent as literals when the current tree makes those cheaper.
std::vector<uint8_t> EncodeLazy(const uint8_t* data, size_t size, int maxChain) {
    Matcher* m = new Matcher;
    InitMatcher(m, data, size, maxChain);
    CodeWriter w;
    BeginCodes(&w);
    w.bytes.reserve(size / 2 + 16);
    int64_t p = 0;
    InsertUpTo(m, 0);
    Match match = FindMatch(*m, 0);
    while (p < m->size) {
        if (match.length >= MinMatch && match.length < MaxMatch && p + 1 < m->size) {
            InsertUpTo(m, p + 1);
            Match next = FindMatch(*m, p + 1);
            if (next.length > match.length) {
                PutLiteral(&w, data[p]);
                ++p;
                match = next;
                continue;
            }
        }
        if (match.length >= MinMatch) {
            int literalCost = 0;
            if (match.length <= 4)
                for (int k = 0; k < match.length; ++k) literalCost += SymbolCost(w.tree, data[p + k]);
            int matchCost = SymbolCost(w.tree, match.length + 253) + OffsetCost(match.offset);
            if (match.length <= 4 && literalCost < matchCost) {
                for (int k = 0; k < match.length; ++k) PutLiteral(&w, data[p + k]);
            } else {
                PutMatch(&w, match.length, match.offset);
            }
            p += match.length;
        } else {
            PutLiteral(&w, data[p]);
            ++p;
        }
        InsertUpTo(m, p);
        match = FindMatch(*m, p);
    }
    delete m;
    return FinishCodes(&w);
}

}  // namespace

std::vector<uint8_t> EncodeStream(const uint8_t* data, size_t size, EncodeLevel level) {
    if (size == 0) return {};
    std::vector<uint8_t> greedy = EncodeGreedy(data, size, 16);
    if (level == EncodeLevel::Fast) return greedy;
    std::vector<uint8_t> lazy = EncodeLazy(data, size, 128);
    return lazy.size() <= greedy.size() ? lazy : greedy;
}

#pragma once
// Expected strokes for the protocol tables, built from key positions so that the tables do
// not lean on the parser they exercise.
#include <initializer_list>
#include <string>
#include <vector>

#include "core/Stroke.h"

namespace strokebytes {

inline Stroke Keys(std::initializer_list<int> positions) {
    Stroke keys{};
    for (int position : positions) {
        const KeyBit bit = KeyPositionBit(position);
        keys[bit.byteIndex] |= bit.mask;
    }
    return keys;
}

// English layout positions: S T K P W H R A O * E U -F -R -P -B -L -G -T -S -D -Z.
inline const Stroke kSTKPW = Keys({0, 1, 2, 3, 4});
inline const Stroke kKWR = Keys({2, 4, 6});
inline const Stroke kSTPH = Keys({0, 1, 3, 5});
inline const Stroke kSTK = Keys({0, 1, 2});
inline const Stroke kRightT = Keys({18});

inline std::string Record(const Stroke& keys) {
    return std::string(reinterpret_cast<const char*>(keys.data()), 3);
}

// The 3-byte records of stored notes, one a stroke, in order.
inline std::string Records(const std::vector<Stroke>& strokes) {
    std::string records;
    for (const Stroke& keys : strokes) records += Record(keys);
    return records;
}

}  // namespace strokebytes

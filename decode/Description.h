#pragma once
// The decoder's output: what it found, as lines of a tree. Each line covers a run of
// octets so that a viewer can show them; the text is the same wherever it appears.
#include <string>

namespace qdec {

struct Item {
    int nDepth = 0;     // 1 a layer, 2 an object header or a note, 3 a point
    std::string Text;
    int nOffset = -1;   // first octet covered (in the frame, or in the fragment for the
    int nLength = 0;    // application layer); -1 when it covers none
    bool bFault = false;
    bool bInFragment = false;  // the offsets count in the reassembled fragment
};

}  // namespace qdec

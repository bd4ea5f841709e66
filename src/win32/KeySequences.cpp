#include "win32/KeySequences.h"

namespace quenby {

KeyCode CKeySequences::Add(std::vector<KeyStroke> strokes) {
    m_sequences.push_back(std::move(strokes));
    return kSequenceFlag | static_cast<KeyCode>(m_sequences.size() - 1);
}

std::vector<KeyStroke> CKeySequences::Find(KeyCode key) const {
    const KeyCode index = key & ~kSequenceFlag;
    if (!IsSequence(key) || index >= m_sequences.size()) {
        return {};
    }
    return m_sequences[index];
}

}  // namespace quenby

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

std::vector<KeyEvent> CKeySequences::Events(KeyCode key) const {
    std::vector<KeyEvent> events;
    for (const KeyStroke& stroke : Find(key)) {
        for (KeyCode held : stroke.m_held) {
            events.push_back({held, true});
        }
        events.push_back({stroke.m_key, true});
        events.push_back({stroke.m_key, false});
        for (auto it = stroke.m_held.rbegin(); it != stroke.m_held.rend(); ++it) {
            events.push_back({*it, false});
        }
    }
    return events;
}

}  // namespace quenby

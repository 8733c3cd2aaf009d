#include "MsgBoxRecorder.h"

MsgBoxRecorder::MsgBoxRecorder() {
    platform::setMsgBoxHandler([this](const QString& prompt, int style, const QString& title) {
        m_asked.push_back({prompt, style, title});
        if (!m_answers.empty()) {
            const int a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        return (style & 0x0F) == platform::vbYesNo ? int(platform::vbNo) : int(platform::vbOK);
    });
    platform::setColorHandler([this](unsigned initial, unsigned& chosen) {
        ++m_colorRequests;
        m_lastColorInitial = initial;
        std::optional<unsigned> answer;
        if (!m_colors.empty()) {
            answer = m_colors.front();
            m_colors.pop_front();
        }
        if (!answer)
            return false;
        chosen = *answer;
        return true;
    });
}

MsgBoxRecorder::~MsgBoxRecorder() {
    platform::setMsgBoxHandler({});
    platform::setColorHandler({});
}

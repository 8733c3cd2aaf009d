#pragma once
// Records every message box a test provokes and answers it from a queue,
// so that no test ever waits on a modal dialog. Also answers the colour
// chooser. Installed for the life of the object.

#include "MsgBox.h"

#include <QString>
#include <deque>
#include <optional>
#include <vector>

struct AskedBox {
    QString prompt;
    int style = 0;
    QString title;
};

class MsgBoxRecorder {
public:
    MsgBoxRecorder();
    ~MsgBoxRecorder();
    MsgBoxRecorder(const MsgBoxRecorder&) = delete;
    MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

    // The next message box gets this answer (vbYes, vbNo, vbOK). With no
    // queued answer a Yes/No box is answered No and any other box OK.
    void answerNext(int answer) { m_answers.push_back(answer); }
    // The next colour choice returns this colour reference; nullopt cancels.
    void chooseColorNext(std::optional<unsigned> colorRef) { m_colors.push_back(colorRef); }

    const std::vector<AskedBox>& asked() const { return m_asked; }
    int count() const { return static_cast<int>(m_asked.size()); }
    const AskedBox& last() const { return m_asked.back(); }
    int colorRequests() const { return m_colorRequests; }
    unsigned lastColorInitial() const { return m_lastColorInitial; }
    void clear() {
        m_asked.clear();
        m_answers.clear();
        m_colors.clear();
        m_colorRequests = 0;
    }

private:
    std::vector<AskedBox> m_asked;
    std::deque<int> m_answers;
    std::deque<std::optional<unsigned>> m_colors;
    int m_colorRequests = 0;
    unsigned m_lastColorInitial = 0;
};

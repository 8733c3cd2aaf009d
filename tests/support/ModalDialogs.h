#pragma once
// Acting on modal dialogs from a test. The action runs inside the dialog's
// own event loop, queued as soon as the dialog has been shown, so that no
// test blocks on a modal dialog and none waits a fixed time for one. A
// dialog that the action leaves open is closed five seconds later, so that
// a faulty test fails instead of hanging.
//
//     auto logon = onNextModal<fdlgOraLogon>([](fdlgOraLogon& d) { d.cmdCancel->click(); });
//     window.mnuDBLogIn->trigger();   // returns once the dialog has closed
//     QVERIFY(logon.ran());

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class ModalWatch {
public:
    // Which modal windows the watch is for, and what it does with them.
    struct Action {
        std::function<bool(QWidget*)> matches;
        std::function<void(QWidget*)> act;
    };

    ModalWatch(Action action, bool everyDialog);
    ~ModalWatch();
    ModalWatch(ModalWatch&&) noexcept;
    ModalWatch& operator=(ModalWatch&&) noexcept;
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

    // How many dialogs the action was queued for.
    int count() const;
    bool ran() const { return count() > 0; }

private:
    class Filter;
    std::unique_ptr<Filter> m_filter;
};

namespace modal_detail {
template <class Dialog>
ModalWatch::Action typed(std::function<void(Dialog&)> act) {
    return {[](QWidget* w) { return qobject_cast<Dialog*>(w) != nullptr; },
            [act = std::move(act)](QWidget* w) { act(*qobject_cast<Dialog*>(w)); }};
}
}  // namespace modal_detail

// Acts on the next modal dialog of type Dialog (any modal window for
// QWidget); later ones are left alone. The watch ends with the object.
template <class Dialog = QWidget>
ModalWatch onNextModal(std::function<void(Dialog&)> act) {
    return ModalWatch(modal_detail::typed<Dialog>(std::move(act)), false);
}

// Acts on every modal dialog of type Dialog shown while the object lives.
template <class Dialog = QWidget>
ModalWatch onEachModal(std::function<void(Dialog&)> act) {
    return ModalWatch(modal_detail::typed<Dialog>(std::move(act)), true);
}

#include "ModalDialogs.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

class ModalWatch::Filter : public QObject {
public:
    Filter(Action action, bool everyDialog) : m_action(std::move(action)), m_every(everyDialog) {
        qApp->installEventFilter(this);
    }
    ~Filter() override { qApp->removeEventFilter(this); }

    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!w->isWindow() || !w->isModal() || (!m_every && count > 0) || !m_action.matches(w))
            return false;
        ++count;
        QPointer<QWidget> dialog(w);
        // Queued: it runs once the dialog's own event loop is going.
        QTimer::singleShot(0, w, [dialog, act = m_action.act] {
            if (!dialog)
                return;
            act(dialog);
            QTimer::singleShot(5000, dialog, [dialog] {
                if (dialog && dialog->isVisible())
                    dialog->close();
            });
        });
        return false;
    }

private:
    Action m_action;
    bool m_every;
};

ModalWatch::ModalWatch(Action action, bool everyDialog)
    : m_filter(std::make_unique<Filter>(std::move(action), everyDialog)) {}
ModalWatch::~ModalWatch() = default;
ModalWatch::ModalWatch(ModalWatch&&) noexcept = default;
ModalWatch& ModalWatch::operator=(ModalWatch&&) noexcept = default;

int ModalWatch::count() const {
    return m_filter ? m_filter->count : 0;
}

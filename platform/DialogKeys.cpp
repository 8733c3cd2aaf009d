#include "DialogKeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace platform {

bool handleButtonDialogKey(QWidget* dialog, QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(dialog->focusWidget())) {
            event->accept();
            button->click();
            return true;
        }
    }
    return false;
}

}  // namespace platform

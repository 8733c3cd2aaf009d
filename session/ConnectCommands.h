#pragma once
// The connect and disconnect commands of the main window, apart from the
// window: what they ask, in which order they switch menus, panels and
// members, and how they treat failures. The window implements Window.

#include "PlanTable.h"

#include <QString>

namespace ConnectCommands {

inline const QString kPanelConnected = QStringLiteral("- DB接続中 -");
inline const QString kPanelDisconnected = QStringLiteral("- DB未接続 -");
inline const QString kCloseFailed = QStringLiteral("切断に失敗しました。");

class Window {
public:
    virtual ~Window() = default;
    // Creates a fresh logon dialog, shows it modally and releases it.
    virtual void runLogonDialog() = 0;
    // The connect entry, then the disconnect and the two plan table
    // entries, in that order: enabled while connected, or the reverse.
    virtual void setMenusConnected(bool connected) = 0;
    virtual void setConnected(qint16 connected) = 0;
    virtual void setPanel(int panel, const QString& text) = 0;
    // The number of the user's tables named PLAN_TABLE; raises on failure.
    virtual qint32 checkPlanTable() = 0;
    virtual void setPlanTableState(PlanTable::State state) = 0;
    // Panel 2 for a plan table that is there, or not.
    virtual void showPlanTable(bool present) = 0;
    // Asks whether to create the missing table; true for Yes.
    virtual bool askCreatePlanTable() = 0;
    // The create command; true when the table exists afterwards. Reports
    // its own failures.
    virtual bool createPlanTable() = 0;
    // The plan table tidying before a disconnect; reports its own failures.
    virtual void tidyPlanTable() = 0;
    // The "SQLｴﾗｰ" box with the failure's text.
    virtual void reportSqlError(const QString& failure) = 0;
    virtual void reportCloseFailed() = 0;
};

// Logs on through the dialog and, when that succeeded, switches to the
// connected state and checks for PLAN_TABLE, offering to create it. A
// failing check is reported and counts as a missing table; nothing is
// asked then.
void connect(Window& w);

// Tidies the plan table, closes the database and switches to the
// disconnected state. A failed tidying is reported and the disconnect goes
// on, so that a broken connection can always be left; a failed close keeps
// the connected state.
void disconnect(Window& w);

}  // namespace ConnectCommands
